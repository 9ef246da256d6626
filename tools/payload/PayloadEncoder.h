// Packs bytes into the payload format that the updater decodes
// (docs/payload-format.md): a 16-byte header and a flag-byte token stream.
#pragma once

#include <cstddef>
#include <vector>

// The first four header bytes of every payload we make: the signature "RQ" and
// the format's bytes 2 and 3. The decoder ignores them; tools can recognise them.
constexpr unsigned char kPayloadLead[4] = {'R', 'Q', 0x01, 0x00};

// How hard the packer works.
enum class PackMode {
    // The smallest token stream the format allows, counting each token's flag bit as
    // an eighth of a byte: a shortest path over all tokens, with a complete search of
    // the 16384-byte reach. Exact for up to 8 MiB of data; larger data is parsed in
    // 8 MiB pieces, each optimally. Slower than Fast: by 1.1 to 1.5 times on text,
    // by 4 on machine code (README, Performance).
    Optimal,
    // Greedy hash-chain matching with one step of lazy evaluation.
    Fast,
};

// Returns the complete payload for size bytes of data: header, then token stream.
// Every token form is used where it saves bytes, and no token produces a byte past
// the end of the data. Data or a token stream longer than a signed 32-bit size
// holds raises std::length_error.
std::vector<unsigned char> PackPayload(const unsigned char* data, std::size_t size,
                                       PackMode mode = PackMode::Optimal);

inline std::vector<unsigned char> PackPayload(const std::vector<unsigned char>& data,
                                              PackMode mode = PackMode::Optimal)
{
    return PackPayload(data.data(), data.size(), mode);
}
