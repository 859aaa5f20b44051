#!/usr/bin/env python3
"""The engine held against Python's zipfile as another reader, on archives zipfile writes:
- generated archives: random member sets (sizes 0 to a few MB, compressible and random data, folders, UTF-8
  names), stored and deflated at levels 1, 6 and 9, with and without data descriptors, ZIP64 records,
  comments, a prefix before the archive; every member the engine writes equals zipfile's, and nothing else;
- archives as today's tools write them: a binary table whose last deflate bytes expand beyond the output
  buffer, names made on Windows (MS-DOS host) in mixed case, folders marked only by the attribute, members
  packed with bzip2 and LZMA. (Faults no tool writes are patched in consistency_test.cpp.)
    zipfile_differential_check.py UNZIPRUN [--archives N] [--seed S]
The suite runs a few hundred archives; more (--archives 5000) run outside it. Exit 0 when all agree.
"""
import argparse
import io
import os
import random
import shutil
import subprocess
import sys
import tempfile
import zipfile
import zlib

failures = []


def check(label, condition, detail=""):
    if not condition:
        failures.append("%s %s" % (label, detail))
        print("FAIL", label, detail, flush=True)


def run(unziprun, *args):
    return subprocess.run([unziprun] + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def files_below(root):
    found = {}
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, root).replace(os.sep, "/")] = f.read()
    return found


def folders_below(root):
    return {os.path.relpath(os.path.join(folder, d), root).replace(os.sep, "/")
            for folder, dirs, _ in os.walk(root) for d in dirs}


class Unseekable(io.RawIOBase):
    """zipfile writes data descriptors when it cannot seek back to the local header."""

    def __init__(self, f):
        self.f = f

    def writable(self):
        return True

    def write(self, data):
        return self.f.write(data)


WORDS = "setup install folder file window product registry service Ölkännchen 山田 Δelta".split()


def random_data(rng):
    kind = rng.random()
    size = rng.choice([0, 1, 2, rng.randint(3, 300), rng.randint(300, 20000), rng.randint(20000, 70000)])
    if rng.random() < 0.04:
        size = rng.randint(70000, 400000)
    if rng.random() < 0.005:
        size = rng.randint(1000000, 3000000)
    if kind < 0.3:
        return rng.randbytes(size)
    if kind < 0.6:
        text = " ".join(rng.choice(WORDS) for _ in range(size // 6 + 1)).encode()
        return text[:size]
    if kind < 0.8:
        return bytes(size)
    pattern = rng.randbytes(rng.randint(1, 8))
    return (pattern * (size // len(pattern) + 1))[:size]


def random_name(rng, taken):
    while True:
        depth = rng.choice([0, 0, 1, 1, 2, 3])
        parts = ["%s%d" % (rng.choice(WORDS), rng.randint(0, 99)) for _ in range(depth + 1)]
        name = "/".join(parts) + rng.choice([".txt", ".bin", ".dat", ""])
        # Windows folds case: two members differing only in case would be one file there. No name is
        # another's folder either.
        lower = name.lower()
        folders = {"/".join(parts[:i]).lower() for i in range(1, len(parts))}
        if lower not in taken and not folders & taken and not any(t.startswith(lower + "/") for t in taken):
            taken.add(name.lower())
            return name


def generated_archive(rng, path):
    """Writes one random archive; returns (members {name: data}, folders, prefixed)."""
    members = {}
    folders = set()
    taken = set()
    streamed = rng.random() < 0.3
    zip64 = rng.random() < 0.2
    prefix = rng.randbytes(rng.randint(1, 5000)) if rng.random() < 0.2 else b""
    buffer = io.BytesIO()
    target = Unseekable(buffer) if streamed else buffer
    with zipfile.ZipFile(target, "w", compresslevel=rng.choice([1, 6, 9])) as z:
        if rng.random() < 0.3:
            z.comment = rng.randbytes(rng.randint(1, 2000)) if rng.random() < 0.5 else b"archive comment"
        for _ in range(rng.randint(1, 16)):
            if rng.random() < 0.1:
                folder = random_name(rng, taken) + "/"
                z.writestr(zipfile.ZipInfo(folder), b"")
                folders.add(folder.rstrip("/"))
                continue
            name = random_name(rng, taken)
            data = random_data(rng)
            info = zipfile.ZipInfo(name, date_time=(2020 + rng.randint(0, 5), rng.randint(1, 12), 1, 12, 0, 0))
            info.compress_type = rng.choice([zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED, zipfile.ZIP_DEFLATED])
            if rng.random() < 0.2:
                info.comment = b"member comment"
            with z.open(info, "w", force_zip64=zip64) as f:
                f.write(data)
            members[name] = data
    with open(path, "wb") as f:
        f.write(prefix + buffer.getvalue())
    return members, folders, bool(prefix)


def differential(unziprun, tmp, count, seed):
    rng = random.Random(seed)
    compared = 0
    for number in range(count):
        archive = os.path.join(tmp, "gen%d.zip" % number)
        members, folders, prefixed = generated_archive(rng, archive)
        label = "archive %d (seed %d)" % (number, seed)
        # zipfile reads it back: what it reads is what the engine must write.
        with zipfile.ZipFile(archive) as z:
            expected = {i.filename: z.read(i) for i in z.infolist() if not i.is_dir()}
        check(label + ": zipfile reads what it wrote", expected == members)
        out = os.path.join(tmp, "out%d" % number)
        result = run(unziprun, "-qq", archive, "-d", out)
        # A prefix draws the engine's warning about extra bytes; the members are read all the same.
        check(label + ": exit code", result.returncode == (1 if prefixed else 0),
              "%d %s" % (result.returncode, result.stderr[:300]))
        written = files_below(out)
        check(label + ": same members", sorted(written) == sorted(expected),
              str(sorted(set(written) ^ set(expected)))[:300])
        for name, data in expected.items():
            check(label + ": member byte-exact", written.get(name) == data, name)
        check(label + ": folders", folders <= folders_below(out), str(folders - folders_below(out)))
        compared += len(expected)
        shutil.rmtree(out, ignore_errors=True)
        os.remove(archive)
    print("differential: %d archives, %d members compared with zipfile" % (count, compared), flush=True)


def write_zip(path, entries, compression=zipfile.ZIP_DEFLATED):
    """entries: (ZipInfo or name, data)."""
    with zipfile.ZipFile(path, "w", compression) as z:
        for info, data in entries:
            z.writestr(info, data)


def ends_beyond_the_buffer(data, buffer=65536):
    """True when zipfile's deflate stream of data needs its last byte before the output reaches the last
    multiple of the buffer size: a decoder that asks for input whenever zlib took all it had then fails."""
    packer = zlib.compressobj(6, zlib.DEFLATED, -15)
    packed = packer.compress(data) + packer.flush()
    return len(zlib.decompressobj(-15).decompress(packed[:-1])) < (len(data) - 1) // buffer * buffer


def binary_table():
    # Mostly zeros after a repeated 4-byte pattern, about 262,304 bytes: the size nearest to it whose last
    # deflate bytes expand beyond the free part of a 64 KiB output buffer.
    for size in sorted(range(262145, 264000), key=lambda n: abs(n - 262304)):
        table = bytearray(size)
        table[:1024] = b"\xde\xad\xbe\xef" * 256
        if ends_beyond_the_buffer(bytes(table)):
            return bytes(table)
    check("a table that ends beyond the buffer", False)
    return b""


def tools_archives(unziprun, tmp):
    # 1. Valid deflate data whose end expands beyond the free part of the output buffer.
    archive = os.path.join(tmp, "table.zip")
    table = binary_table()
    ends = {"table.bin": table, "tail.bin": os.urandom(5000) + bytes(1 << 20), "zeros.bin": bytes(5 << 20)}
    write_zip(archive, list(ends.items()))
    out = os.path.join(tmp, "table")
    result = run(unziprun, "-qq", archive, "-d", out)
    check("deflate end beyond the buffer: exit code", result.returncode == 0, result.stderr[:300])
    check("deflate end beyond the buffer: bytes", files_below(out) == ends)

    # 6, 7. As Windows tools write: the MS-DOS host, names in mixed case; an old archiver's upper-case name
    # and a folder marked only by the directory attribute.
    def dos(name, attributes=0x20):
        info = zipfile.ZipInfo(name)
        info.create_system = 0
        info.external_attr = attributes
        return info

    archive = os.path.join(tmp, "windows.zip")
    write_zip(archive, [(dos("DemoPad.exe"), b"exe"), (dos("Docs/ReadMe.txt"), b"read me"),
                        (dos("OLDNAME.TXT"), b"old"), (dos("OLDDIR", 0x10), b""), (dos("OLDDIR/INSIDE.TXT"), b"in")])
    listing = run(unziprun, "-v", archive)
    names = [line.split(" ", 1)[1] for line in listing.stdout.decode().splitlines()[:-1]]
    check("windows names: listing", names == ["DemoPad.exe", "Docs/ReadMe.txt", "oldname.txt", "olddir/",
                                              "olddir/inside.txt"], str(names))
    out = os.path.join(tmp, "windows")
    result = run(unziprun, "-qq", archive, "-d", out)
    check("windows names: exit code", result.returncode == 0, result.stderr[:300])
    check("windows names: files", files_below(out) == {"DemoPad.exe": b"exe", "Docs/ReadMe.txt": b"read me",
                                                       "oldname.txt": b"old", "olddir/inside.txt": b"in"},
          str(sorted(files_below(out))))

    # 5. Methods the engine does not decode, as zipfile writes them: named, skipped, the rest extracted.
    for method, label in ((zipfile.ZIP_BZIP2, "compression method 12"), (zipfile.ZIP_LZMA, "compression method 14")):
        archive = os.path.join(tmp, "method%d.zip" % method)
        with zipfile.ZipFile(archive, "w") as z:
            z.writestr("plain.txt", b"plain", zipfile.ZIP_DEFLATED)
            z.writestr("packed.bin", b"packed" * 1000, method)
        out = os.path.join(tmp, "method%d" % method)
        result = run(unziprun, "-qq", archive, "-d", out)
        check(label + ": exit code", result.returncode == 1, str(result.returncode))
        check(label + ": named", ("packed.bin" in result.stderr.decode() and label in result.stderr.decode()),
              result.stderr.decode()[:300])
        check(label + ": the rest extracted", files_below(out) == {"plain.txt": b"plain"})


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("unziprun")
    parser.add_argument("--archives", type=int, default=300)
    parser.add_argument("--seed", type=int, default=27)
    args = parser.parse_args()
    shm = "/dev/shm" if os.path.isdir("/dev/shm") and shutil.disk_usage("/dev/shm").free > (1 << 30) else None
    with tempfile.TemporaryDirectory(prefix="orvik-zipfile-", dir=shm) as tmp:
        tools_archives(args.unziprun, tmp)
        differential(args.unziprun, tmp, args.archives, args.seed)
    if failures:
        print("%d failures" % len(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
