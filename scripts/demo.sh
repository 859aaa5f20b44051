#!/usr/bin/env bash
# The main job: builds setup.exe and its language libraries and runs setup.exe under Wine from a demo folder,
# with its log switched on; prints the log and the exit code.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

echo "=== win64: configure and build"
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target setup setupenglish setupgerman

prefix=build/win64/wine
demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp build/win64/setup-bin/setup.exe build/win64/setup-bin/setup*.dll "$demo/"
log="$demo/setup.log"

stop_wine() { tools/wine-run --prefix "$prefix" --stop || true; }
trap stop_wine EXIT

echo "=== running setup.exe in $demo"
status=0
# Wine sees the Linux root as drive Z:.
(cd "$demo" && ../../tools/wine-run --prefix "../../$prefix" setup.exe "/LOGIT:Z:$(pwd)/setup.log") || status=$?

echo "=== log ($log)"
if [[ -f "$log" ]]; then tr -d '\r' <"$log"; else echo "(no log written)"; fi
echo "=== setup.exe exit code: $status"
exit "$status"
