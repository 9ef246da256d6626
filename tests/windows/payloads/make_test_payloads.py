#!/usr/bin/env python3
"""Writes the two payloads the Windows tests carry beside the updater's own.

sample.payload  decodes to 2,457,601 bytes of "A" and then "END\r\n": one literal,
                600 far matches that repeat the last byte 4096 times each, five
                literals. It is long enough that the decoder writes its output in
                more than one block.
damaged.payload the same opening, then a far match whose two further bytes are
                missing: the decoder has already written its first block when it
                finds the damage.

Run it in this folder; the files are committed, so the build does not need Python.
"""
import struct

FAR_REPEAT_LAST_4096 = [0xC0, 0x00, 0xFF]  # offset 1, length code 0xFF = 4096


def pack(tokens, unpacked_size):
    """tokens: list of (coded, bytes); eight tokens follow each flag byte."""
    stream = bytearray()
    for start in range(0, len(tokens), 8):
        group = tokens[start:start + 8]
        flags = 0
        for i, (coded, _) in enumerate(group):
            if coded:
                flags |= 0x80 >> i
        stream.append(flags)
        for _, data in group:
            stream += bytes(data)
    header = b"RQ\x01\x00" + struct.pack("<iiI", len(stream), unpacked_size, 0)
    return header + stream


def opening():
    return [(False, b"A")] + [(True, FAR_REPEAT_LAST_4096)] * 600


sample = pack(opening() + [(False, bytes([c])) for c in b"END\r\n"], 1 + 4096 * 600 + 5)
damaged = pack(opening() + [(True, [0xC0])], 1 + 4096 * 600 + 4096)

with open("sample.payload", "wb") as f:
    f.write(sample)
with open("damaged.payload", "wb") as f:
    f.write(damaged)
