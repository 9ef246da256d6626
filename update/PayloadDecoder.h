// The payload format: a 16-byte header and a flag-byte LZ77 token stream.
// docs/payload-format.md describes it in full.
#pragma once

#include <cstdint>

#include "Classes.h"

// The header at the start of every payload; multi-byte fields little-endian.
struct PayloadHeader {
    unsigned char Signature[2];  // two ASCII letters, not checked
    unsigned char Byte2;         // not checked
    unsigned char Byte3;         // not checked
    std::int32_t PackedSize;     // bytes of token stream after the header
    std::int32_t UnpackedSize;   // bytes the token stream produces
    std::uint32_t Reserved;      // zero, not checked

    static constexpr int kSize = 16;
    static PayloadHeader Parse(const unsigned char (&bytes)[kSize]);
};

// A payload whose header or token stream is inconsistent. The decoder trusts
// nothing past the header: it stops with this error before any read or write
// would leave its buffers.
class EPayloadError : public Exception {
public:
    EPayloadError();
};

// Reads one payload from input and writes the bytes it stands for to output.
// Stream calls, in order: ReadBuffer of the header, ReadBuffer of PackedSize
// bytes, one WriteBuffer of kFlushBlock bytes per flush, one final WriteBuffer.
// Raises EReadError when the input is short, EWriteError when the output is,
// EPayloadError when the payload is damaged, std::bad_alloc when memory is.
void DecodePayload(TStream& input, TStream& output);
