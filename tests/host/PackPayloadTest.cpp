#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "PayloadEncoder.h"
#include "PayloadTestSupport.h"

namespace {

enum class Form { Literal, Run, Short, Near, Far };

struct Token {
    Form form;
    std::size_t offset;  // 0 for literals and runs
    std::size_t length;
    unsigned code;  // the literal run's code byte, the far match's length code g
};

std::uint32_t LE32(const Bytes& b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

// Reads a payload's token stream as the format describes it, checking that it is
// exactly PackedSize bytes long and produces exactly UnpackedSize bytes.
std::vector<Token> Walk(const Bytes& payload)
{
    std::vector<Token> tokens;
    EXPECT_GE(payload.size(), 16u);
    if (payload.size() < 16) return tokens;
    const std::size_t packed = LE32(payload, 4), unpacked = LE32(payload, 8);
    EXPECT_EQ(payload.size(), 16 + packed);
    const unsigned char* s = payload.data() + 16;
    std::size_t pos = 0, produced = 0;
    // The stream opens with a flag byte; later ones come only when a token follows.
    unsigned flags = packed > 0 ? s[pos++] : 0;
    for (int n = 0; produced < unpacked; ++n) {
        if (n > 0 && n % 8 == 0) flags = s[pos++];
        const bool coded = flags & (0x80 >> (n % 8));
        Token t{Form::Literal, 0, 1, 0};
        if (coded) {
            const unsigned e = s[pos++];
            if (e < 0x80 && (e & 3) == 3) {
                t = {Form::Run, 0, (e >> 2) + 9, e};
                pos += t.length;
            } else if (e < 0x80) {
                t = {Form::Short, (e >> 2) + 1, (e & 3) + 2, 0};
            } else if (e < 0xC0) {
                const unsigned f = s[pos++];
                t = {Form::Near, ((e & 0x3F) << 4 | f >> 4) + 1, (f & 0x0F) + 3, 0};
            } else {
                const unsigned f = s[pos++], g = s[pos++];
                const std::size_t length = g == 0xFF ? 4096 : g == 0xFE ? 1024 : g == 0xFD ? 256 : g + 3;
                t = {Form::Far, ((e & 0x3F) << 8 | f) + 1, length, g};
            }
        } else {
            ++pos;
        }
        EXPECT_LE(pos, packed) << "token " << n << " reads past the token stream";
        EXPECT_LE(t.offset, produced) << "token " << n << " reaches before the first byte";
        produced += t.length;
        tokens.push_back(t);
        if (pos > packed || t.offset > produced) break;
    }
    EXPECT_EQ(produced, unpacked) << "the last token passes the end";
    EXPECT_EQ(pos, packed) << "the stream carries bytes that no token uses";
    return tokens;
}

Bytes Random(std::size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes bytes(n);
    for (auto& b : bytes) b = static_cast<unsigned char>(random());
    return bytes;
}

// Words picked at random: text that repeats at every distance.
Bytes Text(std::size_t n, unsigned seed)
{
    static const char* const words[] = {"the ",   "update ",       "fixes ", "a ",      "defect ", "in ",
                                        "scene ", "data, ",        "and ",   "thanks ", "you ",    "for ",
                                        "your ",  "patience.\r\n", "game ",  "folder ", "file ",   "of "};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < n) text += words[random() % std::size(words)];
    text.resize(n);
    return ToBytes(text);
}

// Runs of one byte whose lengths cross every far length code.
Bytes Runs()
{
    Bytes bytes;
    unsigned char value = 0;
    for (std::size_t length : {1, 2, 3, 5, 19, 255, 256, 257, 258, 1023, 1024, 1027, 4095, 4096, 4097, 9000})
        bytes.insert(bytes.end(), length, value++);
    return bytes;
}

// The same random block twice, the second copy distance bytes after the first's start.
Bytes RepeatAt(std::size_t distance, std::size_t length, unsigned seed)
{
    Bytes bytes = Random(distance, seed);
    const Bytes block(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min(length, distance)));
    bytes.insert(bytes.end(), block.begin(), block.end());
    return bytes;
}

// Everything at once, more than 2 MiB so that the decoder flushes.
Bytes Mixed()
{
    Bytes bytes;
    for (unsigned i = 0; bytes.size() < (5u << 19); ++i) {
        const Bytes part = i % 3 == 0 ? Text(60000, i) : i % 3 == 1 ? Random(20000, i) : Runs();
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    return bytes;
}

struct DataCase {
    const char* name;
    std::function<Bytes()> make;
};

class PackPayloadRoundTrip : public testing::TestWithParam<DataCase> {};

TEST_P(PackPayloadRoundTrip, DecodesToTheSameBytes)
{
    const Bytes data = GetParam().make();
    const Bytes payload = PackPayload(data);
    ASSERT_GE(payload.size(), 16u);
    EXPECT_TRUE(std::equal(payload.begin(), payload.begin() + 4, kPayloadLead));
    EXPECT_EQ(LE32(payload, 4), payload.size() - 16);
    EXPECT_EQ(LE32(payload, 8), data.size());
    EXPECT_EQ(LE32(payload, 12), 0u);
    Walk(payload);
    EXPECT_TRUE(Decode(payload) == data) << "decoded bytes differ";
}

INSTANTIATE_TEST_SUITE_P(
    PackPayload, PackPayloadRoundTrip,
    testing::Values(DataCase{"Empty", [] { return Bytes{}; }},
                    DataCase{"OneByte", [] { return Bytes{0x81}; }},
                    DataCase{"TwoEqualBytes",
                             [] {
                                 return Bytes{7, 7};
                             }},
                    DataCase{"Random", [] { return Random(70000, 1); }},
                    DataCase{"Text", [] { return Text(100000, 2); }}, DataCase{"Runs", Runs},
                    DataCase{"EveryByteValueInTurn",
                             [] {
                                 Bytes b(5000);
                                 for (std::size_t i = 0; i < b.size(); ++i)
                                     b[i] = static_cast<unsigned char>(i);
                                 return b;
                             }},
                    DataCase{"RepeatAtTheFullReach", [] { return RepeatAt(16384, 5000, 3); }},
                    DataCase{"RepeatJustBeyondTheReach", [] { return RepeatAt(16385, 5000, 4); }},
                    DataCase{"RepeatAtTheNearReach", [] { return RepeatAt(1024, 1024, 5); }},
                    DataCase{"MoreThanTwoMegabytes", Mixed}),
    [](const testing::TestParamInfo<DataCase>& info) { return std::string(info.param.name); });

struct FormCase {
    const char* name;
    std::function<Bytes()> make;
    Token expected;  // a token of this form, offset, length and code must appear
};

class PackPayloadForm : public testing::TestWithParam<FormCase> {};

TEST_P(PackPayloadForm, IsUsedWhereItPays)
{
    const FormCase& c = GetParam();
    const Bytes payload = PackPayload(c.make());
    const std::vector<Token> tokens = Walk(payload);
    const Token& want = c.expected;
    EXPECT_TRUE(std::any_of(tokens.begin(), tokens.end(), [&](const Token& t) {
        return t.form == want.form && t.offset == want.offset && t.length == want.length &&
               t.code == want.code;
    }));
    EXPECT_TRUE(Decode(payload) == c.make());
}

Bytes Repeated(unsigned char byte, std::size_t n)
{
    return Bytes(n, byte);
}

// "abc" and "bcdefghijklmnopq" apart, then "abcdefghijklmnopq": taking "abc" at once
// would lose the sixteen bytes that a match one byte later covers.
Bytes LongerMatchOneByteLater()
{
    Bytes b;
    auto add = [&b](const Bytes& part) { b.insert(b.end(), part.begin(), part.end()); };
    add(Random(100, 14));
    add(ToBytes("abc"));
    add(Random(100, 15));
    add(ToBytes("bcdefghijklmnopq"));  // at 203
    add(Random(100, 16));
    add(ToBytes("abcdefghijklmnopq"));  // at 319: its "bcd..." is 117 bytes after the first
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    PackPayload, PackPayloadForm,
    testing::Values(
        FormCase{"LiteralBetweenMatches", [] { return ToBytes("abcdQabcd"); }, {Form::Literal, 0, 1, 0}},
        FormCase{"LongestLiteralRun", [] { return Random(50, 6); }, {Form::Run, 0, 40, 0x7F}},
        FormCase{"ShortestWorthwhileLiteralRun", [] { return Random(50, 6); }, {Form::Run, 0, 10, 0x07}},
        FormCase{"ShortMatchOfTwo", [] { return ToBytes("abcabz"); }, {Form::Short, 3, 2, 0}},
        FormCase{"ShortMatchAtItsReach",
                 [] {
                     Bytes b = Random(32, 7);
                     b.insert(b.end(), {b[0], b[1], b[2], b[3]});
                     return b;
                 },
                 {Form::Short, 32, 4, 0}},
        FormCase{"NearMatch", [] { return RepeatAt(500, 10, 8); }, {Form::Near, 500, 10, 0}},
        FormCase{"NearMatchAtItsReach", [] { return RepeatAt(1024, 18, 9); }, {Form::Near, 1024, 18, 0}},
        FormCase{"LongerMatchOneByteLater", LongerMatchOneByteLater, {Form::Near, 117, 16, 0}},
        FormCase{"FarMatchOfFour", [] { return RepeatAt(2000, 4, 10); }, {Form::Far, 2000, 4, 0x01}},
        FormCase{"FarMatchAtItsReach", [] { return RepeatAt(16384, 100, 11); }, {Form::Far, 16384, 100, 97}},
        FormCase{"FarLengthCodeFC", [] { return Repeated('a', 1 + 255); }, {Form::Far, 1, 255, 0xFC}},
        FormCase{"FarLengthCodeFD", [] { return Repeated('a', 1 + 256); }, {Form::Far, 1, 256, 0xFD}},
        FormCase{"FarLengthCodeFE", [] { return Repeated('a', 1 + 1024); }, {Form::Far, 1, 1024, 0xFE}},
        FormCase{"FarLengthCodeFF", [] { return Repeated('a', 1 + 4096); }, {Form::Far, 1, 4096, 0xFF}}),
    [](const testing::TestParamInfo<FormCase>& info) { return std::string(info.param.name); });

TEST(PackPayload, IncompressibleDataGrowsByLittleMoreThanOneByteInForty)
{
    const std::size_t n = 100000;
    const Bytes payload = PackPayload(Random(n, 12));
    // A run code byte per 40 bytes, a flag byte per eight runs, the header.
    EXPECT_LE(payload.size(), 16 + n + (n + 39) / 40 + (n + 319) / 320);
}

TEST(PackPayload, LongRunsCostThreeBytesPer4096)
{
    const std::size_t matches = 256;
    const Bytes payload = PackPayload(Bytes(1 + matches * 4096, 0));
    // The header, one literal, far matches of 4096 bytes, a flag byte per eight tokens.
    EXPECT_EQ(payload.size(), 16 + 1 + matches * 3 + (1 + matches + 7) / 8);
}

TEST(PackPayload, TextShrinksToLessThanHalf)
{
    const Bytes text = Text(50000, 13);
    EXPECT_LT(PackPayload(text).size(), text.size() / 2);
}

TEST(PackPayload, EmptyDataIsAHeaderAndOneFlagByte)
{
    const Bytes payload = PackPayload(Bytes{});
    EXPECT_EQ(payload.size(), 17u);
    EXPECT_TRUE(Decode(payload).empty());
}

}  // namespace
