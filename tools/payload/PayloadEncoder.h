// Packs bytes into the payload format that the updater decodes
// (docs/payload-format.md): a 16-byte header and a flag-byte token stream.
#pragma once

#include <cstddef>
#include <vector>

// The first four header bytes of every payload we make: the signature "RQ" and
// the format's bytes 2 and 3. The decoder ignores them; tools can recognise them.
constexpr unsigned char kPayloadLead[4] = {'R', 'Q', 0x01, 0x00};

// Returns the complete payload for size bytes of data: header, then token stream.
// Greedy hash-chain matching with one step of lazy evaluation over the whole
// 16384-byte reach; every token form is used where it saves bytes, and no token
// produces a byte past the end of the data. Data or a token stream longer than a
// signed 32-bit size holds raises std::length_error.
std::vector<unsigned char> PackPayload(const unsigned char* data, std::size_t size);

inline std::vector<unsigned char> PackPayload(const std::vector<unsigned char>& data)
{
    return PackPayload(data.data(), data.size());
}
