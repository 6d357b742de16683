#!/usr/bin/env bash
# Takes the screenshots of the README: Quillmark.exe in a Wine desktop on a
# virtual X server, started with a folder of four drawings on its command
# line (nothing hidden, hidden material, everything hidden, a damaged file):
#   docs/quillmark-main.png       the list inspected, the detail pane with its preview
#   docs/quillmark-result.png     the result window after Convert
#   docs/quillmark-converted.png  the list with the outcomes
#   docs/quillmark-first-start.png, quillmark-maximised.png, quillmark-144dpi.png
#                                 the whole desktop: a first start, a window
#                                 kept maximised, a first start at 150 %
# Run after scripts/wintest.sh has built build/win.
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
Xvfb "$display" -screen 0 1440x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-shots.XXXXXX")
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true; rm -f "$WINEPREFIX/dosdevices/d:"; rm -rf "$scratch"' EXIT
export DISPLAY="$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# The drawings on a drive D: of their own, for short paths in the pictures.
ln -sfn "$scratch" "$WINEPREFIX/dosdevices/d:"
# Settings an installed copy left in the user's folder would be read first.
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Quillmark
mkdir -p "$scratch/prog"
cp build/win/app/win32/Quillmark.exe "$scratch/prog/"
wine build/win/tools/makesamples/makesamples.exe --window "$(winpath "$scratch/samples")" >/dev/null
mv "$scratch/samples" "$scratch/図面"
# The main window at (10, 10), 1400 × 560; the result window at (320, 180), 640 × 330.
printf '10\r\n10\r\n1400\r\n560\r\n1000\r\n320\r\n180\r\n640\r\n330\r\nD:\\図面\\\r\n' >"$scratch/prog/Quillmark.dat"
printf '[Quillmark]\r\nMaximized=0\r\nColumns=150,80,90,180,220,150,280\r\nPaneWidth=420\r\n' >"$scratch/prog/Quillmark.ini"
(cd "$scratch/prog" && wine explorer /desktop=quillmark,1420x720 Quillmark.exe 'D:\図面' >/dev/null 2>&1) &
desktop=$(timeout 60 xdotool search --sync --name '^quillmark - Wine desktop$' | head -1)
xdotool mousemove --window "$desktop" 1415 715
sleep 4
xdotool key Down Down Down  # plan_v600.jww, third in name order
sleep 3
import -window "$desktop" -crop 1400x560+10+10 +repage docs/quillmark-main.png
xdotool key alt+t
sleep 4
import -window "$desktop" -crop 640x330+320+180 +repage docs/quillmark-result.png
xdotool key Escape
sleep 2
import -window "$desktop" -crop 1400x560+10+10 +repage docs/quillmark-converted.png
xdotool key alt+x
sleep 2

# The whole desktop with Quillmark as it starts: shot name, then the
# settings files written beforehand (none: a first start).
shoot() {
  local name=$1
  (cd "$scratch/prog" && wine explorer /desktop=quillmark,1420x720 Quillmark.exe 'D:\図面' >/dev/null 2>&1) &
  desktop=$(timeout 60 xdotool search --sync --name '^quillmark - Wine desktop$' | head -1)
  xdotool mousemove --window "$desktop" 1415 715
  sleep 5
  xdotool key Down Down Down
  sleep 3
  import -window "$desktop" "docs/$name"
  xdotool key alt+x
  sleep 2
  wineserver -w 2>/dev/null || true
}
rm -f "$scratch/prog/Quillmark.dat" "$scratch/prog/Quillmark.ini"
shoot quillmark-first-start.png
printf '[Quillmark]\r\nMaximized=1\r\n' >"$scratch/prog/Quillmark.ini"
shoot quillmark-maximised.png
rm -f "$scratch/prog/Quillmark.dat" "$scratch/prog/Quillmark.ini"
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
shoot quillmark-144dpi.png
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
echo "docs/quillmark-main.png docs/quillmark-result.png docs/quillmark-converted.png" \
  "docs/quillmark-first-start.png docs/quillmark-maximised.png docs/quillmark-144dpi.png written"
