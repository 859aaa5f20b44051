#!/usr/bin/env python3
"""Archives made at test time by independent tools, extracted by the engine's driver and compared byte by byte:
- Python's zipfile: 70,000 members (ZIP64 end record and locator, classic counts overflowed), and members
  with ZIP64 extra fields written to an unseekable stream (data descriptors with 8-byte sizes);
- 7-Zip (`7z a -tzip -mm=Deflate64`): Deflate64 members of a few MB whose repeats lie beyond 32 KiB;
- bsdtar (`bsdtar --format zip`, libarchive): names beyond ASCII, stored with the UTF-8 flag.
    tools_archives_check.py UNZIPRUN
Exit 0 when all match, 1 on a difference.
"""
import io
import os
import random
import shutil
import subprocess
import sys
import tempfile
import zipfile

UNZIPRUN = sys.argv[1]
failures = []


def check(label, condition, detail=""):
    if not condition:
        failures.append("%s %s" % (label, detail))
        print("FAIL", label, detail, flush=True)


def run(*args):
    return subprocess.run([UNZIPRUN] + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def extract_and_compare(label, archive, expected, out):
    result = run("-qq", archive, "-d", out)
    check(label + ": exit code", result.returncode == 0, "%d %s" % (result.returncode, result.stderr[:300]))
    found = 0
    for name, data in expected.items():
        path = os.path.join(out, name)
        if not os.path.exists(path):
            check(label + ": member written", False, name)
            continue
        with open(path, "rb") as f:
            check(label + ": member byte-exact", f.read() == data, name)
        found += 1
    written = sum(len(files) for _, _, files in os.walk(out))
    check(label + ": nothing else written", written == len(expected), "%d files" % written)
    print("%s: %d members extracted and compared" % (label, found), flush=True)


def many_members(tmp):
    count = 70000
    archive = os.path.join(tmp, "many.zip")
    expected = {}
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_STORED) as z:
        for i in range(count):
            name = "d%02d/m%05d.txt" % (i % 50, i)
            data = b"%d\n" % i
            z.writestr(name, data)
            expected[name] = data
    listing = run("-v", archive)
    lines = listing.stdout.decode().splitlines()
    check("70,000 members: listing exit code", listing.returncode == 0, listing.stderr[:300])
    check("70,000 members: listed", len(lines) == count + 1, "%d lines" % len(lines))
    check("70,000 members: total", lines[-1] == "%d total" % sum(map(len, expected.values())), lines[-1])
    extract_and_compare("70,000 members", archive, expected, os.path.join(tmp, "many"))


def streamed_zip64(tmp):
    class Unseekable(io.RawIOBase):
        def __init__(self, f):
            self.f = f

        def writable(self):
            return True

        def write(self, data):
            return self.f.write(data)

    rng = random.Random(5)
    expected = {"a/random.bin": rng.randbytes(300000), "b/text.txt": b"zip64 member\n" * 5000, "empty": b""}
    archive = os.path.join(tmp, "streamed.zip")
    with open(archive, "wb") as raw:
        with zipfile.ZipFile(Unseekable(raw), "w", zipfile.ZIP_DEFLATED) as z:
            for name, data in expected.items():
                with z.open(name, "w", force_zip64=True) as f:
                    f.write(data)
    extract_and_compare("zipfile ZIP64, data descriptors", archive, expected, os.path.join(tmp, "streamed"))


def deflate64(tmp):
    rng = random.Random(64)
    blocks = [rng.randbytes(rng.randint(1000, 30000)) for _ in range(8)]
    far = bytearray()
    while len(far) < 3000000:
        far += rng.choice(blocks) + rng.randbytes(rng.randint(33000, 60000) % 4000) + bytes(rng.randint(0, 70000))
    words = b"install setup product window file folder registry service".split()
    text = b" ".join(rng.choice(words) for _ in range(400000))
    expected = {"far.bin": bytes(far), "text.txt": text, "zeros.bin": bytes(2000000)}
    src = os.path.join(tmp, "src")
    os.makedirs(src)
    for name, data in expected.items():
        with open(os.path.join(src, name), "wb") as f:
            f.write(data)
    archive = os.path.join(tmp, "deflate64.zip")
    subprocess.run(["7z", "a", "-tzip", "-mm=Deflate64", "-mx=9", "-bso0", "-bsp0", archive] + sorted(expected),
                   cwd=src, check=True)
    with zipfile.ZipFile(archive) as z:
        check("7z: method 9", all(i.compress_type == 9 for i in z.infolist() if i.file_size))
    extract_and_compare("7z Deflate64", archive, expected, os.path.join(tmp, "deflate64"))


def bsdtar_utf8_names(tmp):
    expected = {"docs/Ölkännchen 山.txt": b"flagged\n", "Ärger & Δ 山田/Łukasz.txt": b"user\n", "plain.txt": b"ascii\n"}
    src = os.path.join(tmp, "names-src")
    for name, data in expected.items():
        os.makedirs(os.path.dirname(os.path.join(src, name)), exist_ok=True)
        with open(os.path.join(src, name), "wb") as f:
            f.write(data)
    archive = os.path.join(tmp, "names.zip")
    env = dict(os.environ, LC_ALL="C.UTF-8")
    subprocess.run(["bsdtar", "--format", "zip", "-cf", archive] + sorted(os.listdir(src)), cwd=src, env=env,
                   check=True)
    with zipfile.ZipFile(archive) as z:
        flagged = {i.filename for i in z.infolist() if i.flag_bits & 0x800}
    check("bsdtar: UTF-8 flag", {n for n in expected if not n.isascii()} <= flagged, str(sorted(flagged)))
    extract_and_compare("bsdtar UTF-8 names", archive, expected, os.path.join(tmp, "names"))


def main():
    # In memory when there is room: 70,000 files on a disk take minutes on a busy machine.
    shm = "/dev/shm" if os.path.isdir("/dev/shm") and shutil.disk_usage("/dev/shm").free > (1 << 30) else None
    with tempfile.TemporaryDirectory(prefix="orvik-tools-", dir=shm) as tmp:
        many_members(tmp)
        streamed_zip64(tmp)
        if shutil.which("7z"):
            deflate64(tmp)
        else:
            print("7z not installed: Deflate64 part skipped")
        if shutil.which("bsdtar"):
            bsdtar_utf8_names(tmp)
        else:
            print("bsdtar not installed: UTF-8 name part skipped")
    if failures:
        print("%d failures" % len(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
