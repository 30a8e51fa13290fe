#!/usr/bin/env bash
# Starts Veltora on its demo scene: in a window when there is a display that answers,
# otherwise headless, writing a screenshot of the end of the run.
set -euo pipefail
build=${1:-build}
bin="$build/bin/veltora"
headless() {
  echo "run: $1; running headless for 10 simulated seconds instead"
  "$bin" --headless --seconds 10 --screenshot veltora-screenshot.png
  echo "run: the screen at the end is in veltora-screenshot.png"
}
if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  headless "no display here"
  exit
fi
# The window's own complaint still shows; a display that turns out not to answer gets the
# same headless run as no display at all.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
# Its stderr runs through tee in one pipeline, so the copy is whole before it is read
# (a process substitution is not waited for, and on a busy machine was read too early).
set +e
{ "$bin" 2>&1 1>&3 3>&- | tee "$errors" >&2 3>&-; } 3>&1
status=${PIPESTATUS[0]}
set -e
if [[ $status -eq 2 ]] && grep -q '^veltora: cannot open a window' "$errors"; then
  headless "the display cannot be used"
  exit
fi
exit "$status"
