// Ownership of Win32 handles. A handle is put into a UniqueHandle the moment it is
// obtained, and the owner closes it when it goes, on every path, so a failure never
// needs clean-up code of its own. One template serves every kind of handle: it is
// told the close function and the value that means "no handle".
#pragma once

#include <windows.h>

#include <cstdint>

template <typename H, auto Close, std::intptr_t kInvalid = 0>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(H handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    H get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Invalid(); }

    // Gives the handle up without closing it.
    H release() noexcept
    {
        const H handle = handle_;
        handle_ = Invalid();
        return handle;
    }
    // Closes the handle held, if any, and takes the new one.
    void reset(H handle = Invalid()) noexcept
    {
        if (handle_ != Invalid()) Close(handle_);
        handle_ = handle;
    }
    // For functions that return a handle through a pointer: closes the handle held
    // and gives the place where the new one goes.
    H* put() noexcept
    {
        reset();
        return &handle_;
    }

    static H Invalid() noexcept { return reinterpret_cast<H>(kInvalid); }

private:
    H handle_ = Invalid();
};

// A file opened with CreateFileW, which reports failure as INVALID_HANDLE_VALUE.
using UniqueFile = UniqueHandle<HANDLE, &::CloseHandle, -1>;
// A registry key opened or created below a root key (never the root key itself).
using UniqueHKey = UniqueHandle<HKEY, &::RegCloseKey>;
// A loaded resource.
using UniqueResource = UniqueHandle<HGLOBAL, &::FreeResource>;
