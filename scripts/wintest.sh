#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 (build/win) and tests them
# under Wine on a virtual X server:
#   1. the window tests (the windows of Quillmark.exe driven in-process),
#   2. Quillmark.exe as a user meets it: Alt+A, pick a drawing, a second
#      start that hands another drawing to the running window (as "Send to"
#      does), Alt+T, close the report, Alt+X; then the outputs and the
#      settings files,
#   3. quillmark-cli.exe: the report as UTF-8 or Shift-JIS bytes when
#      redirected, as text on a console whose code page stays as it was;
#      wildcard patterns and folders expanded by the program itself, -r, -o
#      and the JSON report,
#   4. the packages of scripts/package-win.sh: the zip, and the installer
#      installed, used and removed (scripts/wintest-package.sh).
set -euo pipefail
# A Linux path as Wine's programs name it: the prefix maps drive Z: to /.
# (winepath does the same but, on a prefix's first start, may fail silently.)
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/setup-win.sh
export WINEPREFIX="${WINEPREFIX:-$root/build/win/wineprefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8

bash scripts/build-win.sh
exe=build/win/app/win32/Quillmark.exe
cli=build/win/app/cli/quillmark-cli.exe

# A virtual X server of our own, and Wine's server for the prefix; both end
# with this script.
for n in $(seq 90 130); do
  if [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-wintest.XXXXXX")
cleanup() {
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
export DISPLAY="$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fail() { echo "FAIL: $*" >&2; exit 1; }

# The system scale (DPI) of the prefix: 100 % but for the test made for 150 %.
scale() { wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
scale 96
echo "== window tests"
wine build/win/tests/win32/window_test.exe
echo "== window tests at a scale of 150 %"
scale 144
# The prefix goes back to 100 % whatever the test's outcome (a prefix left at
# 150 % would fail every later run's window tests).
dpi=0
wine build/win/tests/win32/window_test.exe --gtest_also_run_disabled_tests --gtest_filter='WindowDpiTest.*' || dpi=$?
scale 96
[ "$dpi" = 0 ] || fail "the window tests at 150 % failed"

echo "== Quillmark.exe under Wine, driven by keyboard"
# Settings an installed copy left in the user's folder (an earlier run's
# package test) would be read first.
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Quillmark
mkdir -p "$scratch/prog" "$scratch/data"
cp "$exe" "$scratch/prog/"
wine build/win/tools/makesamples/makesamples.exe "$(winpath "$scratch/data")" >/dev/null
drawing_w=$(winpath "$scratch/data/plan_v700.jww")
# Waits (at most a minute) for a visible window of that exact name.
window() { timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" | head -1; }
gone() {
  for _ in $(seq 600); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "the window $1 stays open"
}
(cd "$scratch/prog" && exec wine Quillmark.exe >"$scratch/wine.log" 2>&1) &
app=$!
main=$(window Quillmark) || fail "no main window"
xdotool windowfocus --sync "$main" key --window "$main" alt+a
dialog=$(window Open) || fail "Alt+A opened no dialog"
xdotool windowfocus --sync "$dialog"
xdotool type --delay 10 "$drawing_w"
xdotool key Return
gone Open
# A second start with a drawing on its command line hands it over and ends.
(cd "$scratch/prog" && timeout 60 wine Quillmark.exe "$(winpath "$scratch/data/plan_v600.jww")") ||
  fail "the second start did not end by itself"
[ "$(xdotool search --onlyvisible --name '^Quillmark$' | wc -l)" = 1 ] || fail "a second main window opened"
xdotool windowfocus --sync "$main" key --window "$main" alt+t
report=$(window 変換結果) || fail "Alt+T showed no report"
xdotool windowfocus --sync "$report" key Escape
gone 変換結果
xdotool windowfocus --sync "$main" key --window "$main" alt+x
for _ in $(seq 600); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "Alt+X did not end the program"
wait "$app" || fail "Quillmark.exe ended with status $?"
[ -f "$scratch/data/plan_v700_2.JWW" ] || fail "no plan_v700_2.JWW"
[ -f "$scratch/data/plan_v600_2.JWW" ] || fail "no plan_v600_2.JWW: the second start's drawing was not listed"
grep -q '^Maximized=0' "$scratch/prog/Quillmark.ini" || fail "no view settings beside the settings file"
# A first start (no settings file) opens both windows on a share of the work
# area, so the places and sizes written are the screen's (and the list's
# width follows); the last folder is the one chosen.
tr -d '\r' <"$scratch/prog/Quillmark.dat" >"$scratch/dat"
[ "$(wc -l <"$scratch/dat")" = 10 ] || fail "the settings file is not ten lines"
awk 'NR==3 && $1<478 || NR==4 && $1<264 {exit 1}' "$scratch/dat" || fail "the window was written smaller than its minimum"
awk 'NR==8 && $1<456 || NR==9 && $1<293 {exit 1}' "$scratch/dat" || fail "the result window was written smaller than its minimum"
awk 'NR==5 && $1<160 {exit 1}' "$scratch/dat" || fail "the list was written narrower than its least width"
printf '%s\\\n' "$(winpath "$scratch/data")" >"$scratch/expected.dat"
sed -n '10p' "$scratch/dat" | cmp - "$scratch/expected.dat" || fail "unexpected settings file: $(cat "$scratch/dat")"
grep -q $'\r$' "$scratch/prog/Quillmark.dat" || fail "the settings file's lines do not end in CR LF"
[ ! -e "$scratch/prog/TEMP" ] || fail "the work folder is left behind"
echo "converted (also what a second start handed over), report closed, settings written"

echo "== quillmark-cli.exe under Wine"
data_w=$(winpath "$scratch/data")
scratch_w=$(winpath "$scratch")
cp "$scratch/data/plan_v600.jww" "$scratch/data/図面ŝ.jww"  # ŝ has no Shift-JIS form
wine "$cli" convert "$data_w\\図面ŝ.jww" "$data_w\\visible_v420.jww" >"$scratch/out" 2>"$scratch/err" ||
  fail "status $?: $(cat "$scratch/err")"
printf '【%s】\n　→ %s\n　変換を行いました。\n【%s】\n　非表示レイヤはありませんので\n　変換をパスします。\n\n%s\n' \
  "$data_w\\図面ŝ.jww" "$data_w\\図面ŝ_2.JWW" "$data_w\\visible_v420.jww" \
  '集計：変換 1（表示一致 1、書き出しで整えたもの 0）、非表示レイヤなし 1、読み込めない 0、変換出来ない 0' >"$scratch/expected"
cmp "$scratch/out" "$scratch/expected" || fail "UTF-8 report differs"
[ ! -s "$scratch/err" ] || fail "unexpected messages: $(cat "$scratch/err")"
wine "$cli" convert --encoding sjis "$data_w\\plan_v351.jww" >"$scratch/out.sjis"
printf '【%s】\n　→ %s\n　変換を行いました。\n\n%s\n' "$data_w\\plan_v351.jww" "$data_w\\plan_v351_2.JWW" \
  '集計：変換 1（表示一致 1、書き出しで整えたもの 0）、非表示レイヤなし 0、読み込めない 0、変換出来ない 0' |
  iconv -f UTF-8 -t CP932 >"$scratch/expected.sjis"
cmp "$scratch/out.sjis" "$scratch/expected.sjis" || fail "Shift-JIS report differs"
# On a console (a terminal through Wine's console): the report arrives as
# text, and the code page is the same before and after.
script -qec "wine cmd /c 'chcp & $(winpath "$root/$cli") convert $data_w\\plan_v230.jww & chcp'" /dev/null |
  tr -d '\r' | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' >"$scratch/console"
grep -qF "【$data_w\\plan_v230.jww】" "$scratch/console" || fail "console report: $(cat "$scratch/console")"
grep -qF "　変換を行いました。" "$scratch/console" || fail "console report: $(cat "$scratch/console")"
pages=$(grep -o 'code page: [0-9]*' "$scratch/console" | sort -u | wc -l)
[ "$(grep -c 'code page: ' "$scratch/console")" = 2 ] && [ "$pages" = 1 ] ||
  fail "the console code page changed: $(grep 'code page' "$scratch/console")"
# A long report arrives on the console whole, without a broken character.
names=$(for i in $(seq 200); do printf "'%s\\図面%d.jww' " "$data_w" "$i"; done)
script -qc "wine '$(winpath "$root/$cli")' convert $names 2>/dev/null" /dev/null | tr -d '\r' >"$scratch/long"
[ "$(grep -c '　指定したファイルは存在しませんので' "$scratch/long")" = 200 ] || fail "long console report incomplete"
! grep -q $'\xEF\xBF\xBD' "$scratch/long" || fail "a character was split on the console"
# A damaged drawing: its reason in the report itself, as Shift-JIS bytes too.
head -c 3000 "$scratch/data/plan_v600.jww" >"$scratch/data/cut.jww"
status=0
wine "$cli" convert --encoding sjis "$data_w\\cut.jww" >"$scratch/out.sjis" 2>/dev/null || status=$?
[ "$status" = 1 ] || fail "cut.jww: status $status"
iconv -f CP932 -t UTF-8 "$scratch/out.sjis" | grep -q '^　理由：at byte 2997 (0xbb5): unexpected end of file' ||
  fail "no reason in the Shift-JIS report: $(iconv -f CP932 -t UTF-8 "$scratch/out.sjis")"
# A second run passes by what the first converted (the letters of the output's name in another case).
mv "$scratch/data/plan_v351_2.JWW" "$scratch/data/PLAN_V351_2.jww"
wine "$cli" convert --skip-converted "$data_w\\plan_v351.jww" >"$scratch/out" 2>"$scratch/err" ||
  fail "--skip-converted: status $?: $(cat "$scratch/err")"
printf '【%s】\n　既に変換済みです：%s\n　変換をパスします。\n\n%s\n' "$data_w\\plan_v351.jww" "$data_w\\PLAN_V351_2.jww" \
  '集計：変換 0、非表示レイヤなし 0、読み込めない 0、変換出来ない 0、スキップ 1' >"$scratch/expected"
cmp "$scratch/out" "$scratch/expected" || fail "--skip-converted: $(cat "$scratch/out")"
wine "$cli" help convert | grep -q -- '--skip-converted' || fail "help convert"
echo "report as UTF-8, as Shift-JIS and on the console, reasons and totals in it; code page kept; --skip-converted"

echo "== quillmark-cli.exe: patterns, folders, -r, -o, --json"
plans="$scratch/batch/plans"
mkdir -p "$plans/sub"
cp "$scratch/data/plan_v600.jww" "$plans/A.JWW"
cp "$scratch/data/plan_v351.jww" "$plans/b.jww"
cp "$scratch/data/visible_v420.jww" "$plans/c.Jww"
cp "$scratch/data/plan_v230.jww" "$plans/sub/d.jww"
plans_w=$(winpath "$plans")
files() { grep '^【' "$1" | sed 's/^【\(.*\)】$/\1/'; }
# cmd hands the pattern over as it is; the program matches it in any letter case, in name order.
(cd "$plans" && wine "$root/$cli" convert '*.jww') >"$scratch/out" 2>"$scratch/err" ||
  fail "pattern: status $?: $(cat "$scratch/err")"
printf '%s\n' "$plans_w\\A.JWW" "$plans_w\\b.jww" "$plans_w\\c.Jww" >"$scratch/expected"
files "$scratch/out" | cmp - "$scratch/expected" || fail "*.jww expanded to: $(files "$scratch/out")"
[ -f "$plans/A_2.JWW" ] && [ -f "$plans/b_2.JWW" ] || fail "no outputs of *.jww"
# With a folder part, a second time: the outputs of the first run are not sources.
wine "$cli" convert "$plans_w\\*.JWW" >"$scratch/out" 2>"$scratch/err" || fail "plans\\*.JWW: $(cat "$scratch/err")"
files "$scratch/out" | cmp - "$scratch/expected" || fail "plans\\*.JWW expanded to: $(files "$scratch/out")"
[ -f "$plans/A_3.JWW" ] && [ ! -e "$plans/A_2_2.JWW" ] || fail "an earlier output was taken as a source"
# A pattern that matches nothing names a file that is not there.
status=0
wine "$cli" convert "$plans_w\\*.dwg" >"$scratch/out" 2>/dev/null || status=$?
[ "$status" = 1 ] && grep -qF "【$plans_w\\*.dwg】" "$scratch/out" || fail "unmatched pattern: status $status"
# A folder with its subfolders into an output folder, as JSON lines; the source folder stays as it was.
ls -R "$plans" >"$scratch/before"
wine "$cli" convert -r -o "$scratch_w\\clean" --json "$plans_w" >"$scratch/json" 2>"$scratch/err" ||
  fail "-r -o --json: status $?: $(cat "$scratch/err")"
ls -R "$plans" | cmp -s - "$scratch/before" || fail "the source folder changed"
[ "$(wc -l <"$scratch/json")" = 5 ] || fail "JSON lines: $(cat "$scratch/json")"
tail -n 1 "$scratch/json" | grep -q '^{"summary":{"files":4,' || fail "no summary last: $(cat "$scratch/json")"
[ "$(grep -c '"outcome":"converted"' "$scratch/json")" = 3 ] || fail "JSON outcomes: $(cat "$scratch/json")"
output=$(printf '%s' "$scratch_w\\clean\\sub\\d_2.JWW" | sed 's/\\/\\\\/g')  # as a JSON string holds it
grep -qF "\"output\":\"$output\"" "$scratch/json" || fail "no clean\\sub\\d_2.JWW in $(cat "$scratch/json")"
for f in clean/A_2.JWW clean/b_2.JWW clean/sub/d_2.JWW; do [ -f "$scratch/$f" ] || fail "no $f"; done
wine "$cli" info -r "$plans_w" >"$scratch/out" 2>"$scratch/err" || fail "info -r: $(cat "$scratch/err")"
[ "$(grep -c '^  version:' "$scratch/out")" = 4 ] || fail "info -r: $(cat "$scratch/out")"
echo "patterns and folders expanded, outputs in the output folder, JSON lines"

echo "== quillmark-cli.exe: a drawing deeper than 260 characters"
grep -q 'longPathAware' "$cli" || fail "quillmark-cli.exe declares no long-path awareness"
deep="$scratch/deep"
for i in $(seq 8); do deep="$deep/図面フォルダ_$i-abcdefghijklmnopqrstuvwxyz"; done
mkdir -p "$deep"
cp "$scratch/data/plan_v700.jww" "$deep/plan.jww"
deep_w=$(winpath "$deep")
[ "${#deep_w}" -gt 300 ] || fail "the folder is not deep enough: ${#deep_w}"
wine "$cli" convert --json "$deep_w\\plan.jww" >"$scratch/out" 2>"$scratch/err" ||
  fail "deep: status $?: $(cat "$scratch/err")"
[ -f "$deep/plan_2.JWW" ] || fail "no output in the deep folder: $(cat "$scratch/out")"
echo "converted ${#deep_w} characters deep"

echo "== quillmark-cli.exe: a drawing above 4 MiB, read and read back a piece at a time"
wine build/win/tools/makesamples/makesamples.exe --large "$(winpath "$scratch/large.jww")" >/dev/null
wine "$cli" convert "$(winpath "$scratch/large.jww")" >"$scratch/out" 2>"$scratch/err" ||
  fail "large: status $?: $(cat "$scratch/err")"
[ "$(stat -c %s "$scratch/large_2.JWW")" -gt $((4 << 20)) ] || fail "large: no output of its size: $(cat "$scratch/out")"
echo "== quillmark-cli.exe: crash leftovers removed through handles, links never followed"
# Planted as a crashed run (process 999999, which runs nowhere) leaves them,
# an hour old: a work folder that is wholly ours goes; one whose image folder
# is a link (made here: Windows code under Wine cannot make one) stays, and
# so does everything the link leads to; a temporary output goes.
leftovers="$scratch/leftovers"
plant() {
  mkdir -p "$leftovers/$1/d0"
  printf 'Quillmark work folder %s\n' "$1" >"$leftovers/$1/.quillmark-work"
  printf 'image' >"$leftovers/$1/d0/i0"
}
plant quillmark-999999-1
plant quillmark-999998-1
mkdir -p "$scratch/victim"
printf 'mine' >"$scratch/victim/i0"
rm -r "$leftovers/quillmark-999998-1/d0"
ln -s "$scratch/victim" "$leftovers/quillmark-999998-1/d0"
mkdir -p "$scratch/outputs"
printf 'JwwData.' >"$scratch/outputs/.quillmark-999997-0.tmp"
printf 'JwwData.' >"$scratch/outputs/.quillmark-999997-1.tmp"
ln -s "$scratch/victim/i0" "$scratch/outputs/.quillmark-999997-2.tmp"
find "$leftovers" "$scratch/outputs" -exec touch -h -d '1 hour ago' {} +
leftovers_w=$(winpath "$leftovers")
wine cmd /c "set TMP=$leftovers_w&& set TEMP=$leftovers_w&& $(winpath "$root/$cli") convert -o $(winpath "$scratch/outputs") $data_w\\plan_v600.jww" \
  >"$scratch/out" 2>"$scratch/err" || fail "leftovers: status $?: $(cat "$scratch/err")"
[ ! -e "$leftovers/quillmark-999999-1" ] || fail "a work folder that is wholly ours stays: $(ls -R "$leftovers")"
[ -L "$leftovers/quillmark-999998-1/d0" ] || fail "the planted link is gone"
[ "$(cat "$scratch/victim/i0")" = mine ] || fail "the cleanup reached through a link"
[ ! -e "$scratch/outputs/.quillmark-999997-0.tmp" ] || fail "a temporary output that is ours stays"
[ -L "$scratch/outputs/.quillmark-999997-2.tmp" ] || fail "a link named like a temporary output went"
[ -f "$scratch/outputs/plan_v600_2.JWW" ] || fail "leftovers: no output: $(cat "$scratch/out")"
echo "a leftover of ours removed, one holding a link left with what it leads to"
# A device named by render -o is written to, never replaced by a file.
(cd "$scratch/outputs" && wine "$root/$cli" render "$data_w\\plan_v600.jww" -o NUL) >"$scratch/out" 2>"$scratch/err" ||
  fail "render -o NUL: status $?: $(cat "$scratch/err")"
[ -z "$(ls "$scratch/outputs" | grep -i '^nul')" ] || fail "render -o NUL made a file: $(ls "$scratch/outputs")"
echo "render -o NUL writes to the device"

echo "== the packages (scripts/wintest-package.sh)"
wineserver -k 2>/dev/null || true
bash scripts/wintest-package.sh
echo "Windows tests passed."
