#!/usr/bin/env bash
# CTest fixture of the tests that install onto a small drive: an 8 MB tmpfs at FOLDER, which tools/wine-run
# maps to drive R: of the prefix (it maps "drive-r" beside the prefix when that folder exists).
#   small_drive.sh start FOLDER     mounts it (empty)
#   small_drive.sh stop FOLDER      unmounts it
# A machine that does not allow the mount gets a warning; the tests then find no small R: and skip.
set -uo pipefail
action=$1
folder=$2
case "$action" in
  start)
    mkdir -p "$folder"
    if mountpoint -q "$folder"; then
      umount "$folder"
    fi
    if ! mount -t tmpfs -o size=8m,mode=0777 tmpfs "$folder"; then
      echo "small_drive: cannot mount an 8 MB tmpfs at $folder: the small-drive tests will skip" >&2
    fi
    ;;
  stop)
    if mountpoint -q "$folder"; then
      umount "$folder"
    fi
    ;;
  *) echo "usage: small_drive.sh start|stop FOLDER" >&2; exit 2 ;;
esac
exit 0
