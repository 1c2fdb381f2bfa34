#!/usr/bin/env bash
# Builds the tests whose binaries hold static class registrars with clang and AddressSanitizer,
# and runs them with its initialisation-order checks: a unit's start-up code that reads or
# writes another unit's globals is reported, whatever order the linker picked.
# Usage: check-init-order.sh [BUILD_DIR]   (default: build-asan)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-asan}
tests=(tests/framework/test_registration tests/framework/test_framework tests/net/test_net
       tests/richedit/test_richedit)

command -v clang++ >/dev/null || { echo "check-init-order: clang++ is missing" >&2; exit 1; }
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Checked \
    -DCMAKE_CXX_FLAGS="-fsanitize=address -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address"
fi
cmake --build "$build" -j2 --target "${tests[@]##*/}"

status=0
for t in "${tests[@]}"; do
  echo "== $t"
  QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=check_initialization_order=1:strict_init_order=1 \
    "$build/$t" --gtest_brief=1 || status=1
done
exit $status
