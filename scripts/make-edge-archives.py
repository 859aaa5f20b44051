#!/usr/bin/env python3
"""Builds the hand-made edge-case archives of the engine tests into tests/data/zip/edge/.

Every byte is laid out here with struct, so that each archive has exactly the one oddity it is named
after. The output is deterministic: running the script again gives identical files.
"""
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "tests", "data", "zip", "edge")

DOS_TIME = (14 << 11) | (30 << 5) | (10 // 2)      # 14:30:10
DOS_DATE = ((2009 - 1980) << 9) | (6 << 5) | 15    # 2009-06-15

HOST_MSDOS, HOST_UNIX, HOST_VMS, HOST_NTFS = 0, 3, 2, 11


class Member:
    def __init__(self, name, data=b"", method=8, host=HOST_UNIX, version_needed=20, flags=0,
                 external=0, crc=None, compressed=None, descriptor=False):
        self.name = name if isinstance(name, bytes) else name.encode("latin-1")
        self.data = data
        self.method = method
        self.host = host
        self.version_needed = version_needed
        self.flags = flags | (0x08 if descriptor else 0)
        self.external = external
        self.crc = zlib.crc32(data) & 0xFFFFFFFF if crc is None else crc
        if compressed is not None:
            self.compressed = compressed
        elif method == 8:
            c = zlib.compressobj(6, zlib.DEFLATED, -15)
            self.compressed = c.compress(data) + c.flush()
        else:
            self.compressed = data
        self.descriptor = descriptor


def build(members, prefix=b"", comment=b"", adjust_offsets=False, this_disk=0, cd_disk=0,
          cd_offset=None, between=b"", corrupt_central=False, total=None):
    """Returns archive bytes. Offsets are relative to the archive start (after the prefix) unless
    adjust_offsets, as a self-extractor stub that was glued on without fixing them would leave them."""
    body = bytearray()
    central = bytearray()
    base = len(prefix) if adjust_offsets else 0
    for m in members:
        offset = len(body) + base
        local_crc, local_csize, local_usize = (0, 0, 0) if m.descriptor else (
            m.crc, len(m.compressed), len(m.data))
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, m.version_needed, m.flags, m.method, DOS_TIME,
                            DOS_DATE, local_crc, local_csize, local_usize, len(m.name), 0)
        body += m.name + m.compressed
        if m.descriptor:
            body += struct.pack("<IIII", 0x08074B50, m.crc, len(m.compressed), len(m.data))
        signature = 0x02014B51 if corrupt_central else 0x02014B50
        central += struct.pack("<IHHHHHHIIIHHHHHII", signature, (m.host << 8) | 20, m.version_needed,
                               m.flags, m.method, DOS_TIME, DOS_DATE, m.crc, len(m.compressed),
                               len(m.data), len(m.name), 0, 0, 0, 0, m.external, offset)
        central += m.name
    directory_offset = len(body) + base if cd_offset is None else cd_offset
    count = len(members) if total is None else total
    central += between
    end = struct.pack("<IHHHHIIH", 0x06054B50, this_disk, cd_disk, count, count, len(central),
                      directory_offset, len(comment)) + comment
    return bytes(prefix) + bytes(body) + bytes(central) + end


def text(n, seed):
    words = [b"alpha", b"beta", b"gamma", b"delta", b"install", b"product", b"setup", b"file"]
    out = bytearray()
    i = seed
    while len(out) < n:
        i = (i * 1103515245 + 12345) & 0x7FFFFFFF
        out += words[i % len(words)] + (b"\n" if i % 7 == 0 else b" ")
    return bytes(out[:n])


def main():
    os.makedirs(OUT, exist_ok=True)
    hello = b"Hello from the product archive.\n"
    readme = text(3000, 1)
    archives = {}

    archives["basic.zip"] = build([Member("readme.txt", readme), Member("docs/guide.txt", text(9000, 2)),
                                   Member("bin/tool.dat", bytes(range(256)) * 20, method=0)])
    archives["prefix.zip"] = build([Member("readme.txt", readme), Member("data/one.txt", hello)],
                                   prefix=b"MZ" + b"\x90" * 998)
    archives["prefix-adjusted.zip"] = build([Member("readme.txt", readme)], prefix=b"\x00" * 1000,
                                            adjust_offsets=True)
    archives["null-offset.zip"] = build([Member("readme.txt", readme)], prefix=b"\x00" * 500,
                                        adjust_offsets=True, cd_offset=0)
    archives["directories.zip"] = build([Member("data/", b"", method=0, external=0x10),
                                         Member("data/sub/", b"", method=0, external=0x10),
                                         Member("data/sub/file.txt", hello)])
    archives["msdos.zip"] = build([Member("README.TXT", readme, host=HOST_MSDOS),
                                   Member("SUB\\NOTES.TXT", hello, host=HOST_MSDOS),
                                   Member("MixedCase.txt", hello, host=HOST_UNIX)])
    archives["volume-label.zip"] = build([Member("MYDISK", b"", method=0, host=HOST_MSDOS, external=0x08),
                                          Member("file.txt", hello, host=HOST_MSDOS)])
    archives["vms.zip"] = build([Member("vmsfile.txt", hello, host=HOST_VMS, version_needed=42)])
    archives["descriptor.zip"] = build([Member("streamed.txt", readme, descriptor=True),
                                        Member("after.txt", hello)])
    archives["encrypted.zip"] = build([Member("secret.txt", hello, flags=0x01,
                                              compressed=b"\x00" * 12 + hello, method=0),
                                       Member("plain.txt", hello)])
    archives["unknown-method.zip"] = build([Member("tokenized.bin", hello, method=7, compressed=hello),
                                            Member("bzip.bin", hello, method=12, compressed=hello),
                                            Member("plain.txt", hello)])
    archives["version.zip"] = build([Member("new.txt", hello, version_needed=63), Member("plain.txt", hello)])
    archives["multidisk-2.zip"] = build([Member("a.txt", hello)], this_disk=2, cd_disk=2)
    archives["second-disk.zip"] = build([Member("a.txt", hello)], this_disk=1, cd_disk=1)
    archives["empty.zip"] = build([])
    archives["bad-crc.zip"] = build([Member("good.txt", hello), Member("bad.txt", readme, crc=0x12345678)])
    stream = zlib.compressobj(6, zlib.DEFLATED, -15)
    deflated = stream.compress(readme) + stream.flush()
    archives["truncated-stream.zip"] = build([Member("cut.txt", readme, compressed=deflated[:len(deflated) // 2]),
                                              Member("plain.txt", hello)])
    corrupt = bytearray(deflated)
    corrupt[0] = 0xFF  # block type 3: reserved, invalid
    archives["corrupt-stream.zip"] = build([Member("broken.txt", readme, compressed=bytes(corrupt)),
                                            Member("plain.txt", hello)])
    whole = build([Member("readme.txt", readme), Member("more.txt", text(5000, 3))])
    archives["truncated-file.zip"] = whole[: len(whole) // 2]
    archives["bad-central-signature.zip"] = build([Member("a.txt", hello)], corrupt_central=True)
    archives["missing-end-after-directory.zip"] = build([Member("a.txt", hello)], between=b"JUNKJUNK")
    archives["comment.zip"] = build([Member("a.txt", hello)], comment=b"Product 1.0 - archive comment")
    archives["small.zip"] = build([Member("tiny.txt", b"x")])
    # The end record's signature straddles the boundary between the last two 2,048-byte blocks.
    for pad in range(0, 2048):
        candidate = build([Member("boundary.txt", text(3000 + pad, 4), method=0)])
        if (len(candidate) - 22) % 2048 == 2046:
            archives["end-across-block.zip"] = candidate
            break
    long_name = "long/" + "n" * 300 + ".txt"
    archives["long-name.zip"] = build([Member(long_name, hello)])
    archives["unsafe.zip"] = build([
        Member("../escape.txt", hello),
        Member("a/../../climb.txt", hello),
        Member("/absolute.txt", hello),
        Member("\\rooted.txt", hello),
        Member("C:/drive.txt", hello),
        Member("c:relative.txt", hello),
        Member("\\\\server\\share\\unc.txt", hello),
        Member("dir\\..\\..\\backslash.txt", hello),
        Member("CON", hello),
        Member("sub/nul.txt", hello),
        Member("com1.log", hello),
        Member("LPT9", hello),
        Member("sub/.../dots.txt", hello),
        Member("ok.txt", hello),
        Member("win\\sub\\file.txt", hello),
        Member("console.txt", hello),
        Member("name:stream.txt", hello),
    ])
    archives["policies.zip"] = build([Member("setup.ini", b"[new]\n"), Member("conf/user.ini", b"[new user]\n"),
                                      Member("docs/readme.txt", readme), Member("program.exe", b"MZ new")])
    archives["brackets.zip"] = build([Member("a[1].txt", b"bracketed\n"), Member("a1.txt", b"plain\n")])
    # Declares 100 bytes but holds a stream that expands to 3,000: the engine must stop at 100.
    archives["understated-size.zip"] = build([Member("bomb.txt", b"x" * 100, compressed=deflated)])
    archives["many-members.zip"] = build([Member("m/file%04d.txt" % i, b"member %d\n" % i) for i in range(300)])

    for name, data in sorted(archives.items()):
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
    print("wrote %d archives to %s" % (len(archives), os.path.normpath(OUT)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
