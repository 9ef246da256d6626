// Byte streams. Reading and writing a buffer is all-or-nothing: a stream that
// cannot deliver or take every byte raises, and a count of 0 does nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "SysUtils.h"

class TStream {
public:
    virtual ~TStream() = default;

    // Reads exactly count bytes or raises EReadError.
    void ReadBuffer(void* buffer, std::int64_t count);
    // Writes exactly count bytes or raises EWriteError.
    void WriteBuffer(const void* buffer, std::int64_t count);

    // How many bytes are left to read from the current position.
    virtual std::int64_t Remaining() const = 0;

protected:
    // Each returns how many bytes it moved, which may be fewer than asked.
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
};

// A stream over bytes held in memory: reads from the start, writes append.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}

    const std::vector<unsigned char>& Bytes() const { return bytes_; }
    std::int64_t Remaining() const override;

protected:
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;

private:
    std::vector<unsigned char> bytes_;
    std::size_t position_ = 0;
};
