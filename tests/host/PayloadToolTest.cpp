// Runs the payload tool itself, as a maker would.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>

#include "PayloadEncoder.h"
#include "PayloadTestSupport.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder for each test, removed afterwards, and a way to run the tool in it.
class PayloadTool : public testing::Test {
protected:
    void SetUp() override
    {
        std::random_device seed;
        dir_ = fs::temp_directory_path() / ("payload-tool-test-" + std::to_string(seed()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    void Put(const std::string& name, const Bytes& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    Bytes Get(const std::string& name) const
    {
        std::ifstream file(Path(name), std::ios::binary);
        return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    }
    std::set<std::string> Files() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.insert(entry.path().filename().string());
        return names;
    }

    // Runs "payload ARGS" and returns its exit status; its output and errors land in
    // the files stdout and stderr beside the test's own files.
    int Run(const std::string& args) const
    {
        const std::string command =
            std::string("cd '") + dir_.string() + "' && '" + PAYLOAD_TOOL + "' " + args + " >stdout 2>stderr";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Output(const std::string& name) const { return ToString(Get(name)); }

private:
    fs::path dir_;
};

TEST_F(PayloadTool, PackThenUnpackRestoresTheFile)
{
    Bytes data;
    for (int i = 0; i < 3000; ++i) data.push_back(static_cast<unsigned char>(i * i % 251));
    Put("data.bin", data);
    ASSERT_EQ(Run("pack data.bin data.payload"), 0) << Output("stderr");
    EXPECT_TRUE(Get("data.payload") == PackPayload(data));
    ASSERT_EQ(Run("unpack data.payload data.out"), 0) << Output("stderr");
    EXPECT_TRUE(Get("data.out") == data);
    EXPECT_EQ(Files(), (std::set<std::string>{"data.bin", "data.payload", "data.out", "stdout", "stderr"}));
}

TEST_F(PayloadTool, PackFastWritesTheFastPackersPayload)
{
    Bytes data;
    for (int i = 0; i < 3000; ++i) data.push_back(static_cast<unsigned char>(i * i % 251));
    Put("data.bin", data);
    ASSERT_EQ(Run("pack --fast data.bin data.payload"), 0) << Output("stderr");
    EXPECT_TRUE(Get("data.payload") == PackPayload(data, PackMode::Fast));
    ASSERT_EQ(Run("unpack data.payload data.out"), 0) << Output("stderr");
    EXPECT_TRUE(Get("data.out") == data);
}

TEST_F(PayloadTool, InfoPrintsTheHeaderFields)
{
    Put("abc.payload", Payload(9, {0x10, 0x61, 0x62, 0x63, 0x80, 0x23}));
    ASSERT_EQ(Run("info abc.payload"), 0) << Output("stderr");
    const std::string out = Output("stdout");
    EXPECT_NE(out.find("signature     RQ (52 51)"), std::string::npos) << out;
    EXPECT_NE(out.find("byte 2, 3     01 00"), std::string::npos) << out;
    EXPECT_NE(out.find("packed size   6\n"), std::string::npos) << out;
    EXPECT_NE(out.find("unpacked size 9\n"), std::string::npos) << out;
    EXPECT_NE(out.find("reserved      0\n"), std::string::npos) << out;
}

TEST_F(PayloadTool, WrongUsageExitsWithTwo)
{
    EXPECT_EQ(Run("unpack only-one-name"), 2);
    EXPECT_EQ(Run("squash a b"), 2);
    EXPECT_EQ(Run("pack --fast only-one-name"), 2);
    EXPECT_EQ(Run("pack --best a b"), 2);
}

// Far matches that repeat one byte up to more than 2 MiB, so that the decoder has
// flushed a block to the output before it meets the damage behind them.
Bytes DamagedAfterAFlush()
{
    TokenStream tokens;
    tokens.Literal('a').Repeat('a', 0x200000).Coded({0xC0, 0x00, 0xFF});
    return Payload(0x200001 + 1, tokens.Build());
}

struct BadFile {
    const char* name;
    Bytes payload;
    const char* message;
};

class PayloadToolOnABadFile : public PayloadTool, public testing::WithParamInterface<BadFile> {};

TEST_P(PayloadToolOnABadFile, UnpackExitsWithOneAndLeavesNoFileBehind)
{
    const BadFile& c = GetParam();
    Put("bad.payload", c.payload);
    EXPECT_EQ(Run("unpack bad.payload out.bin"), 1);
    EXPECT_NE(Output("stderr").find(c.message), std::string::npos) << Output("stderr");
    EXPECT_EQ(Files(), (std::set<std::string>{"bad.payload", "stdout", "stderr"}));
}

TEST_P(PayloadToolOnABadFile, UnpackKeepsAnOlderOutputAsItWas)
{
    Put("bad.payload", GetParam().payload);
    Put("out.bin", ToBytes("older"));
    EXPECT_EQ(Run("unpack bad.payload out.bin"), 1);
    EXPECT_EQ(Output("out.bin"), "older");
    EXPECT_EQ(Files(), (std::set<std::string>{"bad.payload", "out.bin", "stdout", "stderr"}));
}

INSTANTIATE_TEST_SUITE_P(
    PayloadTool, PayloadToolOnABadFile,
    testing::Values(BadFile{"ShorterThanAHeader", Bytes(10, 0), "ストリームからの読み込みエラー"},
                    BadFile{"PackedSizeBeyondTheFile",
                            WithHeader({100, 9}, {0x10, 'a', 'b', 'c', 0x80, 0x23}),
                            "ストリームからの読み込みエラー"},
                    BadFile{"MatchBeforeTheFirstByte", Payload(9, {0x10, 'a', 'b', 'c', 0x80, 0x33}),
                            "アップデートデータが壊れています"},
                    BadFile{"StreamCutShort", Payload(20, {0x10, 'a', 'b', 'c', 0x80, 0x23}),
                            "アップデートデータが壊れています"},
                    BadFile{"DamageAfterAFlush", DamagedAfterAFlush(), "アップデートデータが壊れています"}),
    [](const testing::TestParamInfo<BadFile>& info) { return std::string(info.param.name); });

TEST_F(PayloadTool, UnpackOfAMissingFileExitsWithOne)
{
    EXPECT_EQ(Run("unpack missing.payload out.bin"), 1);
    EXPECT_NE(Output("stderr").find("missing.payload"), std::string::npos);
    EXPECT_EQ(Files(), (std::set<std::string>{"stdout", "stderr"}));
}

}  // namespace
