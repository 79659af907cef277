#!/bin/sh
# The main job: the stand-in host loads each plug-in and shows what it offers, then has ravo.dll
# fetch the statistics from the local statistics-service stand-in over HTTPS (test CA trusted
# only by the build's Wine prefix) and delivers the debug mode's fixed list.
set -e
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
run="$build/wine-run.sh"
host="$build/testing/hostdemo.exe"
state="$build/demo/services"
fixture="$src/testing/services/services-fixture.sh"

"$fixture" start "$state" python3 "$src/testing/services/services.py" "$build/testing/services/certs"
trap '"$fixture" stop "$state"' EXIT
port=$(sed -n 's/^https=//p' "$state/ports.txt")

for plugin in provider/ravo.dll action/brasko.dll; do
  echo "== $(basename $plugin) =="
  "$run" "$host" "$build/$plugin"
  echo
done

echo "== ravo.dll: a statistics request to the service stand-in =="
"$run" "$host" "$build/provider/ravo.dll" stats 0 "https://localhost:$port/ktvinet" answer secret
echo
echo "== ravo.dll: debug mode =="
"$run" "$host" "$build/provider/ravo.dll" stats 3 "" "" ""

# A step of its own: the statistics windows as a user sees them, with screenshots.
echo
echo "== the statistics windows with ravo.dll's debug statistics =="
"$src/scripts/window-demo.sh" "$build"

# The update plug-in: an update as a user does it, with screenshots of the update window.
echo
echo "== pendrake.dll: an update against the local update service =="
"$src/scripts/update-demo.sh" "$build"
