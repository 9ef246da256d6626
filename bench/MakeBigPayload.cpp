// Writes a payload of any unpacked size without packing anything, for the check
// that unpacking takes bounded memory and writes whole blocks:
//
//   make_big_payload SIZE OUT      the payload, to the file OUT
//   make_big_payload --bytes SIZE  the SIZE bytes it stands for, to stdout
//
// The bytes repeat a block of 16384 pseudo-random bytes: the block as literal runs
// of 40, then far matches of 4096 bytes reaching one block back, then the rest.
// A gibibyte takes about 0.8 MiB of payload.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kBlock = 16384;

std::vector<unsigned char> Block()
{
    std::vector<unsigned char> block(kBlock);
    std::uint32_t x = 2463534242u;  // xorshift32
    for (auto& b : block) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<unsigned char>(x >> 24);
    }
    return block;
}

// Tokens with their flag bytes, as the format lays them out.
class Tokens {
public:
    void Literal(unsigned char b)
    {
        Begin(false);
        bytes_.push_back(b);
    }
    void Run(const unsigned char* from, std::size_t n)  // 9 to 40
    {
        Begin(true);
        bytes_.push_back(static_cast<unsigned char>((n - 9) << 2 | 3));
        bytes_.insert(bytes_.end(), from, from + n);
    }
    void Far(std::size_t offset, std::size_t length)  // 3 to 255, 256, 1024, 4096
    {
        Begin(true);
        const std::size_t o = offset - 1;
        bytes_.push_back(static_cast<unsigned char>(0xC0 | o >> 8));
        bytes_.push_back(static_cast<unsigned char>(o & 0xFF));
        bytes_.push_back(length == 4096   ? 0xFF
                         : length == 1024 ? 0xFE
                         : length == 256  ? 0xFD
                                          : static_cast<unsigned char>(length - 3));
    }
    const std::vector<unsigned char>& Bytes() const { return bytes_; }

private:
    void Begin(bool coded)
    {
        if (count_ % 8 == 0) {
            flag_ = bytes_.size();
            bytes_.push_back(0);
        }
        if (coded) bytes_[flag_] |= static_cast<unsigned char>(0x80 >> (count_ % 8));
        ++count_;
    }
    std::vector<unsigned char> bytes_;
    std::size_t flag_ = 0, count_ = 0;
};

std::vector<unsigned char> Payload(std::size_t size)
{
    const std::vector<unsigned char> block = Block();
    Tokens tokens;
    std::size_t at = 0;
    for (; at + 40 <= std::min(size, kBlock); at += 40) tokens.Run(block.data() + at, 40);
    for (; at < std::min(size, kBlock); ++at) tokens.Literal(block[at]);
    while (at < size) {
        const std::size_t left = size - at;
        const std::size_t length = left >= 4096 ? 4096 : left >= 1024 ? 1024 : left >= 256 ? 256 : left;
        if (length >= 3) {
            tokens.Far(kBlock, length);
            at += length;
        } else {
            tokens.Literal(block[at++ % kBlock]);
        }
    }
    std::vector<unsigned char> payload = {'R', 'Q', 0x01, 0x00};
    for (std::uint32_t v : {std::uint32_t(tokens.Bytes().size()), std::uint32_t(size), std::uint32_t(0)})
        for (int i = 0; i < 4; ++i) payload.push_back(static_cast<unsigned char>(v >> (8 * i)));
    payload.insert(payload.end(), tokens.Bytes().begin(), tokens.Bytes().end());
    return payload;
}

int Usage()
{
    std::fprintf(stderr, "usage: make_big_payload SIZE OUT\n       make_big_payload --bytes SIZE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) return Usage();
    const bool bytes = std::strcmp(argv[1], "--bytes") == 0;
    char* end = nullptr;
    const unsigned long long size = std::strtoull(argv[bytes ? 2 : 1], &end, 10);
    if (*end != '\0' || size > 0x7FFFFFFF) return Usage();

    if (bytes) {
        const std::vector<unsigned char> block = Block();
        for (unsigned long long at = 0; at < size; at += kBlock) {
            const std::size_t n = std::size_t(std::min<unsigned long long>(kBlock, size - at));
            if (std::fwrite(block.data(), 1, n, stdout) != n) return 1;
        }
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    const std::vector<unsigned char> payload = Payload(std::size_t(size));
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    const bool ok = std::fwrite(payload.data(), 1, payload.size(), out) == payload.size();
    return std::fclose(out) == 0 && ok ? 0 : 1;
}
