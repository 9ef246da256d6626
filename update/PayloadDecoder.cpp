#include "PayloadDecoder.h"

#include <algorithm>
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
// The most bytes one token takes from the stream (a literal run of 40 and its code).
constexpr std::int32_t kMaxTokenInput = 1 + 40;

// A fill below the threshold plus the longest token always fits in the window.
static_assert(kFlushThreshold - 1 + kMaxTokenOutput <= kWindowSize);
// A flush keeps at least kFlushThreshold - kFlushBlock bytes, more than any match
// reaches back, so a match never needs a byte that has already gone out.
static_assert(kFlushThreshold - kFlushBlock >= kMaxOffset);
// After a flush the fill is below the threshold again: one flush per token is enough.
static_assert(kFlushThreshold - kFlushBlock + kMaxTokenOutput < kFlushThreshold);

// ---- The fast path ----
//
// Whole groups of eight tokens are decoded with no bound checked between their
// tokens, for as long as the next group cannot reach an end: the stream holds a
// whole group and the flag byte after it beyond the group's own flag byte ...
constexpr std::int32_t kFastInput = 8 * kMaxTokenInput + 1;
// ... UnpackedSize leaves room for eight of the longest tokens, and the fill is
// below the flush threshold. What is left to check is the offset of each match.
constexpr std::int32_t kFastOutput = 8 * kMaxTokenOutput;

// Copies move whole chunks: eight literals at once, a match two chunks or more, a
// literal run three. So a token writes up to kRunChunks * kChunk bytes past its
// end; the next tokens overwrite them, and the window has room for them.
constexpr std::int32_t kChunk = 16;
constexpr std::int32_t kRunChunks = 3;
static_assert(kRunChunks * kChunk >= kMaxTokenInput - 1 && kRunChunks >= 2);
// The fill before a group is below the threshold, so the group and what its copies
// write past it fit in the window; a flush after it leaves the fill below the
// threshold again.
static_assert(kFlushThreshold - 1 + kFastOutput + kRunChunks * kChunk <= kWindowSize);
static_assert(kFlushThreshold - kFlushBlock + kFastOutput < kFlushThreshold);
// A group reads at most kRunChunks * kChunk - 9 bytes past the stream bytes it
// uses (a shortest run copied as three chunks); they lie in the stream or its slack.
static_assert(kRunChunks * kChunk - 9 <= kInputSlack);

void Copy8(unsigned char* to, const unsigned char* from)
{
    std::memcpy(to, from, 8);
}
void CopyChunk(unsigned char* to, const unsigned char* from)
{
    std::memcpy(to, from, kChunk);
}

// For an offset below one chunk, the first chunk of a match repeats the last
// offset bytes before it: its byte i is byte i % offset of them.
struct RepeatTable {
    unsigned char index[kChunk][kChunk];
    constexpr RepeatTable() : index()
    {
        for (int offset = 1; offset < kChunk; ++offset)
            for (int i = 0; i < kChunk; ++i) index[offset][i] = static_cast<unsigned char>(i % offset);
    }
};
constexpr RepeatTable kRepeat;

// Produces length bytes at to from offset bytes back, as the byte-by-byte copy
// would, in whole chunks, each read from bytes that are already final. Two chunks
// at least, so that most matches take no loop.
void CopyMatch(unsigned char* to, std::size_t offset, std::size_t length)
{
    const unsigned char* from = to - offset;
    if (offset >= kChunk) {
        CopyChunk(to, from);
        CopyChunk(to + kChunk, from + kChunk);
        for (std::size_t i = 2 * kChunk; i < length; i += kChunk) CopyChunk(to + i, from + i);
        return;
    }
    // The first chunk from the offset bytes before it; the others from a whole
    // number of periods back, at least a chunk away.
    for (int i = 0; i < kChunk; ++i) to[i] = from[kRepeat.index[offset][i]];
    const std::size_t step = (kChunk + offset - 1) / offset * offset;
    for (std::size_t i = kChunk; i < length; i += kChunk) CopyChunk(to + i, to + i - step);
}

// How a match's code byte e and the two bytes after it, read as v = e f g, give
// its offset and length, by e >> 6 (0 and 1: short, 2: near, 3: far). A far
// match's length codes 0xFE and 0xFF come out as 257 and 258 here.
struct MatchForm {
    unsigned offsetShift, offsetMask, lengthShift, lengthMask, lengthBase;
};
constexpr MatchForm kForms[4] = {
    {18, 0x1F, 16, 0x3, 2},   // short: 0ooooobb
    {18, 0x1F, 16, 0x3, 2},   //
    {12, 0x3FF, 8, 0xF, 3},   // near: 10oooooo oooobbbb
    {8, 0x3FFF, 0, 0xFF, 3},  // far: 11oooooo oooooooo gggggggg
};

// For every flag byte, its group's shape: the count of coded tokens in bits 60 to
// 63, and from the lowest bits up, four bits each, how many literals come before
// each coded token and after the last. A group's loop count is then known when
// its flag byte is, before any of its tokens.
struct GroupTable {
    std::uint64_t shape[256];
    constexpr GroupTable() : shape()
    {
        for (unsigned flags = 0; flags < 256; ++flags) {
            std::uint64_t v = 0;
            unsigned coded = 0, literals = 0;
            for (int bit = 7; bit >= 0; --bit) {
                if ((flags >> bit & 1) == 0) {
                    ++literals;
                    continue;
                }
                v |= std::uint64_t(literals) << (4 * coded++);
                literals = 0;
            }
            shape[flags] = std::uint64_t(coded) << 60 | v | std::uint64_t(literals) << (4 * coded);
        }
    }
};
constexpr GroupTable kGroups;

// Decodes the group of eight tokens whose flag byte is flags from s into d, and
// leaves both just behind it. The caller has made sure that it cannot reach an
// end; it checks that no match reaches before out, the first byte ever produced.
void DecodeGroup(unsigned flags, const unsigned char*& s, unsigned char*& d, const unsigned char* out)
{
    std::uint64_t shape = kGroups.shape[flags];
    for (unsigned coded = unsigned(shape >> 60); coded > 0; --coded) {
        // The literals before this coded token, eight bytes copied for all of them.
        const unsigned literals = shape & 0xF;
        shape >>= 4;
        Copy8(d, s);
        d += literals;
        s += literals;

        const std::uint32_t e = s[0];
        if ((e & 0x83) == 0x03) {  // literal run
            const std::size_t length = (e >> 2) + 9;
            for (int i = 0; i < kRunChunks; ++i) CopyChunk(d + i * kChunk, s + 1 + i * kChunk);
            d += length;
            s += 1 + length;
            continue;
        }
        // No branch on the form: the forms come in no order that a branch predicts.
        const std::uint32_t v = e << 16 | std::uint32_t(s[1]) << 8 | s[2];
        const MatchForm& form = kForms[e >> 6];
        const std::size_t offset = (v >> form.offsetShift & form.offsetMask) + 1;
        std::size_t length = (v >> form.lengthShift & form.lengthMask) + form.lengthBase;
        if (length > 256) length = (v & 0xFF) == 0xFF ? 4096 : 1024;
        s += 1 + ((e >> 6) * 3 >> 2);  // 1, 1, 2, 3 bytes
        // Before any flush, out holds the first byte produced; after one, the window
        // holds more than the farthest reach.
        if (offset > std::size_t(d - out)) throw EPayloadError();
        CopyMatch(d, offset, length);
        d += length;
    }
    Copy8(d, s);
    d += shape & 0xF;
    s += shape & 0xF;
}

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

    auto flushIfFull = [&] {
        if (fill < kFlushThreshold) return;
        output.WriteBuffer(out, kFlushBlock);
        std::memmove(out, out + kFlushBlock, std::size_t(fill - kFlushBlock));
        fill -= kFlushBlock;
    };
    // Every token checks the bytes it takes from the stream as it learns how many
    // it needs: the token stream ends at packed, and the slack is not part of it.
    auto need = [&](std::int64_t count) {
        if (count > packed - pos) throw EPayloadError();
    };

    while (produced < unpacked) {
        if (tokens == 0 && packed - pos >= kFastInput && unpacked - produced >= kFastOutput) {
            // Whole groups until the next one could reach an end or the threshold.
            // The window flushes after the last: no byte of it changes in between.
            const unsigned char* s = src + pos;
            unsigned char* d = out + fill;
            const unsigned char* const lastInput = src + (packed - kFastInput);
            unsigned char* const lastOutput =
                out + std::min<std::int64_t>(kFlushThreshold - 1, fill + (unpacked - produced - kFastOutput));
            do {
                DecodeGroup(flags, s, d, out);
                flags = *s++;
            } while (s <= lastInput && d <= lastOutput);
            const auto grown = std::int32_t(d - (out + fill));
            pos = s - src;
            fill += grown;
            produced += grown;
            flushIfFull();
            continue;
        }

        // One token at a time, near the ends.
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
            } else {
                CopyMatch(dst, std::size_t(offset), std::size_t(length));
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
        flushIfFull();
    }
    output.WriteBuffer(out, fill);
}
