#!/bin/sh
# The update as a user sees it: on a private Xvfb and the build's display prefix, the stand-in
# host runs pendrake.dll's update against the demo's local update service, saves screenshots of
# the update window before and after the download, and the real updater installs the files.
#   update-demo.sh <build dir>
set -e
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
demo="$build/demo/update"
rm -rf "$demo"
mkdir -p "$demo/screenshots" "$demo/work"
cp "$build/testing/htmlengine/htmlayout.dll" "$build/testing/"
"$src/scripts/xvfb-fixture.sh" start "$demo/xvfb"
trap '"$src/scripts/xvfb-fixture.sh" stop "$demo/xvfb"' EXIT
WINE_TEST_DISPLAY_FILE="$demo/xvfb/display" "$build/wine-run.sh" "$build/testing/updatedemo.exe" \
  "$build/update/pendrake.dll" "$demo/screenshots" "$demo/work"
echo
echo "Screenshots of the update window are in $demo/screenshots:"
ls -1 "$demo/screenshots"
