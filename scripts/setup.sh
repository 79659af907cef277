#!/bin/sh
# Installs what the build and the tests need on Debian 12, and nothing when it is all present:
# the mingw-w64 i686 and x86_64 cross compilers, 32-bit (i386 multiarch) and 64-bit Wine, Xvfb,
# the header-only libraries, CMake, OpenSSL, Python and clang with its sanitizer and fuzzer
# runtimes, Pillow for the skin previews, a font with the metrics of the skins' label font, and the
# locale sources from which the Wine runs' ru_RU.UTF-8 locale is compiled into the build tree.
# Where this machine runs no 32-bit code natively, it also adds Debian 12's backports suite (for the
# mirror that apt's sources already use) and installs its qemu-user, which runs 32-bit Wine under
# emulation; a machine that runs 32-bit code natively gets nothing of it.
set -e
packages="g++-mingw-w64-i686 gcc-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
gcc-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb fonts-liberation
rapidjson-dev doctest-dev cmake make openssl python3 python3-pil clang libclang-rt-14-dev locales"

missing=""
for p in $packages; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) missing="$missing $p" ;;
  esac
done
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi

if [ -n "$missing" ]; then
  echo "setup: installing$missing"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
  echo "setup: done"
fi

# 32-bit code: natively (nothing to add), or under the emulator (here already, or to be added).
probe="$(dirname "$0")/probe-32bit.sh"
"$probe" >/dev/null && exit 0
[ $? -eq 2 ] && exit 0
case "$("$probe")" in
  *"runs no 32-bit code natively"*) ;;
  *) exit 0 ;;  # 32-bit Wine fails for another reason; the test command says which
esac

# The Debian mirror of apt's own sources for bookworm, in either format (deb822 or one-line).
mirror=""
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  mirror=$(awk '
    /^[[:space:]]*$/ { if (deb && bookworm && uri != "") { print uri; exit } deb = bookworm = 0; uri = ""; next }
    tolower($1) == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1 }
    tolower($1) == "uris:" { uri = $2 }
    tolower($1) == "suites:" { for (i = 2; i <= NF; i++) if ($i == "bookworm") bookworm = 1 }
    END { if (deb && bookworm && uri != "") print uri }' "$f" | head -n 1)
  [ -n "$mirror" ] && break
done
if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
  mirror=$(awk '$1 == "deb" { i = 2; if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ } if ($(i + 1) == "bookworm") { print $i; exit } }' /etc/apt/sources.list)
fi
if [ -z "$mirror" ]; then
  echo "setup: this machine runs no 32-bit code natively, and no Debian 12 mirror was found in apt's sources to add its backports suite from; the 32-bit suite will not run"
  exit 0
fi
list=/etc/apt/sources.list.d/bookworm-backports.sources
if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$mirror" | $sudo tee "$list" >/dev/null
  added="added Debian 12's backports suite (bookworm-backports, of the mirror apt already uses, in $list) and "
else
  added=""
fi
$sudo apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user >/dev/null
version=$(qemu-i386 --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9.]*\).*/\1/p')
echo "setup: this machine runs no 32-bit code natively: ${added}installed its qemu-user (qemu-i386 ${version:-?}) without recommends, to run 32-bit Wine under emulation"
