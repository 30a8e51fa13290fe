#!/usr/bin/env bash
# Starts Veltora on its demo scene: in a window when there is a display, otherwise
# headless, writing a screenshot of the end of the run.
set -euo pipefail
build=${1:-build}
bin="$build/bin/veltora"
echo "run: no window in this build yet; running headless for 10 simulated seconds"
"$bin" --headless --seconds 10 --screenshot veltora-screenshot.png
echo "run: screenshot written to veltora-screenshot.png"
