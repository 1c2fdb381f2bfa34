#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the monitor need, and only those
# that are missing, so a second run costs nothing.  Usage: install-deps.sh [extra packages]
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config make
  qt6-base-dev libicu-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-dejavu-core
  poppler-utils   # pdftotext: the printing tests read their PDFs back
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
