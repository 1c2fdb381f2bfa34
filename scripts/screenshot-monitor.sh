#!/usr/bin/env bash
# Takes docs/monitor.png: the main window after a short capture from a station on 127.0.0.1,
# in a real window under a virtual X server (the test AShortCaptureOnScreen saves it).
# Usage: screenshot-monitor.sh [BUILD_DIR [OUTPUT.png]]   (defaults: build-test, docs/monitor.png)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-test}
output=${2:-$root/docs/monitor.png}

command -v xvfb-run >/dev/null || { echo "screenshot-monitor: xvfb-run is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Checked
fi
cmake --build "$build" --target test_app -j2

runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
chmod 700 "$runtime"
mkdir -p "$(dirname "$output")"
XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=xcb KELVOR_MONITOR_SHOT="$output" \
  xvfb-run -a -s "-screen 0 1024x768x24" "$build/tests/app/test_app" \
  --gtest_filter='MonitorTest.AShortCaptureOnScreen'
echo "wrote $output"
