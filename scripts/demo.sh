#!/bin/sh
# The main job: the stand-in host loads each plug-in and shows what it offers.
set -e
build=$(cd "$1" && pwd)
run="$build/wine-run.sh"
echo "== ravo.dll =="
"$run" "$build/testing/hostdemo.exe" "$build/provider/ravo.dll"
