// Feeds arbitrary bytes to the decoder: it must either decode exactly the bytes
// the header declares or raise one of its exceptions, and never read or write
// outside its buffers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "PayloadDecoder.h"

namespace {

// libFuzzer reports an abort as a crash, with the input that caused it.
void Check(bool condition)
{
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TMemoryStream in(std::vector<unsigned char>(data, data + size)), out;
    try {
        DecodePayload(in, out);
        // Success means the header was whole and the output is exactly as declared.
        Check(size >= PayloadHeader::kSize);
        const std::int64_t unpacked =
            std::int32_t(std::uint32_t(data[8]) | std::uint32_t(data[9]) << 8 |
                         std::uint32_t(data[10]) << 16 | std::uint32_t(data[11]) << 24);
        Check(std::int64_t(out.Bytes().size()) == unpacked);
    } catch (const Exception&) {
    }
    return 0;
}
