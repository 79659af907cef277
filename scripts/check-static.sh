#!/bin/sh
# Every deliverable must import system DLLs only (no MinGW runtime DLL beside it).
status=0
for f in "$@"; do
  imports=$(i686-w64-mingw32-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p')
  bad=$(printf '%s\n' "$imports" | grep -iE 'libgcc|libstdc|libwinpthread|mingw' || true)
  if [ -n "$bad" ]; then echo "$f imports $bad"; status=1; fi
  echo "$(basename "$f"):" $imports
done
exit $status
