#include "PayloadEncoder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
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

// ---- The fast parser ----

// Greedy matching from hash chains with one step of lazy evaluation.
class LazyParser {
public:
    LazyParser(const unsigned char* data, std::size_t size)
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

// ---- The optimal parser ----

// Token costs in eighths of a byte: every token has its flag bit, then its bytes.
constexpr std::uint32_t kLiteralCost = 1 + 8;
constexpr std::uint32_t kRunCost = 1 + 8;  // plus 8 for each byte of the run
constexpr std::uint32_t kShortCost = 1 + 8;
constexpr std::uint32_t kNearCost = 1 + 16;
constexpr std::uint32_t kFarCost = 1 + 24;
// The shortest literal run; a run of 9 costs as much as nine literals (both 81).
constexpr std::size_t kMinRunLength = 9;
// The longest far match whose every length has a code; 256, 1024 and 4096 have one each.
constexpr std::size_t kFarMaxPlainLength = 255;
// The optimal parse keeps per-byte state for this many bytes at a time. A file up to
// this size is parsed as a whole; a larger one in pieces of it, each parsed
// optimally on its own, with no token across a seam.
constexpr std::size_t kSegment = std::size_t(8) << 20;

// For one position: the longest match within each form's reach, and an offset that
// gives it (the smallest). A length of 0 means none.
struct Reach {
    std::uint16_t farLength = 0, farOffset = 0;     // length up to 4096, offset up to 16384
    std::uint16_t nearOffset = 0;                   // up to 1024
    std::uint8_t nearLength = 0;                    // up to 18
    std::uint8_t shortLength = 0, shortOffset = 0;  // up to 4 and 32
};

// Finds, for every position in turn, the longest match at every distance that the
// format can express: a binary tree of the positions within reach that start with
// the same two bytes, ordered by the bytes that follow (up to the longest match),
// with the newest position at the root. Walking down it from the root meets, for
// every length, the nearest position that matches at least that long, so the search
// is complete: no depth limit, no candidate skipped.
class MatchFinder {
public:
    MatchFinder(const unsigned char* data, std::size_t size)
        : data_(data), size_(size), head_(std::size_t(1) << 16, kNone), children_(2 * kCycle, kNone)
    {
    }

    // Enters position p into the tree and returns its matches. Called for every
    // position in order, from 0.
    Reach Next(std::size_t p)
    {
        Reach reach;
        if (size_ - p < 2) return reach;
        const std::size_t limit = std::min(size_ - p, kFarMaxLength);
        std::uint32_t& head = head_[std::size_t(data_[p]) | std::size_t(data_[p + 1]) << 8];
        std::uint32_t cur = head;
        head = std::uint32_t(p);

        // Positions smaller than p's bytes go left of it, larger ones right; each
        // side is filled in as the walk passes them. lenLeft and lenRight are how many
        // bytes p shares with every position still to come on that side.
        std::uint32_t* left = &children_[2 * (p & kCycleMask)];
        std::uint32_t* right = left + 1;
        std::size_t lenLeft = 2, lenRight = 2, best = 1;
        for (;;) {
            if (cur == kNone || p - cur > kFarMaxOffset) {
                *left = *right = kNone;
                break;
            }
            const std::size_t offset = p - cur;
            std::size_t len = std::min(lenLeft, lenRight);
            // The match that the previous position found at this offset goes on here,
            // one byte shorter: a long repeat is not compared again byte by byte.
            if (offset == lastOffset_ && lastLength_ > len + 1) len = lastLength_ - 1;
            len = Extend(cur, p, len, limit);
            if (len > best) {
                best = len;
                Record(reach, offset, len);
            }
            std::uint32_t* const pair = &children_[2 * (cur & kCycleMask)];
            if (len == limit) {
                // As long as p for every later search: p, the newer one, takes its place.
                *left = pair[0];
                *right = pair[1];
                break;
            }
            if (data_[cur + len] < data_[p + len]) {
                *left = cur;
                left = &pair[1];
                cur = pair[1];
                lenLeft = len;
            } else {
                *right = cur;
                right = &pair[0];
                cur = pair[0];
                lenRight = len;
            }
        }
        lastOffset_ = reach.farOffset;
        lastLength_ = reach.farLength;
        return reach;
    }

private:
    // The tree's nodes are kept for the positions of the last kCycle bytes, more than
    // the farthest reach; an older position is never visited again.
    static constexpr std::size_t kCycle = 2 * kFarMaxOffset;
    static constexpr std::size_t kCycleMask = kCycle - 1;
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;

    // Lengths come in increasing order, each with the smallest offset that gives it.
    static void Record(Reach& reach, std::size_t offset, std::size_t len)
    {
        reach.farLength = std::uint16_t(len);
        reach.farOffset = std::uint16_t(offset);
        if (offset <= kNearMaxOffset && std::min(len, kNearMaxLength) > reach.nearLength) {
            reach.nearLength = std::uint8_t(std::min(len, kNearMaxLength));
            reach.nearOffset = std::uint16_t(offset);
        }
        if (offset <= kShortMaxOffset && std::min(len, kShortMaxLength) > reach.shortLength) {
            reach.shortLength = std::uint8_t(std::min(len, kShortMaxLength));
            reach.shortOffset = std::uint8_t(offset);
        }
    }

    // How many bytes at from and at p agree, knowing that the first len do, up to limit.
    std::size_t Extend(std::size_t from, std::size_t p, std::size_t len, std::size_t limit) const
    {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        // Eight bytes at a time; the lowest differing bit is in the first differing byte.
        while (len + 8 <= limit) {
            std::uint64_t a, b;
            std::memcpy(&a, data_ + from + len, 8);
            std::memcpy(&b, data_ + p + len, 8);
            if (a != b) return len + std::size_t(__builtin_ctzll(a ^ b) >> 3);
            len += 8;
        }
#endif
        while (len < limit && data_[from + len] == data_[p + len]) ++len;
        return len;
    }

    const unsigned char* data_;
    std::size_t size_;
    std::vector<std::uint32_t> head_;      // the newest position per first two bytes
    std::vector<std::uint32_t> children_;  // left and right child per position mod kCycle
    std::size_t lastOffset_ = 0, lastLength_ = 0;
};

// The shortest token stream for the data, counting a token's flag bit as an eighth
// of a byte: a shortest path from the first byte to the last over every token that
// can start at each byte, with the matches of a complete search. Computed backwards,
// so that cost[i] is the least that the bytes from i to the end can cost.
class OptimalParser {
public:
    OptimalParser(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    std::vector<unsigned char> Tokens()
    {
        std::vector<unsigned char> out;
        // The stream always opens with a flag byte, even when no token follows.
        if (size_ == 0) out.push_back(0);
        TokenWriter writer(out);
        MatchFinder finder(data_, size_);
        for (std::size_t begin = 0; begin < size_; begin += kSegment) {
            const std::size_t end = std::min(size_, begin + kSegment);
            reach_.resize(end - begin);
            for (std::size_t p = begin; p < end; ++p) reach_[p - begin] = Capped(finder.Next(p), end - p);
            Parse(end - begin);
            Write(writer, begin, end - begin);
        }
        return out;
    }

private:
    enum Kind : std::uint8_t { kLiteral, kRun, kShort, kNear, kFar };
    struct Choice {
        std::uint16_t length;
        Kind kind;
    };

    // No match runs past the end of the piece being parsed.
    static Reach Capped(Reach r, std::size_t left)
    {
        r.farLength = std::uint16_t(std::min<std::size_t>(r.farLength, left));
        r.nearLength = std::uint8_t(std::min<std::size_t>(r.nearLength, left));
        r.shortLength = std::uint8_t(std::min<std::size_t>(r.shortLength, left));
        return r;
    }

    // Fills cost and choice for the n bytes whose matches are in reach_. Where two
    // tokens cost the same, the longer one wins: fewer tokens decode faster.
    void Parse(std::size_t n)
    {
        cost_.assign(n + 1, 0);
        choice_.assign(n, Choice{1, kLiteral});
        // Literal runs: the least cost[k] + 8k for k from i + 9 to i + 40, a sliding
        // window kept as a queue of rising values, the oldest (farthest) first.
        std::deque<std::size_t> runs;
        // Far matches of 3 to 255 bytes: the least cost[k] for k from i + 3 to i + m,
        // where m varies. A stack of the k that can still be the least for some m:
        // nearest on top, and each one's cost at most that of any above it.
        std::deque<std::size_t> far;
        auto runKey = [this](std::size_t k) { return cost_[k] + 8 * std::uint32_t(k); };

        for (std::size_t i = n; i-- > 0;) {
            const Reach& r = reach_[i];
            std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
            Choice choice{1, kLiteral};
            auto consider = [&](std::uint32_t c, std::size_t length, Kind kind) {
                if (c < best) {
                    best = c;
                    choice = Choice{std::uint16_t(length), kind};
                }
            };

            // Longest first: on a tie the first one considered stays.
            if (i + 3 <= n) {
                const std::size_t k = i + 3;
                while (!far.empty() && cost_[far.back()] > cost_[k]) far.pop_back();
                far.push_back(k);
            }
            while (!far.empty() && far.front() > i + kFarMaxPlainLength) far.pop_front();
            for (std::size_t length : {kFarMaxLength, std::size_t(1024), std::size_t(256)})
                if (r.farLength >= length) consider(cost_[i + length] + kFarCost, length, kFar);
            const std::size_t farMax = std::min<std::size_t>(r.farLength, kFarMaxPlainLength);
            if (farMax >= 3) {
                // The deepest entry within reach: the least cost, the longest of equals.
                const auto at = std::partition_point(far.begin(), far.end(),
                                                     [&](std::size_t k) { return k > i + farMax; });
                consider(cost_[*at] + kFarCost, *at - i, kFar);
            }
            for (std::size_t length = r.nearLength; length >= 3; --length)
                consider(cost_[i + length] + kNearCost, length, kNear);
            for (std::size_t length = r.shortLength; length >= 2; --length)
                consider(cost_[i + length] + kShortCost, length, kShort);

            while (!runs.empty() && runs.front() > i + kMaxRun) runs.pop_front();
            if (i + kMinRunLength <= n) {
                const std::size_t k = i + kMinRunLength;
                while (!runs.empty() && runKey(runs.back()) > runKey(k)) runs.pop_back();
                runs.push_back(k);
                const std::size_t longest = runs.front();
                consider(runKey(longest) - 8 * std::uint32_t(i) + kRunCost, longest - i, kRun);
            }
            consider(cost_[i + 1] + kLiteralCost, 1, kLiteral);

            cost_[i] = best;
            choice_[i] = choice;
        }
    }

    // Writes the tokens of the cheapest path through the n bytes from begin.
    void Write(TokenWriter& writer, std::size_t begin, std::size_t n) const
    {
        for (std::size_t i = 0; i < n;) {
            const Choice c = choice_[i];
            const Reach& r = reach_[i];
            switch (c.kind) {
                case kLiteral:
                    writer.Literal(data_[begin + i]);
                    break;
                case kRun:
                    writer.Run(data_ + begin + i, c.length);
                    break;
                case kShort:
                    writer.Copy(Match{r.shortOffset, c.length, 1});
                    break;
                case kNear:
                    writer.Copy(Match{r.nearOffset, c.length, 2});
                    break;
                case kFar:
                    writer.Copy(Match{r.farOffset, c.length, 3});
                    break;
            }
            i += c.length;
        }
    }

    const unsigned char* data_;
    std::size_t size_;
    std::vector<Reach> reach_;
    std::vector<std::uint32_t> cost_;
    std::vector<Choice> choice_;
};

void PutLE32(std::vector<unsigned char>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

}  // namespace

std::vector<unsigned char> PackPayload(const unsigned char* data, std::size_t size, PackMode mode)
{
    constexpr std::size_t kMaxSize = std::numeric_limits<std::int32_t>::max();
    if (size > kMaxSize) throw std::length_error("data too large for a payload (2 GiB at most)");
    const std::vector<unsigned char> tokens =
        mode == PackMode::Fast ? LazyParser(data, size).Tokens() : OptimalParser(data, size).Tokens();
    if (tokens.size() > kMaxSize)
        throw std::length_error("packed data too large for a payload (2 GiB at most)");

    std::vector<unsigned char> payload(kPayloadLead, kPayloadLead + 4);
    PutLE32(payload, std::uint32_t(tokens.size()));
    PutLE32(payload, std::uint32_t(size));
    PutLE32(payload, 0);
    payload.insert(payload.end(), tokens.begin(), tokens.end());
    return payload;
}
