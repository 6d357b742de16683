#!/usr/bin/env bash
# Installs what building and testing Quillmark needs on a Debian machine.
# Installs only what is missing; uses sudo when not run as root.
set -euo pipefail

packages=(cmake make g++ libgtest-dev libgmock-dev)
[ "${QUILLMARK_WITH_FUZZ:-0}" = 1 ] && packages+=(clang)
bash "$(dirname "$0")/install-missing.sh" "${packages[@]}"
