#!/usr/bin/env bash
# Benchmark of setup.exe beside NSIS (Debian's nsis), installing and uninstalling silently under Wine (not
# part of CI):
#   scripts/bench-install.sh [RUNS] [PAYLOAD]   (default 5 runs per measurement; medians are printed, and
#                                                the lowest and highest ratio of a run to the other's beside it;
#                                                PAYLOAD demopad or generated measures only that one)
# Two payloads, each packed for both installers from the same files:
#   demopad     the demo product (setup.fil, custom.fil and the files CopyToDest names)
#   generated   5,000 files, about 200 MB of text, code-like modules and already-compressed media
# setup.exe:  setup.exe /VERYSILENT /DIR:<fresh folder>, then the uninstall entry's QuietUninstallString
#             (the first pass waits for the final pass, so the time covers the whole removal)
# NSIS:       an installer written by this script (zlib, like the deflated archives) that does what setup.exe
#             does for the payload: files, the uninstall entry's values, the same shortcuts and file types;
#             run as installer.exe /S /D=<fresh folder>, then uninstall.exe /S, which copies itself to TEMP
#             and starts the copy (as setup.exe does), timed until that copy has ended
# Time is the wall time of the Windows program under a running wineserver; memory is the peak resident set
# of the largest process of the run, sampled from /proc.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
only=${2:-}
bash scripts/install-deps.sh >/dev/null
command -v makensis >/dev/null || apt-get install -y nsis >/dev/null

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target setup setupenglish setupgerman demo_package >/dev/null

work=build/bench-install
mkdir -p "$work"
tools/wine-run --prefix "$work/wine" # a booted prefix, a display and a persistent wineserver
trap 'tools/wine-run --prefix "$work/wine" --stop || true' EXIT
python3 - "$work" "$runs" "$only" <<'PY'
import ntpath, os, shutil, statistics, subprocess, sys, tempfile, threading, time, zipfile

sys.path.insert(0, "scripts")
import benchcorpus

work, runs, only = sys.argv[1], int(sys.argv[2]), sys.argv[3]
root = os.getcwd()
state = os.path.join(root, work, "wine", "state")
env = dict(os.environ,
           WINEPREFIX=os.path.join(root, work, "wine", "prefix"), WINEDEBUG="-all",
           WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d",
           DISPLAY=open(os.path.join(state, "display")).read().strip())
WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")
DRIVE_C = os.path.join(env["WINEPREFIX"], "drive_c")
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class PeakSampler:
    """Largest VmHWM among the processes whose command line names one of the programs, sampled until
    stopped."""

    def __init__(self, programs):
        self.programs = [p.lower() for p in programs]
        self.peak_kb = 0
        self.running = True
        self.thread = threading.Thread(target=self.sample)
        self.thread.start()

    def matches(self, pid):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                first = f.read().split(b"\0")[0].decode(errors="replace").lower().replace("/", "\\")
        except OSError:
            return False
        return any(first.endswith("\\" + p) or first == p for p in self.programs)

    def sample(self):
        while self.running:
            for pid in filter(str.isdigit, os.listdir("/proc")):
                if not self.matches(pid):
                    continue
                try:
                    with open("/proc/%s/status" % pid) as f:
                        for line in f:
                            if line.startswith("VmHWM:"):
                                self.peak_kb = max(self.peak_kb, int(line.split()[1]))
                except OSError:
                    pass
            time.sleep(0.02)

    def stop(self):
        self.running = False
        self.thread.join()
        return self.peak_kb / 1024.0


def run_windows(arguments, cwd, programs, until=None):
    """Runs a Windows program; returns (seconds, peak MB). A non-zero exit code is a failed benchmark. until,
    when given, is waited for after the program ends and before the time is taken."""
    # Standard error goes to a file, not a pipe: a helper that Wine starts on the program's behalf inherits the
    # stream, and reading a pipe to its end would wait for that helper too.
    with tempfile.TemporaryFile() as errors:
        sampler = PeakSampler(programs)
        start = time.perf_counter()
        proc = subprocess.run([WINE] + arguments, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=errors)
        if until is not None:
            until()
        elapsed = time.perf_counter() - start
        peak = sampler.stop()
        if proc.returncode != 0:
            errors.seek(0)
            raise SystemExit("%s ended with exit code %d: %s" % (" ".join(arguments), proc.returncode,
                                                              errors.read().decode(errors="replace")[-500:]))
    return elapsed, peak


def registry_value(key, name):
    out = subprocess.run([WINE, "reg", "query", key, "/v", name], env=env, stdin=subprocess.DEVNULL,
                         capture_output=True).stdout.decode(errors="replace")
    for line in out.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[0] == name:
            return parts[2]
    raise SystemExit("no value %s in %s" % (name, key))


def split_command(command):
    """'"C:\\x\\setup.exe" -remove "KEY" /VERYSILENT' -> ['C:\\x\\setup.exe', '-remove', 'KEY', ...]"""
    words, word, quoted = [], "", False
    for c in command:
        if c == '"':
            quoted = not quoted
        elif c == " " and not quoted:
            if word:
                words.append(word)
            word = ""
        else:
            word += c
    return words + ([word] if word else [])


# ---- the payloads, each as a setup.exe package and as a folder of files for NSIS ------------------------

DEMO_PACKAGE = "build/win64/demo-package"
SETUP_BIN = "build/win64/setup-bin"
SETUP_PROGRAMS = ["setup.exe", "setupenglish.dll", "setupgerman.dll"]


def demopad_payload():
    package = os.path.join(work, "demopad", "package")
    files = os.path.join(work, "demopad", "files")
    for folder in (package, files):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
    for name in os.listdir(DEMO_PACKAGE):
        shutil.copy(os.path.join(DEMO_PACKAGE, name), package)
    for name in SETUP_PROGRAMS:
        shutil.copy(os.path.join(SETUP_BIN, name), package)
    # What setup.exe installs: both archives and the files CopyToDest names.
    for archive in ("setup.fil", "custom.fil"):
        with zipfile.ZipFile(os.path.join(package, archive)) as z:
            z.extractall(files)
    os.remove(os.path.join(files, "setupinfo.tmp"))  # DeleteAfterExtract
    for name in SETUP_PROGRAMS + ["LICENSE.TXT", "LIZENZ.TXT"]:
        shutil.copy(os.path.join(package, name), files)
    return package, files, "OrvikDemoPad", "demoapp.exe"


GENERATED_CFG = """AppName=BenchProduct
AppVersion=1.0
IniKey=OrvikBenchProduct
InstallPath=Orvik\\\\BenchProduct
StartmenuName=Orvik BenchProduct
IdIcon=1
StartmenuOpts=Read me;product\\\\docs\\\\00\\\\file00000.txt
StartmenuUninstall=1
CopyToDest=setup.exe|setupenglish.dll|setupgerman.dll
"""


def generated_payload():
    base = os.path.join(work, "generated")
    source, package, files = (os.path.join(base, n) for n in ("source", "package", "files"))
    stamp = os.path.join(base, "done-v1")
    if os.path.exists(stamp):
        return package, files, "OrvikBenchProduct", "setup.exe"
    shutil.rmtree(base, ignore_errors=True)
    print("generating the 5,000-file product...", flush=True)
    members = os.path.join(source, "setup.fil")
    for name, data in benchcorpus.product_files(5000, 200 << 20, 11):
        for folder in (members, files):
            path = os.path.join(folder, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
    with open(os.path.join(source, "setup.cfg"), "w", newline="\r\n") as f:
        f.write(GENERATED_CFG)
    for name in ("LICENSE.TXT", "LIZENZ.TXT", "LICENSEFR.TXT"):
        shutil.copy(os.path.join(DEMO_PACKAGE, name), source)
    for name in SETUP_PROGRAMS:
        shutil.copy(os.path.join(SETUP_BIN, name), source)
        shutil.copy(os.path.join(SETUP_BIN, name), files)
    setuppack = "build/win64/host-tools/tools/setuppack/setuppack"
    subprocess.run([setuppack, "build", source, package], check=True, stdout=subprocess.DEVNULL,
                   env=dict(os.environ, SOURCE_DATE_EPOCH="1714564800"))
    open(stamp, "w").close()
    return package, files, "OrvikBenchProduct", "setup.exe"


# What setup.exe does beyond copying, for each payload, so that the NSIS installer does the same work: the
# shortcuts of the start menu and the desktop, the file types and the values of the uninstall entry. (The
# firewall exceptions of DemoPad have no counterpart in plain NSIS and are left out of its script.)
EXTRAS = {
    "demopad": {
        "shortcuts": [("$SMPROGRAMS\\NSIS demopad\\DemoPad.lnk", "demoapp.exe", ""),
                      ("$SMPROGRAMS\\NSIS demopad\\Tools\\DemoPad Sync.lnk", "demosync.exe", "/status"),
                      ("$SMPROGRAMS\\NSIS demopad\\Read me.lnk", "docs\\readme.txt", ""),
                      ("$SMPROGRAMS\\NSIS demopad\\Uninstall DemoPad.lnk", "uninstall.exe", ""),
                      ("$DESKTOP\\NSIS DemoPad.lnk", "demoapp.exe", "")],
        "urls": [("$SMPROGRAMS\\NSIS demopad\\DemoPad on the Web.url", "http://www.demopad.example/")],
        "filetypes": [(".odemo", "NsisDemoPad.Document", "DemoPad document", "demoapp.exe,1"),
                      (".odlog", "NsisDemoPad.SyncLog", "DemoPad sync log", "demosync.exe,0"),
                      (".odnote", "NsisDemoPad.Note", "DemoPad note", "demoapp.exe,1")],
    },
    "generated": {
        "shortcuts": [("$SMPROGRAMS\\NSIS generated\\Read me.lnk", "product\\docs\\00\\file00000.txt", ""),
                      ("$SMPROGRAMS\\NSIS generated\\Uninstall BenchProduct.lnk", "uninstall.exe", "")],
        "urls": [],
        "filetypes": [],
    },
}
ENTRY_VALUES = ["DisplayName", "UninstallString", "QuietUninstallString", "InstallLocation", "DisplayIcon",
                "DisplayVersion", "Publisher", "UninstallPath", "Language"]

NSIS_SCRIPT = r"""Unicode true
Target amd64-unicode
SetCompressor zlib
Name "{name}"
OutFile "{out}"
InstallDir "$PROGRAMFILES64\NSIS Bench\{name}"
RequestExecutionLevel admin
!define ENTRY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Nsis{name}"
Section
  SetOutPath "$INSTDIR"
  File /r "{files}/*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
{entry}
  WriteRegDWORD HKLM "${{ENTRY}}" "EstimatedSize" 2500
  WriteRegDWORD HKLM "${{ENTRY}}" "NoModify" 1
  WriteRegDWORD HKLM "${{ENTRY}}" "NoRepair" 1
{install}
SectionEnd
Section "Uninstall"
{uninstall}
  DeleteRegKey HKLM "${{ENTRY}}"
  RMDir /r "$INSTDIR"
SectionEnd
"""


def nsis_installer(label, files, program):
    out = os.path.abspath(os.path.join(work, label, "nsis-%s-setup.exe" % label))
    script = os.path.join(work, label, "%s.nsi" % label)
    extras = EXTRAS[label]
    entry = "\n".join('  WriteRegStr HKLM "${ENTRY}" "%s" "$INSTDIR\\%s"' % (value, program)
                      for value in ENTRY_VALUES)
    install, uninstall = [], []
    links = [link for link, _, _ in extras["shortcuts"]] + [link for link, _ in extras["urls"]]
    folders = sorted({ntpath.dirname(link) for link in links if not link.startswith("$DESKTOP")})
    install += ['  CreateDirectory "%s"' % folder for folder in folders]
    install += ['  CreateShortcut "%s" "$INSTDIR\\%s" "%s"' % (link, target, arguments)
                for link, target, arguments in extras["shortcuts"]]
    install += ['  WriteINIStr "%s" "InternetShortcut" "URL" "%s"' % (link, url) for link, url in extras["urls"]]
    for extension, progid, description, icon in extras["filetypes"]:
        install += ['  WriteRegStr HKCR "%s" "" "%s"' % (extension, progid),
                    '  WriteRegStr HKCR "%s" "" "%s"' % (progid, description),
                    '  WriteRegStr HKCR "%s\\DefaultIcon" "" "$INSTDIR\\%s"' % (progid, icon),
                    '  WriteRegStr HKCR "%s\\shell\\open\\command" "" \'"$INSTDIR\\%s" "%%1"\'' % (
                        progid, icon.split(",")[0])]
        uninstall += ['  DeleteRegKey HKCR "%s"' % extension, '  DeleteRegKey HKCR "%s"' % progid]
    uninstall += ['  Delete "%s"' % link for link in links]
    uninstall += ['  RMDir "%s"' % folder for folder in reversed(folders)]
    with open(script, "w") as f:
        f.write(NSIS_SCRIPT.format(name=label, out=out, files=os.path.abspath(files), entry=entry,
                                   install="\n".join(install), uninstall="\n".join(uninstall)))
    subprocess.run(["makensis", "-V1", script], check=True)
    return out


# ---- one measurement of each ------------------------------------------------------------------------------

def fresh_folder(label, tool, run):
    folder = os.path.join(DRIVE_C, "bench", "%s-%s-%d" % (label, tool, run))
    shutil.rmtree(folder, ignore_errors=True)
    return folder, "C:\\bench\\%s-%s-%d" % (label, tool, run)


def orvik_once(label, package, key, run):
    folder, windows = fresh_folder(label, "orvik", run)
    install = run_windows([os.path.abspath(os.path.join(package, "setup.exe")), "/VERYSILENT",
                           "/DIR:" + windows], package, ["setup.exe"])
    if not os.path.isdir(folder):
        raise SystemExit("setup.exe installed nothing into " + windows)
    command = split_command(registry_value(UNINSTALL_KEY + "\\" + key, "QuietUninstallString"))
    uninstall = run_windows(command, folder, ["setup.exe"])
    return install, uninstall


def nsis_copies_running():
    """True while a copy of an NSIS uninstaller runs: <TEMP>/~nsu<n>.tmp/Un.exe."""
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                words = f.read().decode(errors="replace").lower()
        except OSError:
            continue
        if "\\~nsu" in words and "\\un.exe" in words:
            return True
    return False


def until_nsis_copy_ended(timeout=600):
    deadline = time.perf_counter() + timeout
    while nsis_copies_running():
        if time.perf_counter() > deadline:
            raise SystemExit("the NSIS uninstaller's copy did not end")
        time.sleep(0.005)


def nsis_once(label, installer, run):
    folder, windows = fresh_folder(label, "nsis", run)
    install = run_windows([installer, "/S", "/D=" + windows], os.path.dirname(installer),
                          [os.path.basename(installer)])
    if not os.path.isdir(folder):
        raise SystemExit("the NSIS installer installed nothing into " + windows)
    # NSIS's own way of removing everything, itself included, as setup.exe does: the uninstaller copies itself
    # into TEMP, starts the copy and ends; the copy removes the folder. The time runs until the copy has ended.
    uninstall = run_windows([windows + "\\uninstall.exe", "/S"], folder, ["uninstall.exe", "un.exe"],
                            until=until_nsis_copy_ended)
    if os.path.isdir(folder):
        raise SystemExit("the NSIS uninstaller left " + windows)
    return install, uninstall


def median_and_peak(samples):
    return statistics.median(s[0] for s in samples), max(s[1] for s in samples)


def count_files(folder):
    return sum(len(names) for _, _, names in os.walk(folder)), \
        sum(os.path.getsize(os.path.join(d, n)) for d, _, names in os.walk(folder) for n in names)


# On Windows the desktop is always there. Wine starts its desktop process with the first window of a session and
# ends it soon after the last one closes; a program that holds a window keeps it for the whole benchmark, so that
# neither installer pays for starting it.
desktop_holder = subprocess.Popen([WINE, "notepad.exe"], env=env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
time.sleep(2)
print("%d runs per measurement; medians of wall time, largest peak resident memory" % runs)
rows = []
for label, make in (("demopad", demopad_payload), ("generated", generated_payload)):
    if only and label != only:
        continue
    package, files, key, program = make()
    count, size = count_files(files)
    installer = nsis_installer(label, files, program)
    orvik, nsis = [], []
    # The two take turns, so that load from elsewhere on the machine spreads over both.
    for run in range(runs):
        orvik.append(orvik_once(label, package, key, run))
        nsis.append(nsis_once(label, installer, run))
    for phase, index in (("install", 0), ("uninstall", 1)):
        ot, om = median_and_peak([o[index] for o in orvik])
        nt, nm = median_and_peak([n[index] for n in nsis])
        # Each run of one beside the other's run next to it: how far the ratio moves with the machine's load.
        pairs = [o[index][0] / n[index][0] for o, n in zip(orvik, nsis)]
        rows.append((label, count, size, phase, ot, nt, om, nm, min(pairs), max(pairs)))

print()
print("%-10s %6s %8s  %-9s %10s %10s %7s %13s %10s %10s" % ("payload", "files", "MB", "phase", "setup s",
                                                            "NSIS s", "ratio", "run ratios", "setup MB", "NSIS MB"))
for label, count, size, phase, ot, nt, om, nm, low, high in rows:
    print("%-10s %6d %8.1f  %-9s %10.2f %10.2f %6.2fx %6.2f-%.2fx %10.1f %10.1f" % (
        label, count, size / 1e6, phase, ot, nt, ot / nt, low, high, om, nm))
PY
