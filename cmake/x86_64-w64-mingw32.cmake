# The same sources for 64-bit Windows: the build that the tests run under Wine on
# machines that cannot execute 32-bit x86 code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(RQX_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
