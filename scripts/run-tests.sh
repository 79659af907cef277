#!/bin/sh
# The test command's last step: run-tests.sh <arch> <32-bit tree> <64-bit tree> <native tree> <jobs>
# <arch> is "auto" (the 32-bit Windows suite wherever this machine runs 32-bit code, natively or
# under qemu-user's emulation, and the 64-bit suite always) or "64" (the 64-bit suite only). Where
# the 32-bit suite does not run, the 32-bit deliverables still get every check that needs no
# execution.
arch=$1 win32=$2 win64=$3 native=$4 jobs=$5
status=0

if [ "$arch" = 64 ]; then
  why="WINDOWS_ARCH=64 forces the 64-bit-only path"
  rc=1
else
  why=$("$(dirname "$0")/probe-32bit.sh")
  rc=$?
fi
case $rc in
  0) run32=1 how="natively" ;;
  2) run32=1 how=$why ;;
  *) run32="" ;;
esac
if [ -n "$run32" ]; then
  summary="Windows suites run: 32-bit: $how; 64-bit: natively"
else
  summary="Windows suites run: 64-bit only; 32-bit suite skipped: $why (the 32-bit deliverables get their static checks)"
fi
echo "$summary"

suite() {
  echo "== $1 =="
  shift
  (cd "$1" && shift && ctest --output-on-failure -j"$jobs" "$@") || status=1
}
if [ -n "$run32" ]; then
  suite "32-bit Windows suite" "$win32"
else
  suite "32-bit deliverables, static checks only" "$win32" -L static
fi
suite "64-bit Windows suite" "$win64"
suite "native suite (sanitizers, fuzzer)" "$native"

echo "$summary"
exit $status
