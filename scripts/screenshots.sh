#!/usr/bin/env bash
# Takes the screenshots of the README (docs/quillmark-main.png and
# docs/quillmark-result.png): Quillmark.exe in a Wine desktop on a virtual X
# server, with three sample drawings added through the open dialog and
# converted. Run after scripts/wintest.sh has built build/win.
set -euo pipefail
# A Linux path as Wine's programs name it: the prefix maps drive Z: to /.
# (winepath does the same but, on a prefix's first start, may fail silently.)
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
cd "$(dirname "$0")/.."
root=$PWD
export WINEPREFIX="${WINEPREFIX:-$root/build/win/wineprefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
[ -f "$WINEPREFIX/.quillmark-ready" ] || bash scripts/setup-win.sh

for n in $(seq 90 130); do
  if [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-shots.XXXXXX")
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true; rm -f "$WINEPREFIX/dosdevices/d:"; rm -rf "$scratch"' EXIT
export DISPLAY="$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# The drawings on a drive D: of their own, for short paths in the pictures.
ln -sfn "$scratch" "$WINEPREFIX/dosdevices/d:"
mkdir -p "$scratch/prog" "$scratch/samples"
cp build/win/app/win32/Quillmark.exe "$scratch/prog/"
wine build/win/tools/makesamples/makesamples.exe "$(winpath "$scratch/samples")" >/dev/null
mv "$scratch/samples" "$scratch/図面"
# The open dialog starts in the drawings' folder (line 10 of the settings).
printf '192\r\n107\r\n478\r\n264\r\n176\r\n222\r\n129\r\n456\r\n293\r\n%s\\\r\n' "$(winpath "$scratch/図面")" \
  >"$scratch/prog/Quillmark.dat"
(cd "$scratch/prog" && wine explorer /desktop=quillmark,720x460 Quillmark.exe >/dev/null 2>&1) &
desktop=$(timeout 60 xdotool search --sync --name '^quillmark - Wine desktop$' | head -1)
xdotool mousemove --window "$desktop" 10 10
sleep 3
xdotool key alt+a
sleep 2
xdotool type --delay 10 '"plan_v600.jww" "plan_v700.jww" "visible_v420.jww"'
xdotool key Return
sleep 2
import -window "$desktop" -crop 500x285+182+97 +repage docs/quillmark-main.png
xdotool key alt+t
sleep 3
import -window "$desktop" -crop 476x315+212+119 +repage docs/quillmark-result.png
xdotool key Escape
sleep 1
xdotool key alt+x
sleep 2
echo "docs/quillmark-main.png docs/quillmark-result.png written"
