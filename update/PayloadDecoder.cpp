#include "PayloadDecoder.h"

#include <cstring>
#include <memory>

namespace {

// The output grows in a window of this size and goes out in blocks from its start.
constexpr std::int32_t kWindowSize = 0x300000;
// Once a token leaves this many bytes or more in the window, the oldest block goes out.
constexpr std::int32_t kFlushThreshold = 0x200000;
// The size of one flushed block; the rest of the window moves down behind it.
constexpr std::int32_t kFlushBlock = 0x100000;
// Zeroed bytes behind the token stream: the flag byte that follows a completed
// group of eight may be missing from a payload and is then read from here.
constexpr std::int32_t kInputSlack = 256;
// The farthest back a match can reach (a far match with e = 0xFF and f = 0xFF).
constexpr std::int32_t kMaxOffset = 16384;
// The most bytes one token produces (a far match with length code 0xFF).
constexpr std::int32_t kMaxTokenOutput = 4096;

// A fill below the threshold plus the longest token always fits in the window.
static_assert(kFlushThreshold - 1 + kMaxTokenOutput <= kWindowSize);
// A flush keeps at least kFlushThreshold - kFlushBlock bytes, more than any match
// reaches back, so a match never needs a byte that has already gone out.
static_assert(kFlushThreshold - kFlushBlock >= kMaxOffset);
// After a flush the fill is below the threshold again: one flush per token is enough.
static_assert(kFlushThreshold - kFlushBlock + kMaxTokenOutput < kFlushThreshold);

std::int32_t ReadLE32(const unsigned char* p)
{
    const std::uint32_t v = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                            std::uint32_t(p[3]) << 24;
    return static_cast<std::int32_t>(v);
}

}  // namespace

PayloadHeader PayloadHeader::Parse(const unsigned char (&bytes)[kSize])
{
    PayloadHeader header{};
    header.Signature[0] = bytes[0];
    header.Signature[1] = bytes[1];
    header.Byte2 = bytes[2];
    header.Byte3 = bytes[3];
    header.PackedSize = ReadLE32(bytes + 4);
    header.UnpackedSize = ReadLE32(bytes + 8);
    header.Reserved = static_cast<std::uint32_t>(ReadLE32(bytes + 12));
    return header;
}

EPayloadError::EPayloadError() : Exception("アップデートデータが壊れています") {}

void DecodePayload(TStream& input, TStream& output)
{
    unsigned char raw[PayloadHeader::kSize];
    input.ReadBuffer(raw, sizeof raw);
    const PayloadHeader header = PayloadHeader::Parse(raw);
    if (header.PackedSize < 0 || header.UnpackedSize < 0) throw EPayloadError();
    const std::int64_t packed = header.PackedSize;
    const std::int64_t unpacked = header.UnpackedSize;
    // A header that promises more than the input holds fails as the short read it
    // would be, before anything is allocated on its word.
    if (packed > input.Remaining()) throw EReadError("ストリームからの読み込みエラー");

    std::unique_ptr<unsigned char[]> in(new unsigned char[std::size_t(packed) + kInputSlack]);
    std::unique_ptr<unsigned char[]> window(new unsigned char[kWindowSize]);
    std::memset(in.get() + packed, 0, kInputSlack);
    input.ReadBuffer(in.get(), packed);

    const unsigned char* const src = in.get();
    unsigned char* const out = window.get();
    std::int64_t pos = 0;       // next byte of the token stream
    std::int32_t fill = 0;      // bytes now in the window
    std::int64_t produced = 0;  // bytes produced in all; a flush does not reduce it
    unsigned flags = src[pos++];
    int tokens = 0;  // tokens taken since the flag byte was fetched

    // Every token checks the bytes it takes from the stream as it learns how many
    // it needs: the token stream ends at packed, and the slack is not part of it.
    auto need = [&](std::int64_t count) {
        if (count > packed - pos) throw EPayloadError();
    };

    while (produced < unpacked) {
        std::int32_t length;
        need(1);
        if ((flags & 0x80) == 0) {  // literal
            out[fill] = src[pos++];
            length = 1;
        } else {
            const unsigned e = src[pos++];
            std::int32_t offset = 0;
            if (e < 0x80 && (e & 3) == 3) {  // literal run of 9 to 40 bytes
                length = std::int32_t(e >> 2) + 9;
                need(length);
            } else if (e < 0x80) {  // short match
                offset = std::int32_t(e >> 2) + 1;
                length = std::int32_t(e & 3) + 2;
            } else {
                need(1);
                const unsigned f = src[pos++];
                if ((e & 0x40) == 0) {  // near match
                    offset = std::int32_t((e & 0x3F) << 4 | f >> 4) + 1;
                    length = std::int32_t(f & 0x0F) + 3;
                } else {  // far match
                    need(1);
                    const unsigned g = src[pos++];
                    offset = std::int32_t((e & 0x3F) << 8 | f) + 1;
                    length = g == 0xFF ? 4096 : g == 0xFE ? 1024 : g == 0xFD ? 256 : std::int32_t(g) + 3;
                }
            }
            // No token may produce more than the header declares, and no match may
            // reach before the first byte produced; while that holds, the source
            // lies inside the window.
            if (length > unpacked - produced || offset > produced) throw EPayloadError();

            unsigned char* const dst = out + fill;
            if (offset == 0) {
                std::memcpy(dst, src + pos, std::size_t(length));
                pos += length;
            } else if (offset >= length) {
                std::memcpy(dst, dst - offset, std::size_t(length));
            } else {
                // Source and destination overlap: byte by byte, each stored before it
                // is read again, so the last offset bytes repeat.
                for (std::int32_t k = 0; k < length; ++k) dst[k] = dst[k - offset];
            }
        }
        fill += length;
        produced += length;

        flags = (flags << 1) & 0xFF;
        if (++tokens == 8) {
            // After the eighth token of every group, the last one included; at the
            // very end of the stream this byte comes from the slack and is never used.
            flags = src[pos++];
            tokens = 0;
        }
        if (fill >= kFlushThreshold) {
            output.WriteBuffer(out, kFlushBlock);
            std::memmove(out, out + kFlushBlock, std::size_t(fill - kFlushBlock));
            fill -= kFlushBlock;
        }
    }
    output.WriteBuffer(out, fill);
}
