// Helpers shared by the payload tests: payloads written by hand, token by token,
// and streams that show what the decoder asked of them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "Classes.h"
#include "PayloadDecoder.h"

using Bytes = std::vector<unsigned char>;

inline Bytes ToBytes(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}
inline std::string ToString(const Bytes& b)
{
    return std::string(b.begin(), b.end());
}

// The header fields; the first four bytes and the reserved field are ignored by
// the decoder and default to what our packer writes.
struct Header {
    std::int32_t PackedSize;
    std::int32_t UnpackedSize;
    unsigned char Lead[4] = {'R', 'Q', 0x01, 0x00};
    std::uint32_t Reserved = 0;
};

inline Bytes WithHeader(const Header& h, const Bytes& tokens, const Bytes& trailing = {})
{
    Bytes bytes(h.Lead, h.Lead + 4);
    for (std::uint32_t v : {std::uint32_t(h.PackedSize), std::uint32_t(h.UnpackedSize), h.Reserved})
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
    bytes.insert(bytes.end(), tokens.begin(), tokens.end());
    bytes.insert(bytes.end(), trailing.begin(), trailing.end());
    return bytes;
}

// A payload whose PackedSize is the length of its token stream.
inline Bytes Payload(std::int32_t unpacked, const Bytes& tokens)
{
    return WithHeader({std::int32_t(tokens.size()), unpacked}, tokens);
}

// Builds a token stream one token at a time, setting flag bits and starting a new
// flag byte with the first token of every group of eight.
class TokenStream {
public:
    TokenStream& Literal(unsigned char byte)
    {
        Begin(false);
        bytes_.push_back(byte);
        return *this;
    }
    TokenStream& Literals(const Bytes& bytes)
    {
        for (unsigned char b : bytes) Literal(b);
        return *this;
    }
    // A coded token given as its bytes: code byte, then any further bytes.
    TokenStream& Coded(std::initializer_list<unsigned char> bytes)
    {
        Begin(true);
        bytes_.insert(bytes_.end(), bytes);
        return *this;
    }
    TokenStream& Coded(const Bytes& bytes)
    {
        Begin(true);
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    // Tokens that produce byte, the last byte produced so far, count more times:
    // far matches with offset 1, then a short match or a literal for the rest.
    TokenStream& Repeat(unsigned char byte, std::int64_t count)
    {
        for (; count >= 4096; count -= 4096) Coded({0xC0, 0x00, 0xFF});
        for (; count >= 1024; count -= 1024) Coded({0xC0, 0x00, 0xFE});
        for (; count >= 256; count -= 256) Coded({0xC0, 0x00, 0xFD});
        if (count >= 3) Coded({0xC0, 0x00, static_cast<unsigned char>(count - 3)});
        if (count == 2) Coded({0x00});  // short match: offset 1, length 2
        if (count == 1) Literal(byte);
        return *this;
    }

    const ::Bytes& Build() const { return bytes_; }
    int Tokens() const { return tokens_; }

private:
    void Begin(bool coded)
    {
        if (tokens_ % 8 == 0) {
            flag_ = bytes_.size();
            bytes_.push_back(0);
        }
        if (coded) bytes_[flag_] |= static_cast<unsigned char>(0x80 >> (tokens_ % 8));
        ++tokens_;
    }

    ::Bytes bytes_;
    std::size_t flag_ = 0;
    int tokens_ = 0;
};

inline Bytes Decode(const Bytes& payload)
{
    TMemoryStream in(payload), out;
    DecodePayload(in, out);
    return out.Bytes();
}

// A memory stream that logs the count of every Read and Write that reaches it.
// ReadBuffer and WriteBuffer pass a count of 0 on to nobody.
class RecordingStream : public TMemoryStream {
public:
    using TMemoryStream::TMemoryStream;

    std::vector<std::int64_t> Reads, Writes;

protected:
    std::int64_t Read(void* buffer, std::int64_t count) override
    {
        Reads.push_back(count);
        return TMemoryStream::Read(buffer, count);
    }
    std::int64_t Write(const void* buffer, std::int64_t count) override
    {
        Writes.push_back(count);
        return TMemoryStream::Write(buffer, count);
    }
};
