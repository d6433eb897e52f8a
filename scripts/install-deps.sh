#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, and only what is missing.
#
#   scripts/install-deps.sh [--base] [--windows] [--gui] [--fuzz] [--interop] [--all]
#
# No argument means --all: everything the tests use. Runs as root, or as a user with sudo.
set -euo pipefail

base=(
  cmake make g++ python3 git util-linux
  googletest libgtest-dev libgmock-dev libbenchmark-dev
)
# Both MinGW-w64 compilers (posix and win32 thread variants come with each), windres, and the
# 64-bit Wine that runs the win64 tests.
windows=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  mingw-w64-tools wine64 wine
)
# Windows dialogs under a virtual X server: screenshots, input, Japanese text and locale.
gui=(xvfb xauth x11-utils xdotool imagemagick fonts-ipafont-gothic locales)
fuzz=(clang libclang-rt-14-dev)
# Independent DXF readers the interoperability checks open every produced document with; LibreCAD
# renders under Xvfb and pdftoppm rasterises its PDF.
interop=(python3-ezdxf gdal-bin librecad poppler-utils xvfb xauth)

want=()
want_locale=0
(($#)) || set -- --all
for arg in "$@"; do
  case "$arg" in
    --base) want+=("${base[@]}") ;;
    --windows) want+=("${base[@]}" "${windows[@]}") ;;
    --gui) want+=("${gui[@]}"); want_locale=1 ;;
    --fuzz) want+=("${fuzz[@]}") ;;
    --interop) want+=("${base[@]}" "${interop[@]}") ;;
    --all) want+=("${base[@]}" "${windows[@]}" "${gui[@]}" "${fuzz[@]}" "${interop[@]}"); want_locale=1 ;;
    -h | --help) sed -n '2,6p' "$0"; exit 0 ;;
    *) echo "install-deps: unknown argument $arg" >&2; exit 2 ;;
  esac
done

if [[ $(id -u) -eq 0 ]]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  as_root=()
fi

missing=()
for pkg in "${want[@]}"; do
  [[ " ${missing[*]} " == *" $pkg "* ]] && continue
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$pkg")
  fi
done

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 && ${#as_root[@]} -eq 0 ]]; then
    echo "install-deps: missing ${missing[*]}, and neither root nor sudo is available" >&2
    exit 1
  fi
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "install-deps: nothing to install"
fi

# The viewer is checked under a Japanese locale too; generate it once.
if ((want_locale)) && ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "install-deps: generating the ja_JP.UTF-8 locale"
  if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    if grep -q '^# *ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
      "${as_root[@]}" sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    else
      echo 'ja_JP.UTF-8 UTF-8' | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
    fi
  fi
  "${as_root[@]}" locale-gen
fi
