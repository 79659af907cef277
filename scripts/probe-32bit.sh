#!/bin/sh
# How does this machine run 32-bit code? Runs a real 32-bit program (32-bit Wine's loader, an i386
# ELF) and looks at the result. Three answers, by exit status:
#   0  natively; prints nothing
#   2  only under qemu-user's emulation: the machine refuses i386 programs (the kernel runs 64-bit
#      user code only) but qemu-i386 10 or later runs the loader; prints one line saying so
#   1  not at all; prints why
# Options: --emulator prints the path of qemu-i386 (exit 0) when the answer is 2, and fails otherwise.
# Some of our machines refuse every i386 program; an older qemu-i386 (Debian 12's own 7.2) makes
# each Wine process cost about a minute, and on some machines Wine's start crashes under it.
loader=${PROBE_32BIT_LOADER:-/usr/lib/wine/wine}  # overridable to try the refusal roads
emulator=${PROBE_32BIT_EMULATOR:-qemu-i386}
if [ ! -x "$loader" ]; then
  echo "32-bit Wine ($loader) is not installed"
  exit 1
fi
out=$("$loader" --version 2>&1 </dev/null)
rc=$?
if [ $rc -eq 0 ]; then
  [ "$1" = --emulator ] && exit 1
  exit 0
fi
case "$out" in
  *"Exec format error"*|*"exec format error"*|*"cannot execute binary file"*)
    native="this machine runs no 32-bit code natively" ;;
  *)
    echo "running a 32-bit program failed with exit code $rc: $(printf '%s' "$out" | head -n 1)"
    exit 1 ;;
esac

qemu=$(command -v "$emulator" 2>/dev/null)
if [ -z "$qemu" ]; then
  echo "$native (running a 32-bit program failed: Exec format error) and qemu-i386 is not installed"
  exit 1
fi
version=$("$qemu" --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9][0-9.]*\).*/\1/p')
case "$version" in
  [1-9][0-9].*) ;;
  *)
    echo "$native and its qemu-i386 (${version:-of unknown version}) is older than 10, too slow for Wine"
    exit 1 ;;
esac
if ! "$qemu" "$loader" --version >/dev/null 2>&1 </dev/null; then
  echo "$native and 32-bit Wine fails under qemu-i386 $version"
  exit 1
fi
if [ "$1" = --emulator ]; then
  echo "$qemu"
  exit 0
fi
echo "under emulation (qemu-i386 $version), because $native"
exit 2
