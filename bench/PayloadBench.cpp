// Decoding and packing speed, ours against baselines measured in the same run:
//
//   payload_bench [--benchmark_...] FILE...
//
// For every FILE:
//   Decode/ours/NAME    DecodePayload on FILE's optimal payload, from a stream over
//                       the payload in memory to a stream that takes each output block
//                       without copying it. Counted: the header read, the copy of the
//                       token stream into the decoder's buffer, the buffers' allocation
//                       and release, every token, the window's flushes.
//   Decode/lz4/NAME     LZ4_decompress_safe on FILE packed by LZ4 HC at its highest
//                       level, from memory into a buffer of the right size.
//   Decode/memcpy/NAME  memcpy of FILE's size, from one buffer to another.
//   Walk/tokens/NAME    no decoder: only finds where each token of FILE's payload
//                       starts, reading flag bytes and code bytes one after another
//                       as every decoder must (all but its last 328 bytes).
//   Pack/optimal/NAME, Pack/fast/NAME, Pack/lz4hc/NAME, Pack/zlib9/NAME
//                       packing FILE with each; the counter "packed" is the result's
//                       size (our payload with its 16-byte header, the LZ4 block, the
//                       zlib stream with its header and checksum), "input" FILE's.
// Throughput is bytes of FILE per second ("bytes_per_second"), decoding and packing
// alike. bench/report.py turns the JSON output into ratios and a table.
#include <benchmark/benchmark.h>
#include <lz4.h>
#include <lz4hc.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "PayloadDecoder.h"
#include "PayloadEncoder.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error(path + ": cannot be read");
    return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// A read-only stream over bytes that someone else owns.
class BytesIn : public TStream {
public:
    explicit BytesIn(const Bytes& bytes) : bytes_(bytes) {}
    std::int64_t Remaining() const override { return std::int64_t(bytes_.size() - position_); }

protected:
    std::int64_t Read(void* buffer, std::int64_t count) override
    {
        const auto n = std::size_t(std::min(count, Remaining()));
        std::memcpy(buffer, bytes_.data() + position_, n);
        position_ += n;
        return std::int64_t(n);
    }
    std::int64_t Write(const void*, std::int64_t) override { return 0; }

private:
    const Bytes& bytes_;
    std::size_t position_ = 0;
};

// Takes every block and keeps nothing but a count; Check compares the blocks too.
class BlockSink : public TStream {
public:
    explicit BlockSink(const Bytes* expected = nullptr) : expected_(expected) {}
    std::int64_t Count() const { return count_; }
    bool Matches() const { return matches_; }
    std::int64_t Remaining() const override { return 0; }

protected:
    std::int64_t Read(void*, std::int64_t) override { return 0; }
    std::int64_t Write(const void* buffer, std::int64_t count) override
    {
        if (expected_ != nullptr)
            matches_ = matches_ && std::size_t(count_ + count) <= expected_->size() &&
                       std::memcmp(buffer, expected_->data() + count_, std::size_t(count)) == 0;
        benchmark::DoNotOptimize(buffer);
        count_ += count;
        return count;
    }

private:
    const Bytes* expected_;
    std::int64_t count_ = 0;
    bool matches_ = true;
};

struct Sample {
    std::string name;
    Bytes data;
    Bytes payload;  // optimal
    Bytes lz4;      // LZ4 HC at its highest level
};

Bytes PackLz4Hc(const Bytes& data)
{
    Bytes out(std::size_t(LZ4_compressBound(int(data.size()))));
    const int n =
        LZ4_compress_HC(reinterpret_cast<const char*>(data.data()), reinterpret_cast<char*>(out.data()),
                        int(data.size()), int(out.size()), LZ4HC_CLEVEL_MAX);
    if (n <= 0) throw std::runtime_error("LZ4_compress_HC failed");
    out.resize(std::size_t(n));
    return out;
}

Bytes PackZlib9(const Bytes& data)
{
    uLongf n = compressBound(uLong(data.size()));
    Bytes out(n);
    if (compress2(out.data(), &n, data.data(), uLong(data.size()), 9) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(n);
    return out;
}

// For a flag byte: its coded tokens' count, and the literals before each of them
// and after the last (as the decoder's own table has them).
struct Shapes {
    std::uint64_t of[256];
    Shapes()
    {
        for (unsigned flags = 0; flags < 256; ++flags) {
            std::uint64_t v = 0;
            unsigned coded = 0, literals = 0;
            for (int bit = 7; bit >= 0; --bit) {
                if ((flags >> bit & 1) == 0) {
                    ++literals;
                    continue;
                }
                v |= std::uint64_t(literals) << (4 * coded++);
                literals = 0;
            }
            of[flags] = std::uint64_t(coded) << 60 | v | std::uint64_t(literals) << (4 * coded);
        }
    }
};
const Shapes kShapes;

// Finds where every token of a payload starts and nothing else: one load of each
// flag byte and code byte, each waiting for the one before. No decoder of the format
// can take less; what Decode/ours adds to it is the copying.
std::int64_t WalkTokens(const Bytes& payload)
{
    const unsigned char* s = payload.data() + 16;
    const unsigned char* const end = payload.data() + payload.size() - 8 * 41;
    std::int64_t coded = 0;
    while (s < end) {
        std::uint64_t shape = kShapes.of[*s++];
        for (unsigned n = unsigned(shape >> 60); n > 0; --n, shape >>= 4) {
            s += shape & 0xF;
            const unsigned e = *s;
            s += (e & 0x83) == 0x03 ? (e >> 2) + 10 : 1 + ((e >> 6) * 3 >> 2);
            ++coded;
        }
        s += shape & 0xF;
    }
    return coded;
}

void Register(const Sample& s)
{
    const auto size = std::int64_t(s.data.size());

    benchmark::RegisterBenchmark(("Decode/ours/" + s.name).c_str(), [&s, size](benchmark::State& state) {
        for (auto _ : state) {
            BytesIn in(s.payload);
            BlockSink out;
            DecodePayload(in, out);
            benchmark::DoNotOptimize(out.Count());
        }
        state.SetBytesProcessed(state.iterations() * size);
    });
    benchmark::RegisterBenchmark(("Decode/lz4/" + s.name).c_str(), [&s, size](benchmark::State& state) {
        Bytes out(s.data.size());
        for (auto _ : state) {
            const int n =
                LZ4_decompress_safe(reinterpret_cast<const char*>(s.lz4.data()),
                                    reinterpret_cast<char*>(out.data()), int(s.lz4.size()), int(size));
            if (n != size) state.SkipWithError("LZ4_decompress_safe failed");
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        }
        state.SetBytesProcessed(state.iterations() * size);
    });
    benchmark::RegisterBenchmark(("Decode/memcpy/" + s.name).c_str(), [&s, size](benchmark::State& state) {
        Bytes out(s.data.size());
        for (auto _ : state) {
            std::memcpy(out.data(), s.data.data(), s.data.size());
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        }
        state.SetBytesProcessed(state.iterations() * size);
    });

    benchmark::RegisterBenchmark(("Walk/tokens/" + s.name).c_str(), [&s, size](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(WalkTokens(s.payload));
        state.SetBytesProcessed(state.iterations() * size);
    });

    for (const PackMode mode : {PackMode::Optimal, PackMode::Fast}) {
        const std::string label = mode == PackMode::Optimal ? "optimal" : "fast";
        benchmark::RegisterBenchmark(("Pack/" + label + "/" + s.name).c_str(),
                                     [&s, size, mode](benchmark::State& state) {
                                         std::size_t packed = 0;
                                         for (auto _ : state) packed = PackPayload(s.data, mode).size();
                                         state.SetBytesProcessed(state.iterations() * size);
                                         state.counters["packed"] = double(packed);
                                         state.counters["input"] = double(size);
                                     });
    }
    benchmark::RegisterBenchmark(("Pack/lz4hc/" + s.name).c_str(), [&s, size](benchmark::State& state) {
        std::size_t packed = 0;
        for (auto _ : state) packed = PackLz4Hc(s.data).size();
        state.SetBytesProcessed(state.iterations() * size);
        state.counters["packed"] = double(packed);
        state.counters["input"] = double(size);
    });
    benchmark::RegisterBenchmark(("Pack/zlib9/" + s.name).c_str(), [&s, size](benchmark::State& state) {
        std::size_t packed = 0;
        for (auto _ : state) packed = PackZlib9(s.data).size();
        state.SetBytesProcessed(state.iterations() * size);
        state.counters["packed"] = double(packed);
        state.counters["input"] = double(size);
    });
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: payload_bench [--benchmark_...] FILE...\n");
        return 2;
    }
    // Every sample is made and checked before any timing starts: a payload that
    // does not decode to its file, or an LZ4 block that does not, stops the run.
    std::vector<std::unique_ptr<Sample>> samples;
    for (int i = 1; i < argc; ++i) {
        auto s = std::make_unique<Sample>();
        const std::string path = argv[i];
        s->name = path.substr(path.find_last_of('/') + 1);
        s->data = ReadFile(path);
        s->payload = PackPayload(s->data);
        s->lz4 = PackLz4Hc(s->data);

        BytesIn in(s->payload);
        BlockSink out(&s->data);
        DecodePayload(in, out);
        Bytes back(s->data.size());
        const int n =
            LZ4_decompress_safe(reinterpret_cast<const char*>(s->lz4.data()),
                                reinterpret_cast<char*>(back.data()), int(s->lz4.size()), int(back.size()));
        if (out.Count() != std::int64_t(s->data.size()) || !out.Matches() || n != int(s->data.size()) ||
            back != s->data) {
            std::fprintf(stderr, "%s: a packed form does not give the file back\n", path.c_str());
            return 1;
        }
        samples.push_back(std::move(s));
    }
    for (const auto& s : samples) Register(*s);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
