#!/usr/bin/env python3
"""Seeds of the in-memory decoder fuzz targets: the raw compressed stream of every member of the test archives
that uses the target's method, behind the 5-byte header of unzip/fuzz/decoder_fuzz.cpp (variant, declared
size modulo 80 KiB, chunk length).
    scripts/fuzz-seeds.py METHOD[,METHOD...] OUTPUT_FOLDER
"""
import os
import struct
import sys
import zipfile

methods = {int(m) for m in sys.argv[1].split(",")}
out = sys.argv[2]
root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "zip")
os.makedirs(out, exist_ok=True)
count = 0
seen = set()
for folder, _, files in os.walk(root):
    for name in sorted(files):
        if not name.lower().endswith(".zip"):
            continue
        path = os.path.join(folder, name)
        try:
            with zipfile.ZipFile(path) as z, open(path, "rb") as f:
                data = f.read()
                first = True
                for info in z.infolist():
                    if info.compress_type not in methods or info.file_size == 0:
                        continue
                    at = info.header_offset
                    if data[at:at + 4] != b"PK\x03\x04":
                        continue
                    name_length, extra_length = struct.unpack("<HH", data[at + 26:at + 30])
                    start = at + 30 + name_length + extra_length
                    stream = data[start:start + info.compress_size]
                    if stream in seen:
                        continue
                    seen.add(stream)
                    if info.compress_type in (2, 3, 4, 5):
                        variant = info.compress_type - 2
                    else:
                        variant = info.flag_bits & 6
                    # Short outputs keep the fuzzer fast (shrink and reduce decode garbage up to the declared
                    # size); the first stream of each archive keeps its whole size, so that the 64 KiB
                    # window wraps.
                    full = min(info.file_size, (80 << 10) - 1)
                    sizes = [min(full, 4 << 10)] + ([full] if first and full > (4 << 10) else [])
                    first = False
                    for size, chunk in [(size, chunk) for size in sizes for chunk in (0, 7)]:
                        header = bytes([variant]) + size.to_bytes(3, "little") + bytes([chunk])
                        count += 1
                        with open(os.path.join(out, "seed-%04d" % count), "wb") as s:
                            s.write(header + stream)
        except (zipfile.BadZipFile, OSError, ValueError, NotImplementedError):
            continue
print("%d seeds for method(s) %s" % (count, sys.argv[1]))
