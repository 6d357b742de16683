#!/usr/bin/env bash
# Takes the screenshot of the preview of a drawing with elements far off its
# sheet: Quillmark.exe in a Wine desktop on a virtual X server, started with
# the plan whose old drafts lie 40 m aside (makesamples --strays):
#   docs/preview-strays.png   the window with the drawing selected
#   docs/preview-picked.png   then its hidden group picked in the pane's list
# Run after scripts/wintest.sh has built build/win.
set -euo pipefail
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
cd "$(dirname "$0")/.."
root=$PWD
export WINEPREFIX="${WINEPREFIX:-$root/build/win/wineprefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
[ -f "$WINEPREFIX/.quillmark-ready" ] || bash scripts/setup-win.sh

for n in $(seq 90 130); do
  if [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-shots.XXXXXX")
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true; rm -f "$WINEPREFIX/dosdevices/d:"; rm -rf "$scratch"' EXIT
export DISPLAY="$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

ln -sfn "$scratch" "$WINEPREFIX/dosdevices/d:"
mkdir -p "$scratch/prog" "$scratch/samples"
cp build/win/app/win32/Quillmark.exe "$scratch/prog/"
wine build/win/tools/makesamples/makesamples.exe --strays "$(winpath "$scratch/samples/strays_v600.jww")" >/dev/null
mv "$scratch/samples" "$scratch/図面"
# The main window at (10, 10), 1000 × 620, its pane 520 wide.
printf '10\r\n10\r\n1000\r\n620\r\n1000\r\n320\r\n180\r\n640\r\n330\r\nD:\\図面\\\r\n' >"$scratch/prog/Quillmark.dat"
printf '[Quillmark]\r\nMaximized=0\r\nColumns=150,80,90,180,220,280\r\nPaneWidth=520\r\n' >"$scratch/prog/Quillmark.ini"
(cd "$scratch/prog" && wine explorer /desktop=quillmark,1260x760 Quillmark.exe 'D:\図面' >/dev/null 2>&1) &
desktop=$(timeout 60 xdotool search --sync --name '^quillmark - Wine desktop$' | head -1)
xdotool mousemove --window "$desktop" 1255 755
sleep 4
xdotool key Down
sleep 3
import -window "$desktop" -crop 1000x620+10+10 +repage docs/preview-strays.png
# The hidden group picked in the pane's list: its material drawn deeper and wider.
xdotool mousemove --window "$desktop" 620 467 click 1
sleep 2
import -window "$desktop" -crop 1000x620+10+10 +repage docs/preview-picked.png
xdotool key alt+x
sleep 2
echo "docs/preview-strays.png docs/preview-picked.png written"
