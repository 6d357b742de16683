#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 into build/win:
#   build/win/app/win32/Quillmark.exe     the window program
#   build/win/app/cli/quillmark-cli.exe   the command line
# Both are statically linked and stripped: they run on Windows 10 and 11
# with nothing installed beside them.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
for p in cmake make libgtest-dev g++-mingw-w64-x86-64-posix; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
cmake -S . -B build/win --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DQUILLMARK_WERROR=ON >/dev/null
cmake --build build/win -j"$(nproc)"
echo "Built build/win/app/win32/Quillmark.exe and build/win/app/cli/quillmark-cli.exe"
