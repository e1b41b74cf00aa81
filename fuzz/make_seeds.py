#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/. Run by hand when the seeds
should change; fuzz/run.sh only reads them.

  corpus/bmp/            small BMP pictures: 24- and 32-bit, bottom-up and top-down, each header
  corpus/profile_read/   read calls from tests/data/profile-vectors.json, in the targets' layout
  corpus/profile_write/  write calls from the same file
"""
import json
import os
import re
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def pattern(x, y, c):
    """A small pattern that gives every PNG filter something to do."""
    return [(x * 40 + y * 7) & 255, (y * 60 + x * x) & 255, (x * y * 13 + 5) & 255][c]


def grain(width, height):
    """A photograph's grain: each byte the mean of its left and upper neighbours plus a little
    noise. The encoder codes it literal-only."""
    state, values = 1, {}
    for y in range(height):
        for x in range(width):
            for c in range(3):
                state = (state * 1103515245 + 12345) & 0x7FFFFFFF
                left = values.get((x - 1, y, c), 128)
                up = values.get((x, y - 1, c), 128)
                values[(x, y, c)] = ((left + up) // 2 + (state >> 16) % 9 - 4) & 255
    return lambda x, y, c: values[(x, y, c)]


def repeating(x, y, c):
    """Every pixel new, but each row repeats itself every 40 pixels: the encoder keeps deflate."""
    return (7 * y + 37 * (x % 40) + 91 * c) & 255


def bmp(width, height, bits, top_down=False, header=40, bitfields=False, gap=0, pixels=pattern):
    """A BMP of the picture pixels(x, y, channel), channels as stored: blue, green, red."""
    stride = (width * bits + 31) // 32 * 4
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            pixel = [pixels(x, y, c) for c in range(3)]
            row += bytes(pixel) + (b"\xff" if bits == 32 else b"")
        rows.append(bytes(row) + b"\0" * (stride - len(row)))
    pixels = b"".join(rows if top_down else reversed(rows))
    masks = struct.pack("<3I", 0x00FF0000, 0x0000FF00, 0x000000FF) if bitfields else b""
    info = struct.pack("<IiiHHIIiiII", header, width, -height if top_down else height, 1, bits,
                       3 if bitfields else 0, len(pixels), 2835, 2835, 0, 0)
    if header > 40:
        info += masks + b"\0" * (header - 40 - len(masks))  # masks lie inside the later headers
    elif bitfields:
        info += masks
    offset = 14 + len(info) + gap
    return (b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + b"\0" * gap
            + pixels)


BMPS = {
    "1x1-24.bmp": bmp(1, 1, 24),
    "3x2-24.bmp": bmp(3, 2, 24),
    "5x3-24-topdown.bmp": bmp(5, 3, 24, top_down=True),
    "2x2-32.bmp": bmp(2, 2, 32),
    "4x3-32-bitfields-topdown.bmp": bmp(4, 3, 32, top_down=True, bitfields=True),
    "3x3-32-v5.bmp": bmp(3, 3, 32, header=124, bitfields=True),
    "7x5-24-header52-gap.bmp": bmp(7, 5, 24, header=52, gap=6),
    "16x12-24.bmp": bmp(16, 12, 24),
    "64x16-24-grain.bmp": bmp(64, 16, 24, pixels=grain(64, 16)),
    "96x8-24-repeating.bmp": bmp(96, 8, 24, pixels=repeating),
}


def unescape(text):
    """The byte escapes of profile-vectors.json: \\r \\n \\t \\\\ \\" and \\xHH."""
    simple = {"r": b"\r", "n": b"\n", "t": b"\t", "\\": b"\\", '"': b'"'}
    out = bytearray()
    for m in re.finditer(r'\\x([0-9A-Fa-f]{2})|\\(.)|(.)', text, re.S):
        if m.group(1):
            out.append(int(m.group(1), 16))
        elif m.group(2):
            out += simple[m.group(2)]
        else:
            out += m.group(3).encode()
    return bytes(out)


def field(text):
    """One text of the targets' input: a doubled backslash is a backslash; a backslash and a
    line break end it."""
    return unescape(text or "").replace(b"\\", b"\\\\") + b"\\\n"


READS = [
    "read-tabs-around-key-and-equals",
    "read-value-in-double-quotes",
    "read-spaces-inside-quotes-kept",
    "read-section-and-key-in-any-case",
    "read-blanks-inside-section-brackets",
    "read-duplicate-section-key-only-in-second",
    "read-semicolon-comment-line-holds-the-key",
    "read-cr-only-line-endings",
    "read-ctrl-z-after-value",
]
WRITES = [
    "write-create-new-file",
    "write-add-key-blank-line-then-next-section",
    "write-add-key-section-at-eof-no-final-newline",
    "write-add-new-section-no-final-newline",
    "write-same-value-again-no-change",
    "write-duplicate-section-where-a-new-key-goes",
    "write-order-rewrite-path-afterwards",
]


def profile_seeds():
    with open(os.path.join(HERE, "..", "tests", "data", "profile-vectors.json")) as f:
        cases = {case["id"]: case for case in json.load(f)["cases"]}
    seeds = {}
    for ids, folder, third in ((READS, "profile_read", "default"),
                               (WRITES, "profile_write", "value")):
        for case_id in ids:
            case = cases[case_id]
            args = case["args"]
            seeds[(folder, case_id)] = (field(args["section"]) + field(args["key"]) +
                                        field(args[third]) + unescape(case["file_before"] or ""))
    return seeds


def write(folder, name, data):
    path = os.path.join(CORPUS, folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


def main():
    for name, data in BMPS.items():
        write("bmp", name, data)
    for (folder, case_id), data in profile_seeds().items():
        write(folder, case_id + ".txt", data)


if __name__ == "__main__":
    main()
