#include <gtest/gtest.h>

#include "PayloadDecoder.h"

namespace {

std::vector<unsigned char> Payload(std::int32_t unpacked, std::vector<unsigned char> tokens)
{
    const auto packed = static_cast<std::int32_t>(tokens.size());
    std::vector<unsigned char> bytes = {'R', 'Q', 1, 0};
    for (std::int32_t v : {packed, unpacked, 0})
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(std::uint32_t(v) >> (8 * i)));
    bytes.insert(bytes.end(), tokens.begin(), tokens.end());
    return bytes;
}

std::string Decode(const std::vector<unsigned char>& payload)
{
    TMemoryStream in(payload), out;
    DecodePayload(in, out);
    return std::string(out.Bytes().begin(), out.Bytes().end());
}

}  // namespace

TEST(DecodePayload, WorkedExampleRepeatsAbcThroughANearMatch)
{
    EXPECT_EQ(Decode(Payload(9, {0x10, 0x61, 0x62, 0x63, 0x80, 0x23})), "abcabcabc");
}
