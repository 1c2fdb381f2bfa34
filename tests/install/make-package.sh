#!/usr/bin/env bash
# Makes what the install checks read, from a built tree: the Debian package (cpack) and a
# `cmake --install` tree. Both are made under a group-writable umask, so that a mode that
# follows the builder's umask instead of the install rules shows up in the checks.
# Usage: make-package.sh BUILD_DIR OUT_DIR CMAKE CPACK
set -euo pipefail
build=$1 out=$2 cmake=$3 cpack=$4
umask 0002
rm -rf "$out"
mkdir -p "$out"
if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$out/deb" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log"
  exit 1
fi
"$cmake" --install "$build" --prefix "$out/prefix" >"$out/install.log"
