#!/bin/sh
# The statistics windows as a user sees them: on a private Xvfb and a Wine prefix of their own,
# the stand-in host takes ravo.dll's debug statistics and shows every style of each statistics-
# window plug-in in the build's plug-in folder, saving a PNG screenshot of each window.
#   window-demo.sh <build dir>
# Wine ships no Windows fonts here, and its stand-in for the templates' "MS Shell Dlg" is wider
# than the font Windows uses at 96 dpi, so labels would not sit where the skins expect them.
# This prefix maps that font to one with the same average width (dialog units of 1.5 x 1.625
# pixels, as on Windows), gives the skins' label font "Arial", which Wine does not have here, a
# face of the same metrics, and "Arial Black" the narrow face; the test prefixes are left as they are.
set -e
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
demo="$build/demo/windows"
shots="$demo/screenshots"
rm -rf "$shots"
mkdir -p "$shots" "$demo/registry"

cp "$build"/wine-registry/*.reg "$demo/registry/"
cat >"$demo/registry/dialog-font.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"MS Shell Dlg"="DejaVu Sans Condensed"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Arial"="Liberation Sans"
"Arial Black"="DejaVu Sans Condensed"
REG
# The build's Wine wrapper with this demo's prefix and registry files.
sed -e "s|^  export WINEPREFIX=\".*-x11\"|  export WINEPREFIX=\"$demo/wineprefix\"|" \
    -e "s|^regdir=.*|regdir=\"$demo/registry\"|" "$build/wine-run.sh" >"$demo/run.sh"
chmod +x "$demo/run.sh"

"$src/scripts/xvfb-fixture.sh" start "$demo/xvfb"
trap '"$src/scripts/xvfb-fixture.sh" stop "$demo/xvfb"' EXIT

plugins=""
for dll in "$build"/plugins/*.dll; do
  [ -f "$dll" ] && plugins="$plugins $dll"
done
WINE_TEST_DISPLAY_FILE="$demo/xvfb/display" "$demo/run.sh" "$build/testing/windowdemo.exe" \
  "$build/provider/ravo.dll" "$shots" $plugins
if [ -f "$build/plugins/ostrel_only.dll" ]; then
  WINE_TEST_DISPLAY_FILE="$demo/xvfb/display" "$demo/run.sh" "$build/testing/settingsdemo.exe" \
    "$build/provider/ravo.dll" "$shots" "$build/plugins/ostrel_only.dll"
fi
echo
echo "Screenshots of the statistics windows are in $shots:"
ls -1 "$shots"
