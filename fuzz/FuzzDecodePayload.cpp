// Feeds arbitrary bytes to the decoder: it must either decode or raise one of
// its exceptions, and never read or write outside its buffers.
#include <cstddef>
#include <cstdint>

#include "PayloadDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TMemoryStream in(std::vector<unsigned char>(data, data + size)), out;
    try {
        DecodePayload(in, out);
    } catch (const Exception&) {
    }
    return 0;
}
