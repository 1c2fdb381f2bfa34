#!/usr/bin/env bash
# Takes docs/richedit-view.png: the rich edit demo under a virtual X server, grabbed by the
# program itself once its window is shown and focused.
# Usage: screenshot-richedit.sh [BUILD_DIR [OUTPUT.png]]   (defaults: build, docs/richedit-view.png)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
output=${2:-$root/docs/richedit-view.png}

command -v xvfb-run >/dev/null || { echo "screenshot-richedit: xvfb-run is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target kelvor-richedit-demo -j2

runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
chmod 700 "$runtime"
mkdir -p "$(dirname "$output")"
XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1024x768x24" "$build/tools/kelvor-richedit-demo" --screenshot "$output"
echo "wrote $output"
