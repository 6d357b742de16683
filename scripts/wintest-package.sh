#!/usr/bin/env bash
# Tests the Windows packages under Wine on a virtual X server, as a user
# meets them (run by scripts/wintest.sh; builds them with package-win.sh):
#   1. the zip: unpacked, its Quillmark.exe runs and keeps its settings and
#      work folder beside itself;
#   2. the installer: a silent per-user install puts the programs in
#      %LOCALAPPDATA%\Programs\Quillmark, a Start-menu and a Send To shortcut
#      and Explorer's verb on .jww files; the verb's command opens the window
#      with the drawing listed, and five starts at once end in one window
#      listing five; the installed copy keeps its settings in
#      %APPDATA%\Quillmark; a newer version replaces an older one (one entry);
#      a silent uninstall removes the program, its shortcuts and its registry
#      keys and keeps the user's settings.
set -euo pipefail
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
cd "$(dirname "$0")/.."
root=$PWD
export WINEPREFIX="${WINEPREFIX:-$root/build/win/wineprefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
[ -f "$WINEPREFIX/.quillmark-ready" ] || bash scripts/setup-win.sh

bash scripts/package-win.sh >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win/CMakeCache.txt)
next="${version%.*}.$((${version##*.} + 1))"
bash scripts/package-win.sh --version "$next" >/dev/null  # the same programs as a newer version
zip="$root/build/package/Quillmark-$version-win64.zip"
msi="$root/build/package/Quillmark-$version-win64.msi"
newer="$root/build/package/Quillmark-$next-win64.msi"

for n in $(seq 90 130); do
  if [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-package.XXXXXX")
cleanup() {
  wine msiexec /x "$(winpath "$newer")" /qn >/dev/null 2>&1 || true
  wine msiexec /x "$(winpath "$msi")" /qn >/dev/null 2>&1 || true
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
export DISPLAY="$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fail() { echo "FAIL: $*" >&2; exit 1; }
window() { timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" | head -1; }
gone() {
  for _ in $(seq 600); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "the window $1 stays open"
}
# Converts what the window lists (Alt+T), closes the report and the program.
convert_and_close() {
  local main=$1
  xdotool windowfocus --sync "$main" key --window "$main" alt+t
  local report
  report=$(window 変換結果) || fail "Alt+T showed no report"
  xdotool windowfocus --sync "$report" key Escape
  gone 変換結果
  xdotool windowfocus --sync "$main" key --window "$main" alt+x
  gone Quillmark
  wineserver -w
}
# A Windows folder of this prefix as a Linux path.
unixof() { wine winepath -u "$1" 2>/dev/null | tr -d '\r'; }
envvar() { wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }
mkdir -p "$scratch/data"
wine build/win/tools/makesamples/makesamples.exe "$(winpath "$scratch/data")" >/dev/null

appdata=$(unixof "$(envvar APPDATA)")
programs=$(unixof "$(envvar LOCALAPPDATA)\\Programs\\Quillmark")
[ -n "$appdata" ] && [ -n "$programs" ] || fail "no profile folders in the prefix"
rm -rf "$appdata/Quillmark" "$programs"

echo "== the zip"
python3 -m zipfile -e "$zip" "$scratch/zip"
unpacked="$scratch/zip/Quillmark-$version-win64"
for f in Quillmark.exe quillmark-cli.exe LICENSE.txt はじめにお読みください.txt; do
  [ -f "$unpacked/$f" ] || fail "the zip holds no $f: $(ls "$unpacked")"
done
head -c 3 "$unpacked/はじめにお読みください.txt" | cmp -s - <(printf '\xef\xbb\xbf') || fail "the read-me has no byte-order mark"
grep -q $'\r$' "$unpacked/はじめにお読みください.txt" || fail "the read-me's lines do not end in CR LF"
grep -q "その他のオプションを確認" "$unpacked/はじめにお読みください.txt" || fail "the read-me does not tell where Windows 11 shows the verb"
wine "$unpacked/quillmark-cli.exe" --version | grep -q "$version" || fail "quillmark-cli.exe --version is not $version"
(cd "$unpacked" && exec wine Quillmark.exe "$(winpath "$scratch/data/plan_v600.jww")" >/dev/null 2>&1) &
main=$(window Quillmark) || fail "the unpacked Quillmark.exe shows no window"
convert_and_close "$main"
[ -f "$scratch/data/plan_v600_2.JWW" ] || fail "the unpacked program converted nothing"
[ -f "$unpacked/Quillmark.dat" ] && [ -f "$unpacked/Quillmark.ini" ] || fail "the unpacked program keeps no settings beside itself"
[ ! -e "$unpacked/TEMP" ] || fail "the unpacked program left its work folder"
rm "$scratch/data/plan_v600_2.JWW"
echo "unpacked, ran, settings beside it"

echo "== the installer"
wine msiexec /i "$(winpath "$msi")" /qn || fail "msiexec /i ended with status $?"
for f in Quillmark.exe quillmark-cli.exe LICENSE.txt; do [ -f "$programs/$f" ] || fail "not installed: $f"; done
startmenu="$appdata/Microsoft/Windows/Start Menu/Programs/Quillmark.lnk"
sendto="$appdata/Microsoft/Windows/SendTo/Quillmark.lnk"
[ -f "$startmenu" ] || fail "no Start-menu shortcut: $(ls "$appdata/Microsoft/Windows/Start Menu/Programs")"
[ -f "$sendto" ] || fail "no Send To shortcut: $(ls "$appdata/Microsoft/Windows/SendTo")"
verb='HKCU\Software\Classes\SystemFileAssociations\.jww\shell\Quillmark'
wine reg query "$verb" /v MUIVerb 2>/dev/null | grep -q 'Quillmark.exe,-101' || fail "no verb's text"
command=$(wine reg query "$verb\\command" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
case "$command" in
  *'Quillmark.exe" "%1"') ;;
  *) fail "the verb's command is: $command" ;;
esac
exe_w=$(printf '%s' "$command" | sed 's/^"\([^"]*\)".*/\1/')
[ -f "$(unixof "$exe_w")" ] || fail "the verb's command names no installed program: $exe_w"
# The verb, as Explorer runs it for one drawing.
wine "$exe_w" "$(winpath "$scratch/data/plan_v600.jww")" >/dev/null 2>&1 &
main=$(window Quillmark) || fail "the verb's command opened no window"
convert_and_close "$main"
[ -f "$scratch/data/plan_v600_2.JWW" ] || fail "the drawing of the verb's command was not listed"
[ -f "$appdata/Quillmark/Quillmark.dat" ] || fail "the installed copy keeps no settings in %APPDATA%\\Quillmark"
[ ! -e "$programs/Quillmark.dat" ] && [ ! -e "$programs/TEMP" ] || fail "the installed copy wrote into its folder"
echo "installed: programs, shortcuts, the verb; the verb's command lists its drawing"

# Explorer starts one process per selected file: five at once end in one
# window that lists all five.
mkdir -p "$scratch/five"
for i in 1 2 3 4 5; do cp "$scratch/data/plan_v700.jww" "$scratch/five/plan$i.jww"; done
pids=()
for i in 1 2 3 4 5; do
  wine "$exe_w" "$(winpath "$scratch/five/plan$i.jww")" >/dev/null 2>&1 &
  pids+=($!)
done
main=$(window Quillmark) || fail "five starts opened no window"
sleep 5
[ "$(xdotool search --onlyvisible --name '^Quillmark$' | wc -l)" = 1 ] || fail "five starts opened several windows"
convert_and_close "$main"
for i in 1 2 3 4 5; do [ -f "$scratch/five/plan${i}_2.JWW" ] || fail "plan$i.jww was not listed in the one window"; done
for p in "${pids[@]}"; do wait "$p" || true; done
echo "five starts at once: one window, five drawings"

# A newer version over an older one: one entry among the installed programs.
wine msiexec /i "$(winpath "$newer")" /qn || fail "the upgrade ended with status $?"
entries=$(wine uninstaller --list 2>/dev/null | grep -c 'Quillmark' || true)
[ "$entries" = 1 ] || fail "after the upgrade, $entries entries: $(wine uninstaller --list 2>/dev/null)"
[ -f "$programs/Quillmark.exe" ] || fail "the upgrade left no program"
echo "upgraded: one entry"

wine msiexec /x "$(winpath "$newer")" /qn || fail "msiexec /x ended with status $?"
[ ! -e "$programs/Quillmark.exe" ] || fail "the program stays after the uninstall"
[ ! -e "$startmenu" ] && [ ! -e "$sendto" ] || fail "a shortcut stays after the uninstall"
! wine reg query "$verb" >/dev/null 2>&1 || fail "the verb stays after the uninstall"
! wine reg query 'HKCU\Software\Quillmark' /v InstallFolder >/dev/null 2>&1 || fail "the install folder stays recorded"
[ -f "$appdata/Quillmark/Quillmark.dat" ] || fail "the uninstall removed the user's settings"
[ "$(wine uninstaller --list 2>/dev/null | grep -c 'Quillmark' || true)" = 0 ] || fail "an entry stays after the uninstall"
echo "uninstalled: program, shortcuts and keys gone, settings kept"
echo "Package tests passed."
