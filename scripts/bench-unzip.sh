#!/usr/bin/env bash
# Benchmark of the archive engine beside its peers (not part of CI):
#   scripts/bench-unzip.sh [RUNS]          (default 5 runs per measurement; medians are printed)
# Builds a deterministic product-like corpus (about 5,000 files, ~200 MB of text, executables and
# already-compressed data; Python zipfile, deflate level 6) and times, in one run:
#   unziprun -qq           the engine extracting the whole archive
#   UNZIPPER loop          list, then ExtractFile for every member (the installer's copy step)
#   bsdtar -xf, 7z x, Python zipfile.extractall
# plus 1,000 versus 10,000 small members (linear scaling) and peak memory with small and huge members;
# then Deflate64 beside deflate (the same files packed by 7-Zip with both methods, unziprun's throughput),
# and a ZIP64 member just over 4 GiB of zeros (Python zipfile) extracted with its CRC checked and its peak
# memory reported.
# BENCH_PARTS chooses sections (default: all): corpus (with scaling and memory), deflate64, zip64.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}

cmake --preset native >/dev/null
cmake --build --preset native --target unziprun unzipper_loop >/dev/null

work=build/bench-unzip
# Extraction goes to memory (tmpfs) when there is one, so that disk write-back does not drown the
# differences between the programs; BENCH_OUT chooses another folder.
out=${BENCH_OUT:-}
if [[ -z "$out" ]]; then
    if [[ -d /dev/shm && $(df -Pk /dev/shm | awk 'NR==2 {print $4}') -gt 2000000 ]]; then
        out=/dev/shm/orvik-bench-unzip
    else
        out=$work/out
    fi
fi
mkdir -p "$work"
python3 - "$work" "$runs" "$out" "${BENCH_PARTS:-corpus deflate64 zip64}" <<'PY'
import os, random, shutil, statistics, subprocess, sys, time, zipfile, zlib

sys.path.insert(0, "scripts")
import benchcorpus

work, runs, out_dir = sys.argv[1], int(sys.argv[2]), sys.argv[3]
parts = sys.argv[4].split()
CORPUS_VERSION = "1"
UNZIPRUN = "build/native/unzip/tool/unziprun"
LOOP = "build/native/unzip/tool/unzipper_loop"


def build_corpus(path, count, total, seed, huge=0):
    tmp = path + ".tmp"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        for name, data in benchcorpus.product_files(count, total, seed, huge):
            z.writestr(name, data)
    os.replace(tmp, path)


def corpus(name, count, total, seed, huge=0):
    path = os.path.join(work, "%s-v%s.zip" % (name, CORPUS_VERSION))
    if not os.path.exists(path):
        print("building %s (%d members)..." % (path, count), flush=True)
        build_corpus(path, count, total, seed, huge)
    return path


def run_once(command, out):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    os.sync()
    peak_file = os.path.join(work, "peak.txt")
    # GNU time reports the peak RSS of the program itself (a fork of this Python would report ours).
    wrapped = ["/usr/bin/time", "-f", "%M %U %S", "-o", peak_file] + command
    start = time.perf_counter()
    proc = subprocess.run(wrapped, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if proc.returncode != 0:
        raise SystemExit("%s failed with %d: %s" % (" ".join(command), proc.returncode,
                                                     proc.stderr.decode(errors="replace")[:500]))
    with open(peak_file) as f:
        peak_kb, user, system = f.read().split()[-3:]
    return elapsed, int(peak_kb) / 1024.0, float(user) + float(system)


def measure(tools, archive):
    """Median time and largest peak per tool. The tools take turns run after run, so that load from
    elsewhere on the machine spreads over all of them instead of spoiling one."""
    times = {label: [] for label, _ in tools}
    peaks = {label: [] for label, _ in tools}
    cpus = {label: [] for label, _ in tools}
    for _ in range(runs):
        for label, command_for in tools:
            t, m, c = run_once(command_for(archive, out_dir), out_dir)
            times[label].append(t)
            peaks[label].append(m)
            cpus[label].append(c)
    shutil.rmtree(out_dir, ignore_errors=True)
    return {label: (statistics.median(times[label]), max(peaks[label]), statistics.median(cpus[label]))
            for label, _ in tools}


TOOLS = [
    ("unziprun (whole archive)", lambda a, o: [UNZIPRUN, "-qq", a, "-d", o]),
    ("UNZIPPER per-member loop", lambda a, o: [LOOP, a, o]),
    ("bsdtar -xf", lambda a, o: ["bsdtar", "-xf", a, "-C", o]),
    ("7z x", lambda a, o: ["7z", "x", "-y", "-bso0", "-bsp0", "-o" + o, a]),
    ("python zipfile.extractall", lambda a, o: [sys.executable, "-c",
        "import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])", a, o]),
]

def corpus_part():
    main = corpus("corpus", 5000, 200 << 20, 1)
    small1k = corpus("small-1k", 1000, 2 << 20, 2)
    small10k = corpus("small-10k", 10000, 20 << 20, 3)
    huge = corpus("huge-member", 10, 1 << 20, 4, huge=150 << 20)
    with zipfile.ZipFile(main) as z:
        infos = z.infolist()
        print("corpus: %d members, %.1f MB uncompressed, %.1f MB archive" % (
            len(infos), sum(i.file_size for i in infos) / 1e6, os.path.getsize(main) / 1e6))
    print("runs per measurement: %d (median time, largest peak RSS); output folder %s\n" % (runs, out_dir))

    results = measure(TOOLS, main)
    print("%-28s %10s %10s %10s %10s %12s" % ("whole corpus", "median s", "vs bsdtar", "cpu s", "cpu vs", "peak RSS MB"))
    base = results["bsdtar -xf"][0]
    base_cpu = results["bsdtar -xf"][2]
    for label, _ in TOOLS:
        t, m, c = results[label]
        print("%-28s %10.3f %10.2f %10.3f %10.2f %12.1f" % (label, t, t / base, c, c / base_cpu, m))
    whole = results["unziprun (whole archive)"][0]
    loop = results["UNZIPPER per-member loop"][0]
    print("\nper-member loop / whole-archive run: %.2f (goal <= 1.20)" % (loop / whole))
    print("whole-archive run / bsdtar:          %.2f (goal < 1.00)" % (whole / base))

    print("\n%-28s %10s %10s %10s" % ("scaling", "1k s", "10k s", "10k/1k"))
    scale1k = measure(TOOLS[:3], small1k)
    scale10k = measure(TOOLS[:3], small10k)
    for label, _ in TOOLS[:3]:
        a, b = scale1k[label][0], scale10k[label][0]
        print("%-28s %10.3f %10.3f %10.2f" % (label, a, b, b / a))
    print("goal: ten times the members within eleven times the time")

    big = measure(TOOLS[:3], huge)
    print("\n%-28s %14s %14s" % ("peak RSS MB", "5,000 members", "150 MB member"))
    for label, _ in TOOLS[:3]:
        print("%-28s %14.1f %14.1f" % (label, results[label][1], big[label][1]))


def deflate64_part():
    """The same files packed by 7-Zip with deflate and with Deflate64; unziprun's throughput on each."""
    base = os.path.join(work, "methods-v1")
    archives = {m: os.path.join(work, "methods-%s-v1.zip" % m.lower()) for m in ("Deflate", "Deflate64")}
    if not all(os.path.exists(a) for a in archives.values()):
        print("building the deflate and Deflate64 archives (7-Zip)...", flush=True)
        shutil.rmtree(base, ignore_errors=True)
        rng = random.Random(7)
        pool = benchcorpus.text_pool(rng, 2 << 20)
        os.makedirs(base)
        for i in range(40):
            size = 1 << 20 if i % 4 else 4 << 20
            data = benchcorpus.executable(rng, size, pool) if i % 2 else (pool * 3)[i * 1000:i * 1000 + size]
            with open(os.path.join(base, "file%02d.bin" % i), "wb") as f:
                f.write(data)
        for method, path in archives.items():
            subprocess.run(["7z", "a", "-tzip", "-mm=" + method, "-mx=5", "-bso0", "-bsp0",
                            os.path.abspath(path), "."], cwd=base, check=True)
    with zipfile.ZipFile(archives["Deflate"]) as z:
        total = sum(i.file_size for i in z.infolist())
    tools = [("unziprun " + m, (lambda a: lambda _, o: [UNZIPRUN, "-qq", a, "-d", o])(path))
             for m, path in archives.items()]
    results = measure(tools, None)
    print("\n%-28s %10s %10s %10s %10s %11s %12s" % ("7-Zip archive, %.0f MB" % (total / 1e6), "median s",
                                                     "MB/s", "cpu s", "cpu MB/s", "archive MB", "peak RSS MB"))
    for (label, _), path in zip(tools, archives.values()):
        t, m, c = results[label]
        print("%-28s %10.3f %10.1f %10.3f %10.1f %11.1f %12.1f" % (label, t, total / t / 1e6, c, total / c / 1e6,
                                                                 os.path.getsize(path) / 1e6, m))


def zip64_part():
    """A member just over 4 GiB of zeros (ZIP64 sizes in both headers), extracted with its CRC checked."""
    size = (4 << 30) + (1 << 20) + 3
    path = os.path.join(work, "zeros-4g-v1.zip")
    if not os.path.exists(path):
        print("building %s (Python zipfile, %d bytes of zeros)..." % (path, size), flush=True)
        chunk = bytes(8 << 20)
        with zipfile.ZipFile(path + ".tmp", "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
            with z.open("zeros.bin", "w", force_zip64=True) as f:
                left = size
                while left:
                    n = min(left, len(chunk))
                    f.write(chunk[:n])
                    left -= n
        os.replace(path + ".tmp", path)
    # 4 GiB of output: in memory only when there is plenty of it.
    target = out_dir if shutil.disk_usage(os.path.dirname(out_dir) or ".").free > (6 << 30) else \
        os.path.join(work, "out-zip64")
    listing = subprocess.run([UNZIPRUN, "-v", path], stdout=subprocess.PIPE, check=True).stdout.decode().split()
    t, peak, cpu = run_once([UNZIPRUN, "-qq", path, "-d", target], target)
    written = os.path.getsize(os.path.join(target, "zeros.bin"))
    shutil.rmtree(target, ignore_errors=True)
    print("\nZIP64 member of %d bytes of zeros (%.1f MB archive): listed as %s bytes" % (
        size, os.path.getsize(path) / 1e6, listing[0]))
    print("unziprun: exit 0 (CRC checked), %d bytes written, %.1f s, %.0f MB/s, cpu %.1f s, peak RSS %.1f MB" % (
        written, t, size / t / 1e6, cpu, peak))
    if written != size or listing[0] != str(size):
        raise SystemExit("ZIP64 member: wrong size")
    if peak > 64:
        raise SystemExit("ZIP64 member: peak memory %.1f MB is not bounded" % peak)


if "corpus" in parts:
    corpus_part()
if "deflate64" in parts:
    deflate64_part()
if "zip64" in parts:
    zip64_part()
PY
