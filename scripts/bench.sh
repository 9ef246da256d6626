#!/usr/bin/env bash
# Measures the payload decoder and packer, and writes the figures of README's
# Performance section:
#
#   scripts/bench.sh
#
# 1. Builds the `bench` preset (Release, g++) in build/bench (BENCH_BUILD=DIR for
#    another) and runs bench/payload_bench over the corpus: the Shift-JIS novels in
#    ../shared/corpus/ja, resources/payload-src/md_scr2.med and the i686 libstdc++.a
#    of the cross toolchain. Every ratio compares figures of this one run.
# 2. Writes the tables to BUILD/bench/performance.md and the plot to
#    docs/payload-throughput.png (bench/report.py).
# 3. Unpacks a payload of 1 GiB with `payload unpack` under /usr/bin/time -v and
#    under strace: the peak resident memory must stay within PackedSize + 3 MiB
#    above that of unpacking an empty payload, and the output must go out in
#    writes of exactly 1 MiB. The output is compared with what it stands for.
#
# Takes a few minutes and about 2 GiB of disk in BUILD. Runs as root on Debian 12
# (scripts/setup.sh installs what is missing).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh

build=${BENCH_BUILD:-build/bench}
cmake --preset bench -B "$build" >/dev/null
cmake --build "$build"
out=$build/bench
tool=$build/tools/payload/payload

# matplotlib comes from Debian's python3-matplotlib.
python=python3
"$python" -c 'import matplotlib' 2>/dev/null || python=/usr/bin/python3

corpus=(../shared/corpus/ja/*.txt resources/payload-src/md_scr2.med
        "$(i686-w64-mingw32-g++-posix -print-file-name=libstdc++.a)")
for f in "${corpus[@]}"; do
  [[ -r $f ]] || { echo "bench.sh: $f is missing" >&2; exit 1; }
done

# Repetitions in random order, so that a change in the machine's load spreads over
# all benchmarks instead of falling on some; the report takes the medians.
"$out/payload_bench" --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
  --benchmark_out="$out/results.json" --benchmark_out_format=json "${corpus[@]}" >"$out/console.txt"

{
  echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; $(g++ --version | head -1);" \
       "$(date -u +%Y-%m-%d)."
  echo
  "$python" bench/report.py "$out/results.json" docs/payload-throughput.png "${corpus[@]##*/}"
} >"$out/performance.md"

# ---- Memory and blocks at 1 GiB ----
big=$out/big
mkdir -p "$big"
trap 'rm -rf "$big"' EXIT
size=$((1 << 30))
"$out/make_big_payload" "$size" "$big/big.payload"
: >"$big/empty"
"$tool" pack "$big/empty" "$big/empty.payload"
packed=$(( $(stat -c %s "$big/big.payload") - 16 ))

peak() {  # peak resident memory of "payload unpack IN OUT", in KiB
  /usr/bin/time -f %M -o "$big/time.txt" "$tool" unpack "$1" "$2"
  cat "$big/time.txt"
}
base=$(peak "$big/empty.payload" "$big/empty.out")
start=$(date +%s.%N)
high=$(peak "$big/big.payload" "$big/big.out")
seconds=$(awk "BEGIN { printf \"%.1f\", $(date +%s.%N) - $start }")
cmp "$big/big.out" <("$out/make_big_payload" --bytes "$size")
rm -f "$big/big.out"

strace -f -e trace=write -o "$big/strace.txt" "$tool" unpack "$big/big.payload" "$big/big.out"
writes=$(sed -n 's/^[0-9]* *write(.*= \([0-9]*\)$/\1/p' "$big/strace.txt" | sort -n | uniq -c |
         awk '{printf "%s%d of %d bytes", sep, $1, $2; sep=", "}')
rm -f "$big/big.out"

bound=$(( (packed + 3 * 1024 * 1024) / 1024 ))
{
  echo
  echo "Unpacking 1 GiB (\`payload unpack\`, a payload of $packed bytes of token stream):"
  echo
  echo "| | |"
  echo "|---|--:|"
  echo "| peak resident memory | $high KiB |"
  echo "| the same for an empty payload | $base KiB |"
  echo "| difference | $((high - base)) KiB |"
  echo "| PackedSize + 3 MiB | $bound KiB |"
  echo "| writes (strace) | $writes |"
  echo "| time, to a file in the page cache | $seconds s |"
} >>"$out/performance.md"

cat "$out/performance.md"
echo
echo "Tables: $out/performance.md, plot: docs/payload-throughput.png"
if (( high - base > bound )); then
  echo "bench.sh: unpacking 1 GiB took more memory than PackedSize + 3 MiB" >&2
  exit 1
fi
if [[ $writes != "1024 of 1048576 bytes" ]]; then
  echo "bench.sh: the output did not go out in 1 MiB blocks: $writes" >&2
  exit 1
fi
