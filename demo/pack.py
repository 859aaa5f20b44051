#!/usr/bin/env python3
"""Packs a product archive of the demo package (a ZIP file, deflated):

    pack.py ARCHIVE MEMBER=SOURCE ...   a file member with the bytes of SOURCE
                    MEMBER/             a directory member
                    MEMBER=             an empty member (a "dummy.tmp" that only makes its folder exist)

Members are written in the order given, all with one fixed time stamp, so that a build packs the same
bytes every time."""
import sys
import zipfile
from pathlib import Path

STAMP = (2024, 5, 1, 12, 0, 0)


def member(archive, entry):
    if entry.endswith("/"):
        info = zipfile.ZipInfo(entry, STAMP)
        info.external_attr = (0o40755 << 16) | 0x10  # a directory, also for Windows
        archive.writestr(info, b"")
        return
    name, _, source = entry.partition("=")
    info = zipfile.ZipInfo(name, STAMP)
    info.external_attr = 0o100644 << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    archive.writestr(info, Path(source).read_bytes() if source else b"")


def main():
    target = Path(sys.argv[1])
    target.parent.mkdir(parents=True, exist_ok=True)
    partial = target.with_suffix(target.suffix + ".part")
    with zipfile.ZipFile(partial, "w") as archive:
        for entry in sys.argv[2:]:
            member(archive, entry)
    partial.replace(target)


if __name__ == "__main__":
    main()
