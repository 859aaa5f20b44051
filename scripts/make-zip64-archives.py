#!/usr/bin/env python3
"""Builds the ZIP64 and Deflate64 test archives into tests/data/zip/zip64/, with SHA256SUMS of every member.

Three sources, none of them the engine:
- Python's zipfile (Debian's python3): members with ZIP64 extra fields (force_zip64), and the same written to an
  unseekable stream, so that data descriptors carry 8-byte sizes;
- 7-Zip (Debian's p7zip-full, `7z a -tzip -mm=Deflate64`): Deflate64 members whose data repeats beyond 32 KiB;
- records laid out here byte by byte with struct: ZIP64 end record and locator with every classic field
  overflowed, ZIP64 fields in central and local headers, a prefix, and the hostile variants (a locator pointing
  into a member, counts that disagree, directories and members past the end); and a Deflate64 stream written
  here bit by bit with fixed Huffman codes, as 7-Zip's encoder stops at length 257: lengths up to 65,538 and
  distances up to 65,536.

Run it again only to change the archives: zipfile and 7z stamp times, so their archives differ run by run.
Names given write only those archives (SHA256SUMS is always rewritten whole).
    /usr/bin/python3 scripts/make-zip64-archives.py [ARCHIVE...]
"""
import hashlib
import io
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "tests", "data", "zip", "zip64")

DOS_TIME = (14 << 11) | (30 << 5) | (10 // 2)
DOS_DATE = ((2024 - 1980) << 9) | (3 << 5) | 15
ONES32 = 0xFFFFFFFF


def text(n, seed):
    rng = random.Random(seed)
    words = [b"alpha", b"beta", b"gamma", b"delta", b"install", b"product", b"setup", b"file", b"window"]
    out = bytearray()
    while len(out) < n:
        out += rng.choice(words) + (b"\n" if rng.random() < 0.12 else b" ")
    return bytes(out[:n])


def far_repeats(seed):
    """Data whose repeats lie beyond 32 KiB: random blocks that come back 40-60 KiB later."""
    rng = random.Random(seed)
    a, b = rng.randbytes(20000), rng.randbytes(9000)
    return a + text(30000, seed) + a + b + text(25000, seed + 1) + b + a + bytes(70000) + a


# ---- Deflate64 written bit by bit -----------------------------------------------------------------

class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.count = 0

    def bits(self, value, count):  # LSB first
        self.acc |= value << self.count
        self.count += count
        while self.count >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.count -= 8

    def code(self, code, length):  # Huffman codes go most significant bit first
        self.bits(int(format(code, "0%db" % length)[::-1], 2), length)

    def finish_byte(self):
        if self.count:
            self.bits(0, 8 - self.count)

    def finish(self):
        if self.count:
            self.out.append(self.acc & 0xFF)
        return bytes(self.out)


LENGTH_BASE = [3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115, 131,
               163, 195, 227, 3]
LENGTH_EXTRA = [0] * 8 + [1] * 4 + [2] * 4 + [3] * 4 + [4] * 4 + [5] * 4 + [16]
DIST_BASE = [1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769, 1025, 1537, 2049,
             3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153]
DIST_EXTRA = [0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13,
              14, 14]


def fixed_literal(w, symbol):
    if symbol < 144:
        w.code(0x30 + symbol, 8)
    elif symbol < 256:
        w.code(0x190 + symbol - 144, 9)
    elif symbol < 280:
        w.code(symbol - 256, 7)
    else:
        w.code(0xC0 + symbol - 280, 8)


def deflate64_fixed(operations, stored=b""):
    """A stored block of `stored` (when given), then one fixed-Huffman block from ("lit", bytes) and
    ("match", length, distance); returns stream, output."""
    w = BitWriter()
    out = bytearray()
    if stored:
        w.bits(0, 1)  # not the final block
        w.bits(0, 2)  # stored
        w.finish_byte()
        w.bits(len(stored), 16)
        w.bits(len(stored) ^ 0xFFFF, 16)
        for byte in stored:
            w.bits(byte, 8)
        out += stored
    w.bits(1, 1)  # final block
    w.bits(1, 2)  # fixed codes
    for op in operations:
        if op[0] == "lit":
            for byte in op[1]:
                fixed_literal(w, byte)
                out.append(byte)
            continue
        _, length, distance = op
        code = 28 if length > 258 else max(i for i in range(28) if LENGTH_BASE[i] <= length)
        fixed_literal(w, 257 + code)
        w.bits(length - LENGTH_BASE[code], LENGTH_EXTRA[code])
        assert 0 <= length - LENGTH_BASE[code] < (1 << LENGTH_EXTRA[code])
        dcode = max(i for i in range(32) if DIST_BASE[i] <= distance)
        w.code(dcode, 5)
        w.bits(distance - DIST_BASE[dcode], DIST_EXTRA[dcode])
        for _ in range(length):
            out.append(out[-distance])
    fixed_literal(w, 256)
    return w.finish(), bytes(out)


def deflate64_sample():
    rng = random.Random(64)
    block = rng.randbytes(40000)
    return deflate64_fixed([
        ("lit", block),
        ("match", 65538, 40000),   # the longest length (code 285 + 16 bits), distance code 30
        ("match", 300, 65536),     # the farthest distance (code 31), a length beyond 258
        ("lit", b"end of the long matches\n"),
        ("match", 258, 49153),     # code 284 at its top, distance code 31 at its base
        ("match", 3, 32769),       # distance code 30 at its base
        ("match", 1000, 1),        # a run
    ])


def stored_then_fixed():
    rng = random.Random(65)
    stored = rng.randbytes(60000)
    return deflate64_fixed([("lit", b"after the stored block "), ("match", 4000, 50000),
                            ("match", 20, 60023)], stored=stored)


# ---- hand-made ZIP64 records ----------------------------------------------------------------------

class Member:
    def __init__(self, name, data, method=8, compressed=None, central64=True, local64=True, descriptor=False,
                 utf8=False, offset=None, csize=None, crc=None):
        self.name = name.encode("utf-8")
        self.data = data
        self.method = method
        if compressed is None:
            if method == 8:
                c = zlib.compressobj(6, zlib.DEFLATED, -15)
                compressed = c.compress(data) + c.flush()
            else:
                compressed = data
        self.compressed = compressed
        self.central64 = central64
        self.local64 = local64
        self.descriptor = descriptor
        self.flags = (0x08 if descriptor else 0) | (0x800 if utf8 else 0)
        self.offset = offset  # a local header offset to claim instead of the real one
        self.csize = csize    # a compressed size to claim instead of the real one
        self.crc = zlib.crc32(data) & ONES32 if crc is None else crc


def build64(members, prefix=b"", locator_offset=None, record=None, classic=None, record_before_locator=True,
            extensible=b"", entries=None, local_ones=False):
    body = bytearray()
    central = bytearray()
    for m in members:
        offset = len(body)
        usize, csize = len(m.data), len(m.compressed) if m.csize is None else m.csize
        extra = b""
        if m.local64:
            extra = struct.pack("<HHQQ", 1, 16, 0 if m.descriptor else usize, 0 if m.descriptor else csize)
        if m.descriptor:
            local_sizes = (0, ONES32 if m.local64 else 0, ONES32 if m.local64 else 0)
        else:
            local_sizes = (m.crc, ONES32, ONES32) if m.local64 or local_ones else (m.crc, csize, usize)
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, m.flags, m.method, DOS_TIME, DOS_DATE,
                            *local_sizes, len(m.name), len(extra))
        body += m.name + extra + m.compressed
        if m.descriptor:
            body += struct.pack("<IIQQ", 0x08074B50, m.crc, csize, usize)
        claimed = offset if m.offset is None else m.offset
        if m.central64:
            cextra = struct.pack("<HHQQQ", 1, 24, usize, csize, claimed)
            fields = (ONES32, ONES32, ONES32)
        else:
            cextra = b""
            fields = (csize, usize, claimed)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, (3 << 8) | 45, 45, m.flags, m.method,
                               DOS_TIME, DOS_DATE, m.crc, fields[0], fields[1], len(m.name), len(cextra), 0,
                               0, 0, 0o100644 << 16, fields[2])
        central += m.name + cextra
    count = len(members) if entries is None else entries
    cd_offset = len(body)
    values = {"disk": 0, "cd_disk": 0, "on_disk": count, "total": count, "size": len(central),
              "offset": cd_offset}
    values.update(record or {})
    record_at = len(body) + len(central)
    rec = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44 + len(extensible), (3 << 8) | 45, 45, values["disk"],
                      values["cd_disk"], values["on_disk"], values["total"], values["size"],
                      values["offset"]) + extensible
    tail = rec if record_before_locator else b""
    locator = struct.pack("<IIQI", 0x07064B50, 0, record_at if locator_offset is None else locator_offset, 1)
    c = {"disk": 0, "cd_disk": 0, "on_disk": 0xFFFF, "total": 0xFFFF, "size": ONES32, "offset": ONES32}
    c.update(classic or {})
    end = struct.pack("<IHHHHIIH", 0x06054B50, c["disk"], c["cd_disk"], c["on_disk"], c["total"], c["size"],
                      c["offset"], 0)
    return bytes(prefix) + bytes(body) + bytes(central) + tail + locator + end


def handmade(archives, sums):
    hello = b"Hello from a ZIP64 archive.\n"
    guide = text(9000, 7)
    stream, expanded = deflate64_sample()
    members = [
        Member("readme.txt", guide),
        Member("bin/tool.dat", bytes(range(256)) * 20, method=0),
        Member("streamed.txt", text(5000, 8), descriptor=True),
        Member("caf\u00e9/na\u00efve.txt", hello, utf8=True),
        Member("long-matches.bin", expanded, method=9, compressed=stream),
        Member("stored-block.bin", stored_then_fixed()[1], method=9, compressed=stored_then_fixed()[0]),
        Member("classic.txt", hello, central64=False, local64=False),
    ]
    archives["zip64-records.zip"] = build64(members)
    for m in members:
        sums.append((m.data, "zip64-records.zip", m.name.decode("utf-8")))
    # A self-extractor stub before it: offsets shift, the locator's too.
    archives["zip64-prefix.zip"] = build64(members[:2], prefix=b"MZ" + b"\x90" * 1022)
    # The ZIP64 end record with extensible data (an extractor skips it).
    archives["zip64-extensible.zip"] = build64(members[:1], extensible=b"\x99\x99\x04\x00DATA")
    # A local header with both sizes all ones but no extra field: the central directory's sizes hold.
    archives["zip64-local-without-extra.zip"] = build64([Member("plain.txt", hello, local64=False)],
                                                        local_ones=True)
    sums.append((hello, "zip64-local-without-extra.zip", "plain.txt"))
    # Sizes beyond 4 GiB in the listing: a member declaring 5 GiB (its data is not there; listed only).
    big = Member("huge.bin", b"", method=0, compressed=b"")
    archive = bytearray(build64([big, Member("small.txt", hello)]))
    # Patch the ZIP64 extra fields of both headers: uncompressed and compressed size 5 GiB + 7.
    for header in (b"PK\x03\x04", b"PK\x01\x02"):
        at = archive.index(b"huge.bin", archive.index(header)) + len(b"huge.bin") + 4
        archive[at:at + 16] = struct.pack("<QQ", (5 << 30) + 7, (5 << 30) + 7)
    archives["zip64-huge-listing.zip"] = bytes(archive)

    # Hostile records: each must end with a clear error and nothing written outside the destination.
    one = [Member("../escape.txt", hello), Member("inside.txt", hello, method=0)]
    # The locator points into the middle of the first member's data; no record stands before it.
    archives["hostile-locator-into-member.zip"] = build64(one, locator_offset=30 + 13 + 20 + 3,
                                                          record_before_locator=False)
    # A forged record inside a member's data, where the locator points, counting 70,000 entries against
    # the classic record's 2.
    forged = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 70000, 70000, 46 * 70000, 0)
    bait = Member("bait.bin", b"xxxx" + forged + b"yyyy", method=0)
    archives["hostile-forged-record.zip"] = build64(
        [bait, Member("inside.txt", hello)], locator_offset=30 + len("bait.bin") + 20 + 4,
        classic={"on_disk": 2, "total": 2})
    # Counts that disagree: the ZIP64 record says 3 entries, the classic record 2.
    archives["hostile-counts-disagree.zip"] = build64(one, record={"on_disk": 3, "total": 3},
                                                      classic={"on_disk": 2, "total": 2})
    # Entries on this disk and in all that differ in the ZIP64 record.
    archives["hostile-disk-counts.zip"] = build64(one, record={"on_disk": 1})
    # A directory offset past the end of the file.
    archives["hostile-directory-past-end.zip"] = build64(one, record={"offset": 1 << 40})
    # An entry count that no directory of that size can hold (2^60 entries).
    archives["hostile-huge-count.zip"] = build64(one, record={"on_disk": 1 << 60, "total": 1 << 60})
    # Members whose ZIP64 fields point past the end: a local header offset and a compressed size.
    archives["hostile-member-past-end.zip"] = build64([Member("far.txt", hello, offset=1 << 40),
                                                       Member("after.txt", hello)])
    # The compressed size of a stored member claimed as 2^40 in both headers.
    m = Member("huge-stored.txt", hello, method=0, csize=1 << 40)
    archives["hostile-size-past-end.zip"] = build64([m, Member("after.txt", hello)])


# ---- archives of independent tools ----------------------------------------------------------------

class Unseekable(io.RawIOBase):
    def __init__(self):
        self.buffer = bytearray()

    def writable(self):
        return True

    def write(self, data):
        self.buffer += data
        return len(data)


def python_zipfile(archives, sums):
    contents = [("readme.txt", text(12000, 11)), ("data/table.bin", bytes(range(256)) * 64),
                ("gr\u00fc\u00dfe/\u00fcbersicht.txt", "Gr\u00fc\u00dfe aus Python.\n".encode("utf-8"))]
    for name, streamed in (("python-zip64-forced.zip", False), ("python-zip64-stream.zip", True)):
        target = Unseekable() if streamed else io.BytesIO()
        with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
            for member, data in contents:
                with z.open(member, "w", force_zip64=True) as f:
                    f.write(data)
        archives[name] = bytes(target.buffer if streamed else target.getvalue())
        for member, data in contents:
            sums.append((data, name, member))


def seven_zip(archives, sums):
    if not shutil.which("7z"):
        sys.exit("7z (Debian's p7zip-full) is needed for the Deflate64 archive")
    files = [("far-repeats.bin", far_repeats(9)), ("text.txt", text(40000, 12)), ("empty.txt", b"")]
    with tempfile.TemporaryDirectory() as tmp:
        for name, data in files:
            with open(os.path.join(tmp, name), "wb") as f:
                f.write(data)
        out = os.path.join(tmp, "out.zip")
        subprocess.run(["7z", "a", "-tzip", "-mm=Deflate64", "-mx=9", "-bso0", "-bsp0", out] +
                       [name for name, _ in files], cwd=tmp, check=True)
        with open(out, "rb") as f:
            archives["7z-deflate64.zip"] = f.read()
    for name, data in files:
        sums.append((data, "7z-deflate64.zip", name))


def main():
    os.makedirs(OUT, exist_ok=True)
    archives, sums = {}, []
    handmade(archives, sums)
    python_zipfile(archives, sums)
    seven_zip(archives, sums)
    only = set(sys.argv[1:])
    written = 0
    for name, data in archives.items():
        if only and name not in only:
            continue
        written += 1
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
    with open(os.path.join(OUT, "SHA256SUMS"), "w") as f:
        for data, archive, member in sums:
            # Names with blanks are not used: the test reads the file as whitespace-separated fields.
            assert " " not in member
            f.write("%s %9d  %s  %s\n" % (hashlib.sha256(data).hexdigest(), len(data), archive, member))
    print("wrote %d archives to %s" % (written, os.path.normpath(OUT)))


if __name__ == "__main__":
    main()
