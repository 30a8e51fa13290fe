#!/usr/bin/env bash
# The window on a Wayland compositor that has no seat (Weston's headless backend: no keyboard,
# pointer or touch screen), where SDL 2.26 crashes at start: with no X display either the
# launcher ends with one line and exit 2; with one it opens the window on X.
#
# usage: test_wayland_seatless.sh PATH/TO/veltora
# Needs Weston, Xvfb and xdotool; exits 77 when one is missing or Weston cannot start.
set -Eeuo pipefail

[[ $# -eq 1 ]] || { echo "usage: $0 PATH/TO/veltora" >&2; exit 2; }
launcher=$(realpath "$1")
for tool in weston Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "test_wayland_seatless: SKIP: $tool is missing (apt-get install weston xvfb xdotool)" >&2
    exit 77
  fi
done

test_name=test_wayland_seatless
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

start_weston headless --width=800 --height=480
unset DISPLAY
(cd "$work" && exec "$launcher" --seconds 5) >"$work/app.log" 2>&1 &
app_pid=$!
wait_app_end "the start on a compositor without a seat"
[[ $status -eq 2 ]] || fail "on a compositor without a seat the launcher exited $status, not 2 (139 is the crash)"
[[ $(grep -c '^veltora: ' "$work/app.log") -eq 1 ]] &&
  grep -q "^veltora: cannot open a window: the Wayland compositor at WAYLAND_DISPLAY=$WAYLAND_DISPLAY offers no seat" "$work/app.log" ||
  fail "the launcher did not say in one line that the compositor has no seat"
pass "no seat and no X display: one line, exit 2"

# With an X display as well the window opens there.
start_x 1024x768
(cd "$work" && exec "$launcher") >"$work/app.log" 2>&1 &
app_pid=$!
timeout 15 xdotool search --sync --onlyvisible --name '^Veltora' >/dev/null ||
  fail "with an X display beside the seatless compositor no window appeared on X within 15 s"
kill -0 "$app_pid" 2>/dev/null || fail "the launcher ended"
stop_app
pass "no seat but an X display: the window opens on X"

echo "$test_name: $passed passed"
