#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 into build/win:
#   build/win/app/win32/Quillmark.exe     the window program
#   build/win/app/cli/quillmark-cli.exe   the command line
# Both are statically linked and stripped: they run on Windows 10 and 11
# with nothing installed beside them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-missing.sh cmake make libgtest-dev g++-mingw-w64-x86-64-posix
cmake -S . -B build/win --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DQUILLMARK_WERROR=ON >/dev/null
cmake --build build/win -j"$(nproc)"
echo "Built build/win/app/win32/Quillmark.exe and build/win/app/cli/quillmark-cli.exe"
