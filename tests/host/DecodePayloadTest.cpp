#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "AllocationWatch.h"
#include "PayloadTestSupport.h"

namespace {

// Bytes that differ from their neighbours, so that a match from the wrong offset shows.
Bytes Distinct(std::size_t n, unsigned seed = 1)
{
    std::mt19937 random(seed);
    Bytes bytes(n);
    for (auto& b : bytes) b = static_cast<unsigned char>(random());
    return bytes;
}

// Literal runs of 40 for as long as they fit, single literals for the rest.
TokenStream& PutLiterals(TokenStream& tokens, const Bytes& bytes)
{
    std::size_t i = 0;
    for (; bytes.size() - i >= 40; i += 40) {
        Bytes run = {0x7F};
        run.insert(run.end(), bytes.begin() + std::ptrdiff_t(i), bytes.begin() + std::ptrdiff_t(i + 40));
        tokens.Coded(run);
    }
    for (; i < bytes.size(); ++i) tokens.Literal(bytes[i]);
    return tokens;
}

// What a match adds to the output: byte by byte, so that overlaps repeat.
Bytes Expand(Bytes out, std::size_t offset, std::size_t length)
{
    for (std::size_t k = 0; k < length; ++k) out.push_back(out[out.size() - offset]);
    return out;
}

// A payload of total bytes with a period: the first period bytes as literals, the
// rest far matches reaching one period back, the last one or two bytes literals.
struct Periodic {
    Bytes payload;
    Bytes pattern;

    Periodic(std::size_t period, std::int64_t total)
    {
        pattern = Distinct(period);
        PutLiterals(tokens, pattern);
        const auto o = static_cast<unsigned>(period - 1);
        const unsigned char e = static_cast<unsigned char>(0xC0 | o >> 8), f = static_cast<unsigned char>(o);
        std::int64_t at = std::int64_t(period);
        for (std::int64_t left = total - at; left > 0; left = total - at) {
            const std::int64_t length = left >= 4096 ? 4096 : left >= 1024 ? 1024 : left >= 256 ? 256 : left;
            if (length >= 3) {
                const unsigned char g = length == 4096   ? 0xFF
                                        : length == 1024 ? 0xFE
                                        : length == 256  ? 0xFD
                                                         : static_cast<unsigned char>(length - 3);
                tokens.Coded({e, f, g});
                at += length;
            } else {
                tokens.Literal(At(at++));
            }
        }
        payload = Payload(std::int32_t(total), tokens.Build());
    }
    unsigned char At(std::int64_t i) const { return pattern[std::size_t(i) % pattern.size()]; }
    Bytes Expected(std::int64_t n) const
    {
        Bytes out(static_cast<std::size_t>(n));
        for (std::int64_t i = 0; i < n; ++i) out[std::size_t(i)] = At(i);
        return out;
    }

    TokenStream tokens;  // kept for a test that adds more
};

// An output that keeps no bytes: it counts them and compares them with a pattern.
class PatternSink : public TStream {
public:
    explicit PatternSink(const Bytes& pattern) : pattern_(pattern) {}
    std::int64_t Count() const { return count_; }
    bool Matches() const { return matches_; }
    std::int64_t Remaining() const override { return 0; }

protected:
    std::int64_t Read(void*, std::int64_t) override { return 0; }
    std::int64_t Write(const void* buffer, std::int64_t count) override
    {
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        for (std::int64_t i = 0; i < count; ++i, ++count_)
            matches_ = matches_ && bytes[i] == pattern_[std::size_t(count_) % pattern_.size()];
        return count;
    }

private:
    const Bytes& pattern_;
    std::int64_t count_ = 0;
    bool matches_ = true;
};

// A stream of n literals, then more bytes, for damage at a group's edge.
Bytes Literals(int n, Bytes then = {})
{
    Bytes tokens = TokenStream().Literals(Distinct(std::size_t(n))).Build();
    tokens.insert(tokens.end(), then.begin(), then.end());
    return tokens;
}

// Exactly reach - 1 bytes, then a far match reaching reach bytes back.
Bytes FarMatchBeyondTheStart(std::size_t reach)
{
    TokenStream tokens;
    const auto o = static_cast<unsigned>(reach - 1);
    PutLiterals(tokens, Distinct(reach - 1))
        .Coded({static_cast<unsigned char>(0xC0 | o >> 8), static_cast<unsigned char>(o), 0x00});
    return Payload(std::int32_t(reach - 1 + 3), tokens.Build());
}

}  // namespace

// The worked example: three literals and a near match with offset 3 and length 6.
TEST(DecodePayload, WorkedExampleRepeatsAbcThroughANearMatch)
{
    EXPECT_EQ(ToString(Decode(Payload(9, {0x10, 0x61, 0x62, 0x63, 0x80, 0x23}))), "abcabcabc");
}

TEST(DecodePayload, WorkedExampleAlsoDecodesAsOneLiteralRunOfNine)
{
    Bytes tokens = {0x80, 0x03};
    for (char c : std::string("abcabcabc")) tokens.push_back(static_cast<unsigned char>(c));
    ASSERT_EQ(tokens.size(), 11u);
    EXPECT_EQ(ToString(Decode(Payload(9, tokens))), "abcabcabc");
}

TEST(DecodePayload, FlagByteFollowsTheEighthTokenOfEveryGroup)
{
    // Group one: seven literals and a short match (offset 1, length 2); group two:
    // a short match (offset 8, length 2) and a literal.
    const Bytes tokens = {0x01, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 0x00, 0x80, 0x1C, 'x'};
    EXPECT_EQ(ToString(Decode(Payload(12, tokens))), "abcdefgggbcx");
}

// ---- Each token form at its limits ----

struct LengthCode {
    unsigned char code;
    std::size_t length;
};

class FarMatchLengthCode : public testing::TestWithParam<LengthCode> {};

TEST_P(FarMatchLengthCode, GivesItsLength)
{
    const auto [g, length] = GetParam();
    TokenStream tokens;
    tokens.Literals(ToBytes("xyz")).Coded({0xC0, 0x02, g});  // offset 3
    const Bytes expected = Expand(ToBytes("xyz"), 3, length);
    EXPECT_EQ(Decode(Payload(std::int32_t(expected.size()), tokens.Build())), expected);
}

INSTANTIATE_TEST_SUITE_P(DecodePayload, FarMatchLengthCode,
                         testing::Values(LengthCode{0x00, 3}, LengthCode{0x01, 4}, LengthCode{0xFC, 255},
                                         LengthCode{0xFD, 256}, LengthCode{0xFE, 1024},
                                         LengthCode{0xFF, 4096}));

class LiteralRunCode : public testing::TestWithParam<LengthCode> {};

TEST_P(LiteralRunCode, CopiesItsBytesAndTheNextTokenFollowsThem)
{
    const auto [code, length] = GetParam();
    const Bytes run = Distinct(length);
    Bytes tokens = {0xC0, code};  // a run, then a short match with offset 1 and length 2
    tokens.insert(tokens.end(), run.begin(), run.end());
    tokens.push_back(0x00);
    const Bytes expected = Expand(run, 1, 2);
    EXPECT_EQ(Decode(Payload(std::int32_t(expected.size()), tokens)), expected);
}

INSTANTIATE_TEST_SUITE_P(DecodePayload, LiteralRunCode,
                         testing::Values(LengthCode{0x03, 9}, LengthCode{0x07, 10}, LengthCode{0x7B, 39},
                                         LengthCode{0x7F, 40}));

struct MatchCase {
    const char* name;
    Bytes code;
    std::size_t offset;
    std::size_t length;
};

class MatchAtItsLimits : public testing::TestWithParam<MatchCase> {};

// Exactly offset bytes come first, so the largest offsets reach the very first byte.
TEST_P(MatchAtItsLimits, CopiesFromItsOffset)
{
    const MatchCase& c = GetParam();
    const Bytes prefix = Distinct(c.offset);
    TokenStream tokens;
    PutLiterals(tokens, prefix).Coded(c.code);
    const Bytes expected = Expand(prefix, c.offset, c.length);
    EXPECT_EQ(Decode(Payload(std::int32_t(expected.size()), tokens.Build())), expected);
}

INSTANTIATE_TEST_SUITE_P(DecodePayload, MatchAtItsLimits,
                         testing::Values(MatchCase{"ShortNearestShortest", {0x00}, 1, 2},
                                         MatchCase{"ShortNearestLongest", {0x02}, 1, 4},
                                         MatchCase{"ShortFarthestShortest", {0x7C}, 32, 2},
                                         MatchCase{"ShortFarthestLongest", {0x7E}, 32, 4},
                                         MatchCase{"NearNearestShortest", {0x80, 0x00}, 1, 3},
                                         MatchCase{"NearNearestLongest", {0x80, 0x0F}, 1, 18},
                                         MatchCase{"NearFarthestShortest", {0xBF, 0xF0}, 1024, 3},
                                         MatchCase{"NearFarthestLongest", {0xBF, 0xFF}, 1024, 18},
                                         MatchCase{"NearMiddle", {0x95, 0xA7}, 0x15A + 1, 10},
                                         MatchCase{"FarNearestShortest", {0xC0, 0x00, 0x00}, 1, 3},
                                         MatchCase{"FarFarthestShortest", {0xFF, 0xFF, 0x00}, 16384, 3},
                                         MatchCase{"FarFarthestLongest", {0xFF, 0xFF, 0xFF}, 16384, 4096},
                                         MatchCase{"FarMiddle", {0xE5, 0x3C, 0x10}, 0x253C + 1, 19}),
                         [](const testing::TestParamInfo<MatchCase>& info) {
                             return std::string(info.param.name);
                         });

struct OverlapCase {
    const char* name;
    Bytes tokens;
    std::string expected;
};

class OverlappingMatch : public testing::TestWithParam<OverlapCase> {};

TEST_P(OverlappingMatch, RepeatsThePattern)
{
    const OverlapCase& c = GetParam();
    EXPECT_EQ(ToString(Decode(Payload(std::int32_t(c.expected.size()), c.tokens))), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    DecodePayload, OverlappingMatch,
    testing::Values(
        OverlapCase{"OffsetOneRepeatsTheLastByte", {0x40, 'a', 0x02}, "aaaaa"},
        OverlapCase{"NearMatchRepeatsAbcTwice", {0x10, 'a', 'b', 'c', 0x80, 0x23}, "abcabcabc"},
        OverlapCase{"NearMatchRepeatsAPairNineTimes", {0x20, 'a', 'b', 0x80, 0x1F}, "abababababababababab"},
        OverlapCase{"FarMatchRepeatsAPairToAnOddLength", {0x20, 'x', 'y', 0xC0, 0x01, 0x04}, "xyxyxyxyx"}),
    [](const testing::TestParamInfo<OverlapCase>& info) { return std::string(info.param.name); });

// ---- Sizes, flag bytes and ignored bytes ----

TEST(DecodePayload, UnpackedSizeZeroReadsTheWholeStreamAndWritesNothing)
{
    RecordingStream in(Payload(0, {0xFF, 0x01, 0x02, 0x03})), out;
    DecodePayload(in, out);
    EXPECT_EQ(in.Reads, (std::vector<std::int64_t>{16, 4}));
    EXPECT_TRUE(out.Writes.empty());
    EXPECT_TRUE(out.Bytes().empty());
}

TEST(DecodePayload, EmptyTokenStreamWithUnpackedSizeZeroReadsOnlyTheHeader)
{
    RecordingStream in(Payload(0, {})), out;
    DecodePayload(in, out);
    EXPECT_EQ(in.Reads, (std::vector<std::int64_t>{16}));
    EXPECT_TRUE(out.Bytes().empty());
}

TEST(DecodePayload, UnpackedSizeZeroStillFailsWhenTheStreamIsShort)
{
    Bytes payload = Payload(0, {0xFF, 0x01, 0x02, 0x03});
    payload.pop_back();
    EXPECT_THROW(Decode(payload), EReadError);
}

struct GroupCase {
    int groups;
    Bytes trailing;  // what the stream carries after the last token, inside PackedSize
};

class FullLastGroup : public testing::TestWithParam<GroupCase> {};

TEST_P(FullLastGroup, DecodesTheSameWithOrWithoutTheFlagByteAfterIt)
{
    const auto& [groups, trailing] = GetParam();
    const Bytes text = Distinct(std::size_t(8 * groups));
    Bytes tokens = TokenStream().Literals(text).Build();
    tokens.insert(tokens.end(), trailing.begin(), trailing.end());
    EXPECT_EQ(Decode(Payload(std::int32_t(text.size()), tokens)), text);
}

INSTANTIATE_TEST_SUITE_P(DecodePayload, FullLastGroup,
                         testing::Values(GroupCase{1, {}}, GroupCase{1, {0x00}}, GroupCase{1, {0xFF}},
                                         GroupCase{2, {}}, GroupCase{2, {0x80}}));

TEST(DecodePayload, AGroupOfEightCodedTokensNeedsNoFlagByteAfterIt)
{
    TokenStream tokens;
    tokens.Coded({0x03, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'});
    for (int i = 0; i < 7; ++i) tokens.Coded({0x02});  // offset 1, length 4
    EXPECT_EQ(ToString(Decode(Payload(9 + 28, tokens.Build()))), "abcdefghi" + std::string(28, 'i'));
}

struct JunkCase {
    const char* name;
    Header header;
    Bytes trailing;
};

class IgnoredBytes : public testing::TestWithParam<JunkCase> {};

TEST_P(IgnoredBytes, ChangeNothingAndTheInputIsNotReadPastTheStream)
{
    const JunkCase& c = GetParam();
    const Bytes tokens = {0x10, 0x61, 0x62, 0x63, 0x80, 0x23};
    RecordingStream in(WithHeader(c.header, tokens, c.trailing)), out;
    DecodePayload(in, out);
    EXPECT_EQ(ToString(out.Bytes()), "abcabcabc");
    EXPECT_EQ(in.Reads, (std::vector<std::int64_t>{16, 6}));
    EXPECT_EQ(in.Remaining(), std::int64_t(c.trailing.size()));
}

INSTANTIATE_TEST_SUITE_P(
    DecodePayload, IgnoredBytes,
    testing::Values(JunkCase{"OurOwnHeader", Header{6, 9}, {}},
                    JunkCase{"OtherSignatureAndBytes", Header{6, 9, {0xFF, 0x00, 0x80, 0x7F}, 0}, {}},
                    JunkCase{"ReservedFieldSet", Header{6, 9, {'R', 'Q', 1, 0}, 0xDEADBEEF}, {}},
                    JunkCase{"BytesAfterTheStream", Header{6, 9}, Bytes(300, 0xFF)},
                    JunkCase{
                        "EverythingIgnoredAtOnce", Header{6, 9, {'Z', 'Z', 9, 9}, 0xFFFFFFFF}, {0x02, 0x40}}),
    [](const testing::TestParamInfo<JunkCase>& info) { return std::string(info.param.name); });

// ---- The output window and its flushes ----

struct FlushCase {
    const char* name;
    std::int64_t total;
    std::vector<std::int64_t> writes;
};

class OutputWindow : public testing::TestWithParam<FlushCase> {};

TEST_P(OutputWindow, FlushesWholeBlocksOnceTheFillReachesTheThreshold)
{
    const FlushCase& c = GetParam();
    const Periodic data(1000, c.total);
    RecordingStream in(data.payload), out;
    DecodePayload(in, out);
    EXPECT_EQ(in.Reads, (std::vector<std::int64_t>{16, std::int64_t(data.payload.size()) - 16}));
    EXPECT_EQ(out.Writes, c.writes);
    EXPECT_TRUE(out.Bytes() == data.Expected(c.total)) << "the output differs from the pattern";
}

INSTANTIATE_TEST_SUITE_P(
    DecodePayload, OutputWindow,
    testing::Values(FlushCase{"JustBelowTheThresholdIsOneWrite", 0x1FFFFF, {0x1FFFFF}},
                    FlushCase{"ExactlyTheThresholdIsTwoWholeBlocks", 0x200000, {0x100000, 0x100000}},
                    FlushCase{"OneMoreLeavesItInTheFinalWrite", 0x200001, {0x100000, 0x100001}},
                    FlushCase{
                        "ThreeMegabytesAndMore", 0x300000 + 5000, {0x100000, 0x100000, 0x100000 + 5000}},
                    FlushCase{"FiveMegabytes", 5 << 20, {0x100000, 0x100000, 0x100000, 0x100000, 0x100000}}),
    [](const testing::TestParamInfo<FlushCase>& info) { return std::string(info.param.name); });

TEST(DecodePayload, BytesAlreadyFlushedStayInTheOutputWhenDamageFollows)
{
    const std::int64_t total = 0x200000 + 10;
    Periodic data(1000, total);
    const Bytes tokens = data.tokens.Coded({0xC0, 0x00, 0xFF}).Build();  // 4096 bytes where one is left
    TMemoryStream in(Payload(std::int32_t(total + 1), tokens)), out;
    EXPECT_THROW(DecodePayload(in, out), EPayloadError);
    EXPECT_TRUE(out.Bytes() == data.Expected(0x100000)) << "the flushed block is not what was produced";
}

TEST(DecodePayload, MemoryStaysWithinTheStreamItsSlackAndTheWindow)
{
    if (!AllocationWatch::Available()) GTEST_SKIP() << "needs the sanitizer allocator";
    const std::int64_t total = 7 << 20;
    const Periodic data(5000, total);
    TMemoryStream in(data.payload);
    PatternSink out(data.pattern);
    const std::int64_t packed = std::int64_t(data.payload.size()) - 16;
    AllocationWatch watch;
    DecodePayload(in, out);
    watch.Stop();
    EXPECT_EQ(out.Count(), total);
    EXPECT_TRUE(out.Matches());
    EXPECT_LE(watch.PeakBytes(), packed + 256 + 0x300000 + 64);
}

// ---- Inputs that are rejected ----

struct BadCase {
    const char* name;
    Bytes payload;
};

class ShortInput : public testing::TestWithParam<BadCase> {};

TEST_P(ShortInput, FailsWithAReadError)
{
    try {
        Decode(GetParam().payload);
        FAIL() << "decoded a payload the input does not hold";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "ストリームからの読み込みエラー");
    }
}

INSTANTIATE_TEST_SUITE_P(
    DecodePayload, ShortInput,
    testing::Values(BadCase{"NoInputAtAll", {}}, BadCase{"FifteenHeaderBytes", Bytes(15, 0)},
                    BadCase{"StreamOneByteShort", WithHeader({7, 9}, {0x10, 0x61, 0x62, 0x63, 0x80, 0x23})},
                    BadCase{"HugePackedSize",
                            WithHeader({0x7FFFFFFF, 9}, {0x10, 0x61, 0x62, 0x63, 0x80, 0x23})}),
    [](const testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

TEST(DecodePayload, LyingPackedSizeFailsBeforeAnythingIsAllocatedOrRead)
{
    RecordingStream in(WithHeader({0x7FFFFFFF, 0x7FFFFFFF}, Bytes(100, 0))), out;
    AllocationWatch watch;
    EXPECT_THROW(DecodePayload(in, out), EReadError);
    watch.Stop();
    EXPECT_EQ(in.Reads, (std::vector<std::int64_t>{16}));
    EXPECT_TRUE(out.Writes.empty());
    if (AllocationWatch::Available()) {
        EXPECT_LT(watch.LargestBytes(), 1024);
    }
}

class MalformedPayload : public testing::TestWithParam<BadCase> {};

TEST_P(MalformedPayload, IsRejected)
{
    try {
        Decode(GetParam().payload);
        FAIL() << "decoded a malformed payload";
    } catch (const EPayloadError& e) {
        EXPECT_EQ(e.Message(), "アップデートデータが壊れています");
    }
}

INSTANTIATE_TEST_SUITE_P(
    DecodePayload, MalformedPayload,
    testing::Values(BadCase{"NegativePackedSize", WithHeader({-1, 0}, {})},
                    BadCase{"NegativeUnpackedSize", WithHeader({1, -1}, {0x00})},
                    BadCase{"NoTokenStreamForOutput", Payload(1, {})},
                    BadCase{"LiteralPastTheStream", Payload(2, {0x00, 'a'})},
                    BadCase{"CodedTokenWithoutItsCodeByte", Payload(2, {0x40, 'a'})},
                    BadCase{"LiteralRunOneByteShort", Payload(9, {0x80, 0x03, 1, 2, 3, 4, 5, 6, 7, 8})},
                    BadCase{"LongestLiteralRunIntoTheSlack", Payload(40, {0x80, 0x7F, 1})},
                    BadCase{"NearMatchWithoutItsSecondByte", Payload(4, {0x40, 'a', 0x80})},
                    BadCase{"FarMatchWithoutItsSecondByte", Payload(4, {0x40, 'a', 0xC0})},
                    BadCase{"FarMatchWithoutItsLengthCode", Payload(4, {0x40, 'a', 0xC0, 0x00})},
                    BadCase{"TokenAfterAFullGroupWithoutAFlagByte", Payload(9, Literals(8))},
                    BadCase{"TokenAfterAFullGroupWithOnlyItsFlagByte", Payload(9, Literals(8, {0x00}))},
                    BadCase{"MatchBeforeAnyOutput", Payload(2, {0x80, 0x00})},
                    BadCase{"ShortMatchOneBeforeTheStart", Payload(3, {0x40, 'a', 0x04})},
                    BadCase{"NearMatchOneBeforeTheStart", Payload(5, {0x20, 'a', 'b', 0x80, 0x20})},
                    BadCase{"FarMatchOneBeforeTheStart", Payload(5, {0x20, 'a', 'b', 0xC0, 0x02, 0x00})},
                    BadCase{"FarthestMatchOneBeforeTheStart", FarMatchBeyondTheStart(16384)},
                    BadCase{"LastLiteralPassesUnpackedSize",
                            Payload(8, {0x80, 0x03, 1, 2, 3, 4, 5, 6, 7, 8, 9})},
                    BadCase{"LastShortMatchPassesUnpackedSize", Payload(4, {0x40, 'a', 0x02})},
                    BadCase{"LastNearMatchPassesUnpackedSize", Payload(18, {0x40, 'a', 0x80, 0x0F})},
                    BadCase{"LastFarMatchPassesUnpackedSize", Payload(100, {0x40, 'a', 0xC0, 0x00, 0xFF})}),
    [](const testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });
