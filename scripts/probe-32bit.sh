#!/bin/sh
# Does this machine run 32-bit code? Runs a real 32-bit program (32-bit Wine's loader, an i386 ELF)
# and looks at the result; on success prints nothing and exits 0, otherwise prints why and exits 1.
# Some of our machines refuse every i386 program (the kernel runs 64-bit user code only).
loader=${PROBE_32BIT_LOADER:-/usr/lib/wine/wine}  # overridable to try the refusal road
if [ ! -x "$loader" ]; then
  echo "32-bit Wine ($loader) is not installed"
  exit 1
fi
out=$("$loader" --version 2>&1 </dev/null)
rc=$?
if [ $rc -eq 0 ]; then
  exit 0
fi
case "$out" in
  *"Exec format error"*|*"exec format error"*) reason="this machine runs no 32-bit code (running a 32-bit program failed: Exec format error)" ;;
  *) reason="running a 32-bit program failed with exit code $rc: $(printf '%s' "$out" | head -n 1)" ;;
esac
echo "$reason"
exit 1
