#!/usr/bin/env bash
# Installs the Debian packages that building and testing omtree need, when
# they are missing. Safe to run again: it installs nothing that is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev
  libcli11-dev libutf8proc-dev doxygen libabsl-dev
  nlohmann-json3-dev libboost-math-dev libxlsxwriter-dev chromium chromium-driver
  python3 python3-selenium python3-jsonschema python3-openpyxl python3-pandas nodejs
  pybind11-dev python3-dev python3-pytest
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
# Some nodejs builds bring npm with them; Debian's does not.
if ! command -v npm >/dev/null; then
  missing+=(npm)
fi

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
