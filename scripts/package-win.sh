#!/usr/bin/env bash
# Builds the Windows packages of Quillmark into build/package:
#   Quillmark-<version>-win64.zip   Quillmark.exe, quillmark-cli.exe, the
#                                   Japanese read-me and the licence, in a
#                                   folder of that name (unpack and run)
#   Quillmark-<version>-win64.msi   a per-user installer (no administrator
#                                   rights): %LOCALAPPDATA%\Programs\Quillmark,
#                                   Start menu, Send To, Explorer's verb on
#                                   .jww files
# The version is the CMake project's, as in both executables.
#   --version X.Y.Z   the packages' version instead (tests of upgrades)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-missing.sh wixl
command -v python3 >/dev/null || bash scripts/install-missing.sh python3
bash scripts/build-win.sh >/dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win/CMakeCache.txt)
[ -n "$version" ] || { echo "no project version in build/win/CMakeCache.txt" >&2; exit 1; }
[ "${1:-}" = "--version" ] && version=$2
name="Quillmark-$version-win64"
out=build/package
stage="$out/stage"
rm -rf "$stage" "$out/$name" "$out/$name.zip" "$out/$name.msi"
mkdir -p "$stage"

# Text files as Windows users open them: CR LF, the read-me UTF-8 with a
# byte-order mark (Notepad of Windows 10 and earlier would take it for
# Shift-JIS without one).
crlf() { sed 's/\r*$/\r/'; }
cp build/win/app/win32/Quillmark.exe build/win/app/cli/quillmark-cli.exe app/win32/Quillmark.ico "$stage/"
crlf <LICENSE >"$stage/LICENSE.txt"
{ printf '\xef\xbb\xbf'; sed "s/@VERSION@/$version/g" installer/README-ja.txt | crlf; } >"$stage/README-ja.txt"

# The installer. wixl reads the files named in it relative to where it runs.
(cd "$stage" && wixl -a x64 -D "Version=$version" -D Stage=. -o "$root/$out/$name.msi" "$root/installer/Quillmark.wxs")

# The zip: one folder holding the programs, the read-me under its Japanese
# name (stored as UTF-8 with the zip's UTF-8 flag, which Explorer honours)
# and the licence.
mkdir -p "$out/$name"
cp "$stage/Quillmark.exe" "$stage/quillmark-cli.exe" "$stage/LICENSE.txt" "$out/$name/"
cp "$stage/README-ja.txt" "$out/$name/はじめにお読みください.txt"
# (Python's zipfile sets that flag for every name that is not ASCII; this
# machine's Info-ZIP does not.)
(cd "$out" && python3 - "$name" <<'PY'
import os, sys, zipfile
folder = sys.argv[1]
with zipfile.ZipFile(folder + ".zip", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    z.write(folder)
    for name in sorted(os.listdir(folder)):
        z.write(os.path.join(folder, name), folder + "/" + name)
PY
)
rm -rf "$out/$name"

for f in "$out/$name.zip" "$out/$name.msi"; do
  printf '%s  %s bytes\n' "$f" "$(stat -c %s "$f")"
done
