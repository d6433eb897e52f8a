#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, and only what is missing.
#
#   scripts/install-deps.sh [--base] [--windows] [--gui] [--fuzz] [--interop] [--win32-run] [--all]
#                           [--exports]
#
# No argument means --all: everything the tests use. --exports is not part of it: the programs
# that wrote tests/data/exports/ (make-exports.py there), needed only to write those files again. Runs as root, or as a user with sudo.
# --win32-run makes the shipped 32-bit programs run: the i386 Wine loader, started through qemu's
# user-mode emulation because this kernel runs no 32-bit programs itself.
set -euo pipefail

base=(
  cmake make g++ python3 git util-linux
  googletest libgtest-dev libgmock-dev libbenchmark-dev
)
# Both MinGW-w64 compilers (posix and win32 thread variants come with each), windres, the 64-bit
# Wine that runs the win64 tests, and pefile, with which the release's programs are checked.
windows=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  mingw-w64-tools wine64 wine python3-pefile
)
# Windows dialogs under a virtual X server: screenshots, input, Japanese text and locale.
gui=(xvfb xauth x11-utils xdotool imagemagick fonts-ipafont-gothic locales)
fuzz=(clang libclang-rt-14-dev)
# Independent DXF readers the interoperability checks open every produced document with; LibreCAD
# renders under Xvfb and pdftoppm rasterises its PDF.
interop=(python3-ezdxf gdal-bin librecad poppler-utils xvfb xauth)
win32run=(qemu-user-static wine32:i386)
exports=(python3-numpy python3-pandas python3-gdal gdal-bin r-base-core octave libreoffice-calc-nogui)

want=()
want_locale=0
want_win32=0
(($#)) || set -- --all
for arg in "$@"; do
  case "$arg" in
    --base) want+=("${base[@]}") ;;
    --windows) want+=("${base[@]}" "${windows[@]}") ;;
    --gui) want+=("${gui[@]}"); want_locale=1 ;;
    --fuzz) want+=("${fuzz[@]}") ;;
    --interop) want+=("${base[@]}" "${interop[@]}") ;;
    --win32-run) want+=("${base[@]}" "${windows[@]}" "${win32run[@]}"); want_win32=1 ;;
    --exports) want+=("${exports[@]}") ;;
    --all)
      want+=("${base[@]}" "${windows[@]}" "${gui[@]}" "${fuzz[@]}" "${interop[@]}" "${win32run[@]}")
      want_locale=1
      want_win32=1
      ;;
    -h | --help) sed -n '2,11p' "$0"; exit 0 ;;
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
  # wine32:i386 comes from the i386 architecture, which apt knows only once dpkg does.
  if ((want_win32)) && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "install-deps: adding the i386 architecture"
    "${as_root[@]}" dpkg --add-architecture i386
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

# 32-bit programs through qemu: binfmt_misc hands every i386 ELF program to qemu-i386-static. The F
# flag opens the interpreter now, so that it works in any mount namespace later.
if ((want_win32)) && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  [[ -x /usr/lib/wine/wine ]] ||
    { echo "install-deps: the 32-bit Wine loader /usr/lib/wine/wine is missing (package wine32:i386)" >&2; exit 1; }
  binfmt=/proc/sys/fs/binfmt_misc
  if [[ ! -e $binfmt/register ]]; then
    echo "install-deps: mounting binfmt_misc"
    "${as_root[@]}" mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
      { echo "install-deps: cannot mount binfmt_misc on $binfmt, so 32-bit programs cannot run here (a container without that right?)" >&2; exit 1; }
  fi
  if [[ -e $binfmt/qemu-i386 ]]; then
    echo 1 | "${as_root[@]}" tee "$binfmt/qemu-i386" >/dev/null  # registered, perhaps disabled
  else
    echo "install-deps: registering qemu-i386-static for 32-bit programs"
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    printf '%s' ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:F" | "${as_root[@]}" tee "$binfmt/register" >/dev/null ||
      { echo "install-deps: cannot register qemu-i386-static with binfmt_misc, so 32-bit programs cannot run here" >&2; exit 1; }
  fi
  /usr/lib/wine/wine --version >/dev/null 2>&1 ||
    { echo "install-deps: the 32-bit Wine loader still does not start (see: /usr/lib/wine/wine --version)" >&2; exit 1; }
fi
