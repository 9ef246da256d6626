// Packs arbitrary bytes and decodes the payload again: the packer must make a
// payload that the decoder accepts and that gives back every byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "PayloadDecoder.h"
#include "PayloadEncoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<unsigned char> bytes(data, data + size);
    TMemoryStream in(PackPayload(bytes)), out;
    DecodePayload(in, out);
    if (out.Bytes() != bytes) std::abort();
    return 0;
}
