#!/usr/bin/env bash
# The window as a Wayland client of Weston (its X11 backend in Xvfb, for a seat): it names
# itself by the desktop entry's id, and when the compositor is killed (SIGKILL, SIGTERM) the
# run ends as on X when the display goes away: one line, exit 3, the remembered place kept.
#
# usage: test_wayland_lost.sh PATH/TO/veltora
# Needs Weston, Xvfb and ImageMagick; exits 77 when one is missing or Weston cannot start.
set -Eeuo pipefail

[[ $# -eq 1 ]] || { echo "usage: $0 PATH/TO/veltora" >&2; exit 2; }
launcher=$(realpath "$1")
for tool in weston Xvfb convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "test_wayland_lost: SKIP: $tool is missing (apt-get install weston xvfb imagemagick)" >&2
    exit 77
  fi
done

test_name=test_wayland_lost
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

convert -size 800x480 -seed 7 plasma:fractal "$work/still.png"
settings="$XDG_CONFIG_HOME/veltora/settings.conf"
trace="$work/trace.jsonl"
start_x 1024x768

for signal in KILL TERM; do
  start_weston x11 --use-pixman --width=800 --height=480 --scale=1
  mkdir -p "$(dirname "$settings")"
  printf 'window-width=800\nwindow-height=480\nwindow-x=123\nwindow-y=45\n' >"$settings"
  rm -f "$trace"
  # Only the compositor: no X display beside it. WAYLAND_DEBUG shows the requests sent to it.
  (cd "$work" && exec env -u DISPLAY WAYLAND_DEBUG=client "$launcher" --camera "$work/still.png" --trace "$trace") \
    >"$work/app.log" 2>&1 &
  app_pid=$!
  # Started once the application has drawn (60 s: a sanitizer build starts slowly).
  for _ in $(seq 600); do
    [[ -f "$trace" ]] && grep -q '"bitmap":"landscape_pin.png"' "$trace" && break
    kill -0 "$app_pid" 2>/dev/null || fail "the launcher ended at start"
    sleep 0.1
  done
  grep -q '"bitmap":"landscape_pin.png"' "$trace" || fail "the application drew nothing within 60 s"
  if [[ $signal == KILL ]]; then
    # Phosh, GNOME and Plasma match a window to its desktop entry by this id.
    ids=$(grep -o 'set_app_id("[^"]*")' "$work/app.log" | sort -u)
    [[ "$ids" == 'set_app_id("org.veltora.Veltora")' ]] ||
      fail "the window's Wayland app id is ${ids:-never set}, not the desktop entry's org.veltora.Veltora"
    pass "the window's Wayland app id is the desktop entry's, org.veltora.Veltora"
  fi
  kill -"$signal" "$weston_pid"
  wait "$weston_pid" 2>/dev/null || true
  weston_pid=""
  wait_app_end "the compositor killed with SIG$signal"
  [[ $status -eq 3 ]] || fail "with the compositor killed (SIG$signal) the launcher exited $status, not 3"
  grep -v '^\[' "$work/app.log" | grep -q '^veltora: the window was closed from outside or its display went away' ||
    fail "with the compositor killed (SIG$signal) the launcher did not say that the display went away"
  grep -q '^window-x=123$' "$settings" && grep -q '^window-y=45$' "$settings" ||
    fail "with the compositor killed (SIG$signal) the remembered place was lost: $(tr '\n' ' ' <"$settings")"
  pass "the compositor killed with SIG$signal: the run ends with one line and exit 3, the place kept"
done

echo "$test_name: $passed passed"
