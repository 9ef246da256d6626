#!/usr/bin/env python3
"""Turns payload_bench's JSON output into the tables of README's Performance
section (Markdown, on stdout) and a plot of the throughputs (PNG).

    report.py RESULTS.json PLOT.png [NAME...]

The files come in the order of the NAMEs, when given. Each figure is the median of the run's repetitions; each ratio compares two
figures of the same run.
"""
import json
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def load(path):
    with open(path) as f:
        doc = json.load(f)
    runs = {}
    for b in doc["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name", b["name"])
        kind, who, sample = name.split("/", 2)
        runs[(kind, who, sample)] = b
    samples = []
    for b in doc["benchmarks"]:
        kind, who, sample = b.get("run_name", b["name"]).split("/", 2)
        if sample not in samples:
            samples.append(sample)
    return doc["context"], runs, samples


def rate(runs, kind, who, sample):
    return runs[(kind, who, sample)]["bytes_per_second"]


def packed(runs, who, sample):
    return int(runs[("Pack", who, sample)]["packed"])


def mb(x):
    return f"{x / 1e6:,.0f}"


def main():
    context, runs, samples = load(sys.argv[1])
    order = sys.argv[3:]
    samples.sort(key=lambda s: order.index(s) if s in order else len(order))
    out = []
    out.append("Decoding, output MB/s (median of the repetitions), and ours as a share of each baseline:\n")
    out.append("| file | bytes | ours | LZ4 | memcpy | ours / LZ4 | ours / memcpy | token walk | walk / LZ4 |")
    out.append("|---|--:|--:|--:|--:|--:|--:|--:|--:|")
    for s in samples:
        ours, lz4, cpy = (rate(runs, "Decode", w, s) for w in ("ours", "lz4", "memcpy"))
        walk = rate(runs, "Walk", "tokens", s)
        out.append(f"| {s} | {int(runs[('Pack', 'optimal', s)]['input']):,} | {mb(ours)} | {mb(lz4)} | {mb(cpy)} | "
                   f"{ours / lz4:.2f} | {ours / cpy:.3f} | {mb(walk)} | {walk / lz4:.2f} |")
    out.append("")
    out.append("Packed sizes in bytes (ours with its 16-byte header, LZ4 as a block, zlib with its "
               "header and checksum) and our packing speed, input MB/s:\n")
    out.append("| file | bytes | optimal | fast | optimal / fast | LZ4 HC max | zlib -9 | optimal MB/s | fast MB/s |")
    out.append("|---|--:|--:|--:|--:|--:|--:|--:|--:|")
    for s in samples:
        opt, fast, lz4, z = (packed(runs, w, s) for w in ("optimal", "fast", "lz4hc", "zlib9"))
        out.append(f"| {s} | {int(runs[('Pack', 'optimal', s)]['input']):,} | {opt:,} | {fast:,} | "
                   f"{opt / fast:.3f} | {lz4:,} | {z:,} | {rate(runs, 'Pack', 'optimal', s) / 1e6:.1f} | "
                   f"{rate(runs, 'Pack', 'fast', s) / 1e6:.1f} |")
    print("\n".join(out))

    fig, (top, bottom) = plt.subplots(2, 1, figsize=(11, 8))
    labels = [s if len(s) <= 18 else s[:16] + "…" for s in samples]
    width = 0.2
    series = [("Decode", "ours", "ours (DecodePayload)"), ("Decode", "lz4", "LZ4_decompress_safe"),
              ("Decode", "memcpy", "memcpy"), ("Walk", "tokens", "our token walk only")]
    for i, (kind, who, label) in enumerate(series):
        top.bar([x + (i - 1.5) * width for x in range(len(samples))],
                [rate(runs, kind, who, s) / 1e6 for s in samples], width, label=label)
    top.set_yscale("log")
    top.set_ylabel("output MB/s")
    top.set_title("Decoding")
    top.set_xticks(range(len(samples)), labels)
    top.legend(fontsize=8, loc="upper left", bbox_to_anchor=(1.01, 1))
    series = [("optimal", "ours, optimal"), ("fast", "ours, fast"), ("lz4hc", "LZ4 HC max"), ("zlib9", "zlib -9")]
    for i, (who, label) in enumerate(series):
        bottom.bar([x + (i - 1.5) * width for x in range(len(samples))],
                   [rate(runs, "Pack", who, s) / 1e6 for s in samples], width, label=label)
    bottom.set_yscale("log")
    bottom.set_ylabel("input MB/s")
    bottom.set_title("Packing")
    bottom.set_xticks(range(len(samples)), labels)
    bottom.legend(fontsize=8, loc="upper left", bbox_to_anchor=(1.01, 1))
    fig.suptitle(f"payload_bench on {context.get('num_cpus')} CPUs, {context.get('date', '')[:10]}")
    fig.tight_layout()
    fig.savefig(sys.argv[2], dpi=100)


if __name__ == "__main__":
    main()
