# Shared by the two MinGW-w64 toolchain files; RQX_MINGW_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread variant of the compiler: its C++ library has std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${RQX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RQX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${RQX_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RQX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Sources are UTF-8; string literals become code page 932 bytes, as the program's texts are.
# The presets give CMAKE_CXX_FLAGS (the warnings), which takes the place of any
# CMAKE_CXX_FLAGS_INIT, so the character sets go to every C++ compilation as options.
add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:-finput-charset=UTF-8;-fexec-charset=CP932>")
# One .exe that imports only system DLLs: the C++ runtime and winpthread go in statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# windres reads the resource scripts as UTF-8.
set(CMAKE_RC_FLAGS_INIT "-c 65001")

# Windows programs built here, tests included, run through the project's Wine runner,
# in a private prefix inside the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run;--prefix;${CMAKE_BINARY_DIR}/wineprefix")
