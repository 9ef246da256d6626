// The exception classes the program raises and shows. Portable: the decoder and
// the streams use them on every platform.
#pragma once

#include <string>

// The base of every error the program reports. The message is text in the
// execution character set: code page 932 in the Windows program, UTF-8 on the host.
class Exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    virtual ~Exception() = default;

    const std::string& Message() const { return message_; }

private:
    std::string message_;
};

class EStreamError : public Exception {
    using Exception::Exception;
};
class EFilerError : public EStreamError {
    using EStreamError::EStreamError;
};
class EReadError : public EFilerError {
    using EFilerError::EFilerError;
};
class EWriteError : public EFilerError {
    using EFilerError::EFilerError;
};
class EFCreateError : public EStreamError {
    using EStreamError::EStreamError;
};
class EResNotFound : public Exception {
    using Exception::Exception;
};
class ERegistryException : public Exception {
    using Exception::Exception;
};
class EOutOfMemory : public Exception {
    using Exception::Exception;
};
// A bitmap, brush, font, drawing context or window that the system would not create.
class EOutOfResources : public Exception {
    using Exception::Exception;
};
// What the application's handler shows for a C++ exception that is no Exception.
class EExternalException : public Exception {
    using Exception::Exception;
};

// Fills the first "%s" of a message pattern with an argument, byte for byte.
std::string Format(const std::string& pattern, const std::string& arg);
