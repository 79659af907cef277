#!/bin/sh
# Installs what the build and the tests need on Debian 12, and nothing when it is all present:
# the mingw-w64 i686 and x86_64 cross compilers, 32-bit (i386 multiarch) and 64-bit Wine, Xvfb,
# the header-only libraries, CMake, OpenSSL, Python and clang with its sanitizer and fuzzer
# runtimes, Pillow for the skin previews, and a font with the metrics of the skins' label font.
set -e
packages="g++-mingw-w64-i686 gcc-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
gcc-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb fonts-liberation
rapidjson-dev doctest-dev cmake make openssl python3 python3-pil clang libclang-rt-14-dev"

missing=""
for p in $packages; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) missing="$missing $p" ;;
  esac
done
[ -z "$missing" ] && exit 0

echo "setup: installing$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
echo "setup: done"
