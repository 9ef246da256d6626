#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
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

// Runs of one byte across the far length codes, short enough for LeastCost.
Bytes ShortRuns()
{
    Bytes bytes;
    unsigned char value = 0;
    for (std::size_t length : {1, 2, 3, 5, 19, 255, 256, 257, 1023, 1024, 1025, 4096, 4097})
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

// Data of every kind that a packer meets.
const DataCase kData[] = {
    DataCase{"Empty", [] { return Bytes{}; }},
    DataCase{"OneByte", [] { return Bytes{0x81}; }},
    DataCase{"TwoEqualBytes",
             [] {
                 return Bytes{7, 7};
             }},
    DataCase{"Random", [] { return Random(70000, 1); }},
    DataCase{"Text", [] { return Text(100000, 2); }},
    DataCase{"Runs", Runs},
    DataCase{"EveryByteValueInTurn",
             [] {
                 Bytes b(5000);
                 for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<unsigned char>(i);
                 return b;
             }},
    DataCase{"RepeatAtTheFullReach", [] { return RepeatAt(16384, 5000, 3); }},
    DataCase{"RepeatJustBeyondTheReach", [] { return RepeatAt(16385, 5000, 4); }},
    DataCase{"RepeatAtTheNearReach", [] { return RepeatAt(1024, 1024, 5); }},
    DataCase{"MoreThanTwoMegabytes", Mixed},
};

std::string DataName(const testing::TestParamInfo<DataCase>& info)
{
    return std::string(info.param.name);
}

// A payload for data: our lead bytes, sizes that agree with its token stream, and
// a token stream that gives the data back.
void ExpectPayloadOf(const Bytes& payload, const Bytes& data)
{
    ASSERT_GE(payload.size(), 16u);
    EXPECT_TRUE(std::equal(payload.begin(), payload.begin() + 4, kPayloadLead));
    EXPECT_EQ(LE32(payload, 4), payload.size() - 16);
    EXPECT_EQ(LE32(payload, 8), data.size());
    EXPECT_EQ(LE32(payload, 12), 0u);
    Walk(payload);
    EXPECT_TRUE(Decode(payload) == data) << "decoded bytes differ";
}

class PackPayloadRoundTrip : public testing::TestWithParam<DataCase> {};

TEST_P(PackPayloadRoundTrip, DecodesToTheSameBytes)
{
    const Bytes data = GetParam().make();
    ExpectPayloadOf(PackPayload(data), data);
}

INSTANTIATE_TEST_SUITE_P(PackPayload, PackPayloadRoundTrip, testing::ValuesIn(kData), DataName);

class PackPayloadFastRoundTrip : public testing::TestWithParam<DataCase> {};

TEST_P(PackPayloadFastRoundTrip, DecodesToTheSameBytesAndIsNeverSmallerThanTheOptimalOne)
{
    const Bytes data = GetParam().make();
    const Bytes fast = PackPayload(data, PackMode::Fast);
    ExpectPayloadOf(fast, data);
    EXPECT_LE(PackPayload(data, PackMode::Optimal).size(), fast.size());
}

INSTANTIATE_TEST_SUITE_P(PackPayload, PackPayloadFastRoundTrip, testing::ValuesIn(kData), DataName);

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

// ---- The optimal packer ----

// A token's cost in eighths of a byte: its flag bit and its bytes.
std::uint64_t Cost(const Token& t)
{
    switch (t.form) {
        case Form::Literal:
            return 9;
        case Form::Run:
            return 9 + 8 * t.length;
        case Form::Short:
            return 9;
        case Form::Near:
            return 17;
        case Form::Far:
            return 25;
    }
    return 0;
}

std::uint64_t StreamCost(const Bytes& payload)
{
    std::uint64_t cost = 0;
    for (const Token& t : Walk(payload)) cost += Cost(t);
    return cost;
}

// The least cost of any token stream for data, found the slow way: the length of
// the match at every offset within reach from every position, by comparing bytes,
// and every length that each form can carry tried, from the first byte forwards.
std::uint64_t LeastCost(const Bytes& data)
{
    const std::size_t n = data.size();
    // The longest match for each form at each position. The match at i and offset o
    // is one longer than the one at i + 1 and o when the bytes at i agree.
    std::vector<std::size_t> shortest(n), nearest(n), farthest(n);
    std::vector<std::size_t> length(16385, 0);
    for (std::size_t i = n; i-- > 0;) {
        std::size_t longest[3] = {0, 0, 0};  // up to offset 32, 1024, 16384
        const std::size_t reach = i < 16384 ? i : 16384;
        for (std::size_t offset = 1; offset <= reach; ++offset) {
            std::size_t& l = length[offset];
            l = data[i] != data[i - offset] ? 0 : l < 4096 ? l + 1 : 4096;
            std::size_t& m = longest[offset <= 32 ? 0 : offset <= 1024 ? 1 : 2];
            if (l > m) m = l;
        }
        longest[1] = std::max(longest[1], longest[0]);
        longest[2] = std::max(longest[2], longest[1]);
        shortest[i] = std::min<std::size_t>(longest[0], 4);
        nearest[i] = std::min<std::size_t>(longest[1], 18);
        farthest[i] = longest[2];
    }
    std::vector<std::uint64_t> best(n + 1, UINT64_MAX);
    best[0] = 0;
    auto relax = [&](std::size_t to, std::uint64_t cost) { best[to] = std::min(best[to], cost); };
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t here = best[i];
        relax(i + 1, here + 9);
        for (std::size_t run = 9; run <= 40 && i + run <= n; ++run) relax(i + run, here + 9 + 8 * run);
        for (std::size_t l = 2; l <= shortest[i]; ++l) relax(i + l, here + 9);
        for (std::size_t l = 3; l <= nearest[i]; ++l) relax(i + l, here + 17);
        for (std::size_t l = 3; l <= std::min<std::size_t>(farthest[i], 255); ++l) relax(i + l, here + 25);
        for (std::size_t l : {256, 1024, 4096})
            if (farthest[i] >= l) relax(i + l, here + 25);
    }
    return best[n];
}

Bytes Alphabet(std::size_t n, unsigned letters, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes bytes(n);
    for (auto& b : bytes) b = static_cast<unsigned char>('a' + random() % letters);
    return bytes;
}

// Random bytes with copies of earlier stretches planted at every distance the
// forms reach, of lengths around each far length code.
Bytes Planted(std::size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes bytes = Random(n, seed);
    for (std::size_t distance : {3, 32, 33, 700, 1024, 1025, 5000, 16383, 16384, 16385}) {
        for (std::size_t length : {2, 4, 5, 18, 19, 255, 256, 257, 1024, 1030}) {
            const std::size_t to = distance + random() % (n - distance - length);
            std::copy_n(bytes.begin() + std::ptrdiff_t(to - distance), length,
                        bytes.begin() + std::ptrdiff_t(to));
        }
    }
    return bytes;
}

class PackPayloadOptimal : public testing::TestWithParam<DataCase> {};

TEST_P(PackPayloadOptimal, CostsNoMoreThanTheCheapestTokenStream)
{
    const Bytes data = GetParam().make();
    const Bytes payload = PackPayload(data);
    ExpectPayloadOf(payload, data);
    EXPECT_EQ(StreamCost(payload), LeastCost(data));
}

INSTANTIATE_TEST_SUITE_P(PackPayload, PackPayloadOptimal,
                         testing::Values(DataCase{"TwoLetters", [] { return Alphabet(3000, 2, 21); }},
                                         DataCase{"FourLetters", [] { return Alphabet(3000, 4, 22); }},
                                         DataCase{"Words", [] { return Text(3000, 23); }},
                                         DataCase{"RunsAcrossTheLengthCodes", ShortRuns},
                                         DataCase{"PlantedCopiesAtEveryReach",
                                                  [] { return Planted(17500, 24); }}),
                         DataName);

// The files the updater carries and, where the checkout has it beside it, the
// Japanese text corpus: the optimal payload is never larger than the fast one.
std::vector<std::string> CorpusFiles()
{
    std::vector<std::string> files = {std::string(RQX_SOURCE_DIR) + "/resources/payload-src/md_scr2.med",
                                      std::string(RQX_SOURCE_DIR) + "/resources/payload-src/readme.txt"};
    const std::filesystem::path ja =
        std::filesystem::path(RQX_SOURCE_DIR) / ".." / "shared" / "corpus" / "ja";
    if (std::filesystem::is_directory(ja))
        for (const auto& entry : std::filesystem::directory_iterator(ja))
            if (entry.path().extension() == ".txt") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(PackPayload, OptimalIsNeverLargerThanFastOnTheCorpus)
{
    for (const std::string& file : CorpusFiles()) {
        std::ifstream in(file, std::ios::binary);
        ASSERT_TRUE(in) << file;
        const Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const Bytes optimal = PackPayload(data, PackMode::Optimal);
        const Bytes fast = PackPayload(data, PackMode::Fast);
        EXPECT_TRUE(Decode(optimal) == data) << file;
        EXPECT_TRUE(Decode(fast) == data) << file;
        EXPECT_LE(optimal.size(), fast.size()) << file;
    }
}

}  // namespace
