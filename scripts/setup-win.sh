#!/usr/bin/env bash
# Installs what cross-building and testing the Windows programs needs on a
# Debian machine (mingw-w64, Wine, a virtual X server, xdotool, ImageMagick,
# a Japanese font, and the GoogleTest sources), and prepares a Wine prefix in which "ＭＳ ゴシック"
# and the other Japanese faces of Windows are shown with IPAGothic.
#   WINEPREFIX  the prefix to prepare (default: build/win/wineprefix)
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake make libgtest-dev g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb x11-utils xdotool
          imagemagick fonts-ipafont-gothic)
bash scripts/install-missing.sh "${packages[@]}"

export WINEPREFIX="${WINEPREFIX:-$PWD/build/win/wineprefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.quillmark-ready" ]; then
  echo "Preparing the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  reg="$WINEPREFIX/fonts-ja.reg"
  # regedit reads .reg files as UTF-16 with a byte-order mark.
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ ゴシック"="IPAGothic"
"MS Gothic"="IPAGothic"
"ＭＳ Ｐゴシック"="IPAPGothic"
"MS PGothic"="IPAPGothic"
"MS UI Gothic"="IPAPGothic"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]
"Tahoma"=hex(7):49,00,50,00,41,00,47,00,6f,00,74,00,68,00,69,00,63,00,00,00,00,00
"MS Shell Dlg"=hex(7):49,00,50,00,41,00,47,00,6f,00,74,00,68,00,69,00,63,00,00,00,00,00
"MS Shell Dlg 2"=hex(7):49,00,50,00,41,00,47,00,6f,00,74,00,68,00,69,00,63,00,00,00,00,00
"Microsoft Sans Serif"=hex(7):49,00,50,00,41,00,47,00,6f,00,74,00,68,00,69,00,63,00,00,00,00,00
REG
  wine regedit /S "$reg" >/dev/null 2>&1
  # The window captions' buttons are drawn with Marlett.
  [ -f /usr/share/wine/fonts/marlett.ttf ] && cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  wineserver -w
  touch "$WINEPREFIX/.quillmark-ready"
fi
