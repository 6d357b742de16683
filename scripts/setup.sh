#!/usr/bin/env bash
# Installs what building and testing Quillmark needs on a Debian machine.
# Installs only what is missing; uses sudo when not run as root.
set -euo pipefail

packages=(cmake make g++ libgtest-dev libgmock-dev)
[ "${QUILLMARK_WITH_FUZZ:-0}" = 1 ] && packages+=(clang)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
