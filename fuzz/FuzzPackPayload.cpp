// Packs arbitrary bytes in both modes and decodes the payloads again: each must
// be a payload that the decoder accepts and that gives back every byte, and the
// optimal one is never larger than the fast one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "PayloadDecoder.h"
#include "PayloadEncoder.h"

namespace {

std::vector<unsigned char> RoundTrip(const std::vector<unsigned char>& bytes, PackMode mode)
{
    std::vector<unsigned char> payload = PackPayload(bytes, mode);
    TMemoryStream in(payload), out;
    DecodePayload(in, out);
    if (out.Bytes() != bytes) std::abort();
    return payload;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<unsigned char> bytes(data, data + size);
    const std::size_t optimal = RoundTrip(bytes, PackMode::Optimal).size();
    const std::size_t fast = RoundTrip(bytes, PackMode::Fast).size();
    if (optimal > fast) std::abort();
    return 0;
}
