#include "PayloadEncoder.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace {

// The farthest back each match form reaches.
constexpr std::size_t kShortMaxOffset = 32;
constexpr std::size_t kNearMaxOffset = 1024;
constexpr std::size_t kFarMaxOffset = 16384;
// The longest length each match form carries (a far match's longest is a length code).
constexpr std::size_t kShortMaxLength = 4;
constexpr std::size_t kNearMaxLength = 18;
constexpr std::size_t kFarMaxLength = 4096;
// A literal run carries 9 to 40 bytes; below ten it saves nothing over single literals.
constexpr std::size_t kMinRun = 10;
constexpr std::size_t kMaxRun = 40;
// A match is taken only when it saves at least a byte, counted in bits with the flag bits.
constexpr long kMinSavingBits = 8;
// Candidates looked at per position beyond the short-offset scan; a speed limit only.
constexpr int kMaxChain = 64;
// Positions are found by a hash of their first three bytes.
constexpr int kHashBits = 15;

static_assert((kFarMaxOffset & (kFarMaxOffset - 1)) == 0, "the chain ring is indexed by a mask");

// One candidate token for a match: how far back, how many bytes, and its size.
struct Match {
    std::size_t offset = 0;
    std::size_t length = 0;
    std::size_t bytes = 0;  // 0: no match

    // Bits saved against coding the same bytes as literals (a byte and a flag bit each).
    long SavingBits() const { return bytes == 0 ? 0 : long(9 * length) - long(8 * bytes + 1); }
    bool Pays() const { return SavingBits() >= kMinSavingBits; }
    bool BetterThan(const Match& other) const
    {
        return SavingBits() > other.SavingBits() ||
               (SavingBits() == other.SavingBits() && length > other.length);
    }
};

// The longest length a far match can carry for up to n bytes.
std::size_t FarLength(std::size_t n)
{
    if (n >= 4096) return 4096;
    if (n >= 1024) return 1024;
    if (n >= 256) return 256;
    return std::min<std::size_t>(n, 255);
}

// The token form that saves most for copying up to n equal bytes from offset back.
Match BestToken(std::size_t offset, std::size_t n)
{
    Match best;
    auto consider = [&](std::size_t length, std::size_t bytes) {
        const Match m{offset, length, bytes};
        if (m.BetterThan(best)) best = m;
    };
    if (offset <= kShortMaxOffset && n >= 2) consider(std::min(n, kShortMaxLength), 1);
    if (offset <= kNearMaxOffset && n >= 3) consider(std::min(n, kNearMaxLength), 2);
    if (n >= 3) consider(FarLength(n), 3);
    return best;
}

// Writes tokens with their flag bytes. A flag byte is written when the first token
// of its group is, so a stream never ends in an unused one.
class TokenWriter {
public:
    explicit TokenWriter(std::vector<unsigned char>& out) : out_(out) {}

    void Literal(unsigned char byte)
    {
        Begin(false);
        out_.push_back(byte);
    }
    void Run(const unsigned char* bytes, std::size_t n)  // 9 to 40 bytes
    {
        Begin(true);
        out_.push_back(static_cast<unsigned char>((n - 9) << 2 | 3));
        out_.insert(out_.end(), bytes, bytes + n);
    }
    void Copy(const Match& m)
    {
        const std::size_t o = m.offset - 1;
        Begin(true);
        if (m.bytes == 1) {  // short: 0ooooobb
            out_.push_back(static_cast<unsigned char>(o << 2 | (m.length - 2)));
        } else if (m.bytes == 2) {  // near: 10oooooo oooobbbb
            out_.push_back(static_cast<unsigned char>(0x80 | o >> 4));
            out_.push_back(static_cast<unsigned char>((o & 0x0F) << 4 | (m.length - 3)));
        } else {  // far: 11oooooo oooooooo g
            out_.push_back(static_cast<unsigned char>(0xC0 | o >> 8));
            out_.push_back(static_cast<unsigned char>(o & 0xFF));
            out_.push_back(m.length == 4096   ? 0xFF
                           : m.length == 1024 ? 0xFE
                           : m.length == 256  ? 0xFD
                                              : static_cast<unsigned char>(m.length - 3));
        }
    }

private:
    void Begin(bool coded)
    {
        if (count_ == 8) {
            flag_ = out_.size();
            out_.push_back(0);
            count_ = 0;
        }
        if (coded) out_[flag_] |= static_cast<unsigned char>(0x80 >> count_);
        ++count_;
    }

    std::vector<unsigned char>& out_;
    std::size_t flag_ = 0;
    int count_ = 8;
};

class Packer {
public:
    Packer(const unsigned char* data, std::size_t size)
        : data_(data), size_(size), head_(std::size_t(1) << kHashBits, -1), prev_(kFarMaxOffset, -1)
    {
    }

    std::vector<unsigned char> Tokens()
    {
        std::vector<unsigned char> out;
        // The stream always opens with a flag byte, even when no token follows.
        if (size_ == 0) out.push_back(0);
        TokenWriter writer(out);

        std::size_t p = 0, literals = 0;  // literals: the first byte not yet written
        Match cur = Find(p);
        while (p < size_) {
            if (!cur.Pays()) {
                cur = Find(++p);
                continue;
            }
            // One step of lazy evaluation: a better match one byte on wins over this one.
            const Match next = Find(p + 1);
            if (next.Pays() && next.BetterThan(cur)) {
                cur = next;
                ++p;
                continue;
            }
            WriteLiterals(writer, literals, p);
            writer.Copy(cur);
            p += cur.length;
            literals = p;
            cur = Find(p);
        }
        WriteLiterals(writer, literals, size_);
        return out;
    }

private:
    // The best match for the bytes at q, from every position before q within reach.
    Match Find(std::size_t q)
    {
        Insert(q);
        Match best;
        if (q >= size_) return best;
        const std::size_t n = std::min(size_ - q, kFarMaxLength);
        if (n < 2) return best;

        // Every short offset is looked at: two-byte matches escape the hash.
        for (std::size_t offset = 1; offset <= std::min(q, kShortMaxOffset); ++offset) {
            const Match m = BestToken(offset, Common(q - offset, q, n));
            if (m.BetterThan(best)) best = m;
            if (best.length == n) return best;
        }
        if (n < 3) return best;
        std::ptrdiff_t cand = head_[Hash(q)];
        for (int step = 0; step < kMaxChain && cand >= 0; ++step) {
            const std::size_t offset = q - std::size_t(cand);
            if (offset > kFarMaxOffset) break;
            if (offset > kShortMaxOffset && data_[cand + best.length] == data_[q + best.length]) {
                const Match m = BestToken(offset, Common(std::size_t(cand), q, n));
                if (m.BetterThan(best)) best = m;
                if (best.length == n) break;
            }
            cand = prev_[std::size_t(cand) & (kFarMaxOffset - 1)];
        }
        return best;
    }

    // Enters every position before q into the chains, once each, in order.
    void Insert(std::size_t q)
    {
        for (; inserted_ < q && inserted_ + 3 <= size_; ++inserted_) {
            std::ptrdiff_t& head = head_[Hash(inserted_)];
            prev_[inserted_ & (kFarMaxOffset - 1)] = head;
            head = std::ptrdiff_t(inserted_);
        }
    }

    std::size_t Hash(std::size_t p) const
    {
        const std::uint32_t v =
            std::uint32_t(data_[p]) << 16 | std::uint32_t(data_[p + 1]) << 8 | data_[p + 2];
        return (v * 2654435761u) >> (32 - kHashBits);
    }

    // How many of the n bytes at q equal those at from (which may run into q).
    std::size_t Common(std::size_t from, std::size_t q, std::size_t n) const
    {
        std::size_t k = 0;
        while (k < n && data_[from + k] == data_[q + k]) ++k;
        return k;
    }

    void WriteLiterals(TokenWriter& writer, std::size_t from, std::size_t to) const
    {
        while (to - from >= kMinRun) {
            const std::size_t n = std::min(to - from, kMaxRun);
            writer.Run(data_ + from, n);
            from += n;
        }
        for (; from < to; ++from) writer.Literal(data_[from]);
    }

    const unsigned char* data_;
    std::size_t size_;
    std::vector<std::ptrdiff_t> head_;  // newest position per hash, or -1
    std::vector<std::ptrdiff_t>
        prev_;  // the position before it with the same hash, by position mod the reach
    std::size_t inserted_ = 0;
};

void PutLE32(std::vector<unsigned char>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

}  // namespace

std::vector<unsigned char> PackPayload(const unsigned char* data, std::size_t size)
{
    constexpr std::size_t kMaxSize = std::numeric_limits<std::int32_t>::max();
    if (size > kMaxSize) throw std::length_error("data too large for a payload (2 GiB at most)");
    const std::vector<unsigned char> tokens = Packer(data, size).Tokens();
    if (tokens.size() > kMaxSize)
        throw std::length_error("packed data too large for a payload (2 GiB at most)");

    std::vector<unsigned char> payload(kPayloadLead, kPayloadLead + 4);
    PutLE32(payload, std::uint32_t(tokens.size()));
    PutLE32(payload, std::uint32_t(size));
    PutLE32(payload, 0);
    payload.insert(payload.end(), tokens.begin(), tokens.end());
    return payload;
}
