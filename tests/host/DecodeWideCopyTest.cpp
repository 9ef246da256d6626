// The decoder's fast path against the format's definition: token streams made at
// random, with the bytes they stand for worked out one byte at a time, the way
// the format describes a match. The fast path copies in chunks and checks bounds
// per group; these streams give it every token form, offsets below and above a
// chunk, long overlapping matches, flushes, and ends at every distance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "PayloadTestSupport.h"

namespace {

// A valid token stream and the bytes it stands for, built side by side.
struct Stream {
    TokenStream tokens;
    Bytes expected;
    // After each token: the stream bytes so far (no flag byte for a next token) and
    // the bytes produced.
    std::vector<std::pair<std::size_t, std::size_t>> ends;

    void Literal(unsigned char b)
    {
        tokens.Literal(b);
        expected.push_back(b);
        ends.emplace_back(tokens.Build().size(), expected.size());
    }
    void Run(const Bytes& bytes)  // 9 to 40
    {
        Bytes code = {static_cast<unsigned char>((bytes.size() - 9) << 2 | 3)};
        code.insert(code.end(), bytes.begin(), bytes.end());
        tokens.Coded(code);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
        ends.emplace_back(tokens.Build().size(), expected.size());
    }
    void Match(const Bytes& code, std::size_t offset, std::size_t length)
    {
        tokens.Coded(code);
        for (std::size_t k = 0; k < length; ++k) expected.push_back(expected[expected.size() - offset]);
        ends.emplace_back(tokens.Build().size(), expected.size());
    }
    void Short(std::size_t offset, std::size_t length) { Match(ShortCode(offset, length), offset, length); }
    void Near(std::size_t offset, std::size_t length) { Match(NearCode(offset, length), offset, length); }
    void Far(std::size_t offset, std::size_t length) { Match(FarCode(offset, length), offset, length); }

    static Bytes ShortCode(std::size_t offset, std::size_t length)  // 1..32, 2..4
    {
        return {static_cast<unsigned char>((offset - 1) << 2 | (length - 2))};
    }
    static Bytes NearCode(std::size_t offset, std::size_t length)  // 1..1024, 3..18
    {
        const std::size_t o = offset - 1;
        return {static_cast<unsigned char>(0x80 | o >> 4),
                static_cast<unsigned char>((o & 0xF) << 4 | (length - 3))};
    }
    static Bytes FarCode(std::size_t offset, std::size_t length)  // 1..16384; 3..255, 256, 1024, 4096
    {
        const std::size_t o = offset - 1;
        const unsigned char g = length == 4096   ? 0xFF
                                : length == 1024 ? 0xFE
                                : length == 256  ? 0xFD
                                                 : static_cast<unsigned char>(length - 3);
        return {static_cast<unsigned char>(0xC0 | o >> 8), static_cast<unsigned char>(o), g};
    }
};

// Tokens at random until the output holds at least size bytes. Offsets favour the
// small ones, where chunks overlap the bytes they copy, and the largest ones.
Stream RandomStream(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    auto pick = [&](std::size_t lo, std::size_t hi) {
        return std::uniform_int_distribution<std::size_t>(lo, hi)(random);
    };
    auto offset = [&](std::size_t most) {
        switch (pick(0, 3)) {
            case 0:
                return pick(1, std::min<std::size_t>(most, 17));
            case 1:
                return pick(std::max<std::size_t>(1, most > 8 ? most - 8 : 1), most);
            default:
                return pick(1, most);
        }
    };
    Stream s;
    while (s.expected.size() < size) {
        const std::size_t produced = s.expected.size();
        const int kind = produced == 0 ? 0 : int(pick(0, 9));
        if (kind <= 2) {
            s.Literal(static_cast<unsigned char>(pick(0, 3) == 0 ? 'a' : random()));
        } else if (kind == 3) {
            Bytes run(pick(9, 40));
            for (auto& b : run) b = static_cast<unsigned char>(random());
            s.Run(run);
        } else if (kind <= 5) {
            s.Short(offset(std::min<std::size_t>(produced, 32)), pick(2, 4));
        } else if (kind <= 7) {
            s.Near(offset(std::min<std::size_t>(produced, 1024)), pick(3, 18));
        } else {
            static const std::size_t codedLengths[] = {256, 1024, 4096};  // g = FD, FE, FF
            const std::size_t length = pick(0, 5) == 0 ? codedLengths[pick(0, 2)] : pick(3, 255);
            s.Far(offset(std::min<std::size_t>(produced, 16384)), length);
        }
    }
    return s;
}

// The writes a correct decoder makes for n bytes: whole blocks, then the rest.
std::vector<std::int64_t> Blocks(std::int64_t n)
{
    std::vector<std::int64_t> writes;
    for (; n >= 0x200000; n -= 0x100000) writes.push_back(0x100000);
    if (n > 0) writes.push_back(n);
    return writes;
}

struct RandomCase {
    const char* name;
    std::size_t size;
    unsigned seeds;
};

class DecodeRandomStreams : public testing::TestWithParam<RandomCase> {};

TEST_P(DecodeRandomStreams, GiveTheBytesOfTheDefinitionInWholeBlocks)
{
    for (unsigned seed = 1; seed <= GetParam().seeds; ++seed) {
        const Stream s = RandomStream(GetParam().size, seed);
        RecordingStream in(Payload(std::int32_t(s.expected.size()), s.tokens.Build())), out;
        DecodePayload(in, out);
        ASSERT_TRUE(out.Bytes() == s.expected) << "seed " << seed;
        ASSERT_EQ(out.Writes, Blocks(std::int64_t(s.expected.size()))) << "seed " << seed;
    }
}

INSTANTIATE_TEST_SUITE_P(DecodePayload, DecodeRandomStreams,
                         testing::Values(RandomCase{"Small", 300, 200},
                                         RandomCase{"PastTheFastLimits", 70000, 30},
                                         RandomCase{"SeveralFlushes", 5 << 20, 2}),
                         [](const testing::TestParamInfo<RandomCase>& info) {
                             return std::string(info.param.name);
                         });

// One stream cut after each of its last tokens: the fast path hands over to the
// exact one at every distance from the end of the stream and of the output.
TEST(DecodePayload, EveryEndOfAStreamDecodesExactlyAndOneByteLessOrMoreFails)
{
    const Stream s = RandomStream(60000, 99);
    const Bytes& all = s.tokens.Build();
    for (std::size_t t = s.ends.size() - 400; t < s.ends.size(); ++t) {
        const auto [bytes, produced] = s.ends[t];
        const Bytes tokens(all.begin(), all.begin() + std::ptrdiff_t(bytes));
        const Bytes expected(s.expected.begin(), s.expected.begin() + std::ptrdiff_t(produced));
        ASSERT_TRUE(Decode(Payload(std::int32_t(produced), tokens)) == expected) << "cut after token " << t;
        const Bytes shorter(tokens.begin(), tokens.end() - 1);
        EXPECT_THROW(Decode(Payload(std::int32_t(produced), shorter)), EPayloadError) << "token " << t;
        EXPECT_THROW(Decode(Payload(std::int32_t(produced + 1), tokens)), EPayloadError) << "token " << t;
    }
}

// A match that reaches before the first byte, with a long stream behind it, so that
// it is met by the fast path; every form, at the start and just before the point
// where the farthest match becomes possible.
struct EarlyMatch {
    const char* name;
    std::size_t before;  // bytes produced before the match
    int form;            // 0 short, 1 near, 2 far
};

class MatchBeforeTheStart : public testing::TestWithParam<EarlyMatch> {};

TEST_P(MatchBeforeTheStart, IsRejectedInTheMiddleOfALongStreamBeforeAnyWrite)
{
    const EarlyMatch& c = GetParam();
    ASSERT_EQ(c.before % 8, 0u) << "the match must open a group";
    Stream s;
    std::mt19937 random(7);
    for (std::size_t i = 0; i < c.before; ++i) s.Literal(static_cast<unsigned char>(random()));
    const std::size_t reach = c.before + 1;
    s.tokens.Coded(c.form == 0   ? Stream::ShortCode(reach, 2)
                   : c.form == 1 ? Stream::NearCode(reach, 3)
                                 : Stream::FarCode(reach, 3));
    for (int i = 0; i < 20000; ++i) s.tokens.Coded(Stream::FarCode(1, 4));
    RecordingStream in(Payload(std::int32_t(c.before + 3 + 20000 * 4), s.tokens.Build())), out;
    EXPECT_THROW(DecodePayload(in, out), EPayloadError);
    EXPECT_TRUE(out.Writes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    DecodePayload, MatchBeforeTheStart,
    testing::Values(EarlyMatch{"ShortAtTheStart", 0, 0}, EarlyMatch{"ShortAfter24", 24, 0},
                    EarlyMatch{"NearAtTheStart", 0, 1}, EarlyMatch{"NearAfter1016", 1016, 1},
                    EarlyMatch{"FarAtTheStart", 0, 2}, EarlyMatch{"FarAfter16376", 16376, 2}),
    [](const testing::TestParamInfo<EarlyMatch>& info) { return std::string(info.param.name); });

// A stream of the longest literal runs, cut at each of its last bytes, with an
// UnpackedSize that asks for much more: wherever the stream stops, the decoder
// stops with an error (and, under the sanitizers, reads nothing beyond its buffer).
TEST(DecodePayload, LongRunsCutAnywhereAreRejected)
{
    Stream s;
    Bytes run(40);
    for (int i = 0; i < 200; ++i) {
        for (std::size_t k = 0; k < run.size(); ++k) run[k] = static_cast<unsigned char>(i + k);
        s.Run(run);
    }
    const Bytes& all = s.tokens.Build();
    for (std::size_t cut = all.size() - 700; cut < all.size(); ++cut) {
        const Bytes tokens(all.begin(), all.begin() + std::ptrdiff_t(cut));
        EXPECT_THROW(Decode(Payload(1 << 20, tokens)), EPayloadError) << "cut at " << cut;
    }
}

// Long matches whose last bytes pass UnpackedSize, with more stream behind them,
// so that the output's end, not the stream's, is what the decoder must watch: each
// is rejected, whatever place it has in its group; with the exact size it decodes.
struct Overrun {
    const char* name;
    std::size_t length;  // of the far match that passes the end
    std::size_t excess;  // bytes it produces past UnpackedSize
};

class LongMatchPastTheEnd : public testing::TestWithParam<Overrun> {};

TEST_P(LongMatchPastTheEnd, IsRejectedAtAnyPositionInItsGroup)
{
    const Overrun& c = GetParam();
    for (int lead = 0; lead < 8; ++lead) {
        Stream s;
        s.Literal('a');
        for (int i = 0; i < 40 + lead; ++i) s.Far(1, 1024);
        s.Far(1, c.length);
        const auto size = std::int32_t(s.expected.size());
        for (int i = 0; i < 200; ++i) s.Far(1, 3);  // never reached
        const Bytes& tokens = s.tokens.Build();
        EXPECT_THROW(Decode(Payload(size - std::int32_t(c.excess), tokens)), EPayloadError)
            << "lead " << lead;
        const Bytes expected(s.expected.begin(), s.expected.begin() + size);
        EXPECT_TRUE(Decode(Payload(size, tokens)) == expected) << "lead " << lead;
    }
}

INSTANTIATE_TEST_SUITE_P(
    DecodePayload, LongMatchPastTheEnd,
    testing::Values(Overrun{"LongestByOne", 4096, 1}, Overrun{"LongestByAll", 4096, 4095},
                    Overrun{"Code1024ByOne", 1024, 1}, Overrun{"ShortestFarByOne", 3, 1}),
    [](const testing::TestParamInfo<Overrun>& info) { return std::string(info.param.name); });

}  // namespace
