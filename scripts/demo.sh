#!/usr/bin/env bash
# The main job: builds setup.exe, its language libraries and the demo product DemoPad with its package, puts
# them together in build/demo as a product maker ships them, and installs DemoPad from there under Wine.
#
#   bash scripts/demo.sh               install DemoPad and list what it left on the machine
#   bash scripts/demo.sh --uninstall   the same, then uninstall it through its uninstall entry ("program only",
#                                      as Windows' "Apps & features" starts it) and list what is left
#
# With a display of your own (WINE_RUN_USE_DISPLAY=1 and DISPLAY set) the wizard is yours to click through.
# Without one the UI robot installs DemoPad page by page (the end-to-end test in demo mode, which first removes
# an earlier DemoPad from the Wine prefix) and saves a screenshot of every page.
# Afterwards the script lists what was installed: the files, the uninstall entry, the file types and the
# shortcuts.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
remove_after=0
[[ "${1:-}" == "--uninstall" ]] && remove_after=1
bash scripts/install-deps.sh

echo "=== win64: configure and build"
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target setup setupenglish setupgerman demo_package e2e_tests service_stub

prefix=build/win64/wine
demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp build/win64/demo-package/* "$demo/"
cp build/win64/setup-bin/setup.exe build/win64/setup-bin/setup*.dll "$demo/"

stop_wine() { tools/wine-run --prefix "$prefix" --stop || true; }
trap stop_wine EXIT
# A Windows console program's output, with Linux line ends.
win() { tools/wine-run --prefix "$prefix" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

echo "=== the package in $demo"
ls -l "$demo"

status=0
# Wine sees the Linux root as drive Z:.
windemo="Z:$(echo "$root/$demo" | tr / '\\')"
interactive=0
[[ "${WINE_RUN_USE_DISPLAY:-0}" == 1 && -n "${DISPLAY:-}" ]] && interactive=1
if [[ $interactive == 1 ]]; then
  echo "=== setup.exe on your display $DISPLAY: install DemoPad"
  (cd "$demo" && "$root/tools/wine-run" --prefix "$root/$prefix" setup.exe "/LOGIT:$windemo\\setup.log") ||
    status=$?
  echo "=== setup.exe exit code: $status"
else
  echo "=== no display of yours: the UI robot installs DemoPad"
  ORVIK_DEMO_FOLDER="$windemo" tools/wine-run --prefix "$prefix" build/win64/tests/e2e/e2e_tests.exe \
    --gtest_filter='DemoInstallation.APersonInstallsDemoPadAndFindsItEverywhereWindowsLooks' </dev/null ||
    status=$?
fi

# What the machine holds now.
show_machine() {
  drive_c="$prefix/prefix/drive_c"
  destination="$drive_c/Program Files/Orvik/DemoPad"
  echo
  echo "=== installed files: C:\\Program Files\\Orvik\\DemoPad (in $destination)"
  if [[ -d "$destination" ]]; then
    (cd "$destination" && find . -mindepth 1 | sort | sed 's#^\./#  #')
  else
    echo "  (nothing installed)"
  fi
  uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvikDemoPad'
  echo "=== uninstall entry $uninstall"
  win reg query "$uninstall" || echo "  (no uninstall entry)"
  echo "=== file types"
  for key in .odemo DemoPad.Document .odlog DemoPad.SyncLog .odnote DemoPad.Note; do
    win reg query "HKCR\\$key" /s | grep -v '^$' || true
  done
  echo "=== shortcuts"
  startmenu="$drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Orvik DemoPad"
  # The desktop folder of the prefix (a real folder inside it, see tools/wine-run).
  desktop="$drive_c/users/$(id -un)/Desktop/DemoPad.LNK"
  {
    [[ -d "$startmenu" ]] && find "$startmenu" -type f
    [[ -f "$desktop" ]] && echo "$desktop"
  } | sed "s#^$drive_c#C:#" | tr / '\\' | sed 's#^#  #' | sort || true
}
show_machine
if [[ $interactive == 0 ]]; then
  echo "=== screenshots of the pages"
  echo "  $root/build/win64/screenshots/e2e/DemoInstallation.APersonInstallsDemoPadAndFindsItEverywhereWindowsLooks"
fi
echo "=== setup's log: $demo/setup.log"
echo "=== result: $([[ $status == 0 ]] && echo "DemoPad installed" || echo "failed ($status)")"

if [[ $remove_after == 1 && $status == 0 ]]; then
  if [[ $interactive == 1 ]]; then
    echo "=== uninstall DemoPad on your display: its uninstall entry's command line"
    (cd "$destination" && "$root/tools/wine-run" --prefix "$root/$prefix" setup.exe -remove OrvikDemoPad) ||
      status=$?
  else
    echo "=== no display of yours: the UI robot uninstalls DemoPad (program only) through its uninstall entry"
    ORVIK_DEMO_FOLDER="$windemo" tools/wine-run --prefix "$prefix" build/win64/tests/e2e/e2e_tests.exe \
      --gtest_filter='DemoUninstallation.ProgramOnlyRemovesWhatWasInstalledAndKeepsTheUsersFiles' </dev/null ||
      status=$?
    echo "=== screenshots of the uninstall pages"
    echo "  $root/build/win64/screenshots/e2e/DemoUninstallation.ProgramOnlyRemovesWhatWasInstalledAndKeepsTheUsersFiles"
  fi
  echo
  echo "=== what is left after the uninstallation (the user's own files and the protected settings stay)"
  show_machine
  echo "=== result: $([[ $status == 0 ]] && echo "DemoPad uninstalled" || echo "uninstall failed ($status)")"
fi
exit "$status"
