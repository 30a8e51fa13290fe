#!/usr/bin/env bash
# Starts Veltora on its demo scene: in a window when there is a display, otherwise
# headless, writing a screenshot of the end of the run.
set -euo pipefail
build=${1:-build}
bin="$build/bin/veltora"
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec "$bin"
fi
echo "run: no display here; running headless for 10 simulated seconds instead"
"$bin" --headless --seconds 10 --screenshot veltora-screenshot.png
echo "run: the screen at the end is in veltora-screenshot.png"
