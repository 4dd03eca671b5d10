#!/usr/bin/env bash
# Installs what building, testing and the demo need on Debian 12, if anything is missing.
# As root it runs apt-get; otherwise it prints the one command to run and stops.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libcairo2-dev libx11-dev libxext-dev libxtst-dev libfftw3-dev
  xvfb xauth fonts-dejavu-core valgrind lsp-plugins-vst
)
# More for one job, named by the caller (scripts/test_windows.sh: MinGW-w64 and Wine).
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >&2
  apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
else
  echo "Missing packages. Run this once, then try again:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
