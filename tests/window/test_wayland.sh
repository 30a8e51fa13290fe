#!/usr/bin/env bash
# The window as a native Wayland client of Weston (its X11 backend in Xvfb, for a seat; the
# launcher is offered both): it opens on Wayland; full screen on an output of the phone's size it shows
# the phone's screen pixel for pixel in Weston's own screenshot; the mouse through Weston's
# seat is the finger; SDL's finger events on the Wayland window drive the needle; and full
# screen on a 720x1440 output at scale 2 the view is fitted, black beside it.
#
# usage: test_wayland.sh PATH/TO/veltora PATH/TO/veltora_tests
# Needs Weston, Xvfb, xdotool, ImageMagick and jq; exits 77 when one is missing or Weston
# cannot start.
set -Eeuo pipefail

[[ $# -eq 2 ]] || { echo "usage: $0 PATH/TO/veltora PATH/TO/veltora_tests" >&2; exit 2; }
launcher=$(realpath "$1")
tests=$(realpath "$2")
for tool in weston weston-screenshooter Xvfb xdotool convert compare identify jq; do
  if ! command -v "$tool" >/dev/null; then
    echo "test_wayland: SKIP: $tool is missing (apt-get install weston xvfb xdotool imagemagick jq)" >&2
    exit 77
  fi
done

test_name=test_wayland
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

convert -size 800x480 -seed 7 plasma:fractal "$work/still.png"
trace="$work/trace.jsonl"

# Waits up to 60 s for the trace to show, after line $2, a canvas drawing the bitmap $1 (a
# sanitizer build keeping every allocation's whole stack takes some 20 s to start on a busy machine).
wait_drawn() { # bitmap mark what
  for _ in $(seq 600); do
    [[ -f "$trace" ]] && tail -n +"$2" "$trace" | grep -q "\"bitmap\":\"$1\"" && return 0
    sleep 0.1
  done
  fail "$1 was not drawn within 60 s of $3"
}
# The launcher with both WAYLAND_DISPLAY and DISPLAY set, as under Xwayland: Wayland is used.
# The application draws before the window's first picture reaches the compositor (seconds
# later in a sanitizer build), and a key pressed before Weston shows the window reaches no one:
# the start is over when a fifth of Weston's output is no longer the empty desktop (the view
# fitted to a tall output covers less than a third of it; the bands beside it may be as black
# as the desktop).
start_app() { # launcher options...
  rm -f "$work"/veltora-*.png "$trace"
  weston_shot desktop
  (cd "$work" && exec "$launcher" --camera "$work/still.png" --trace "$trace" "$@") \
    >"$work/app.log" 2>&1 &
  app_pid=$!
  wait_drawn landscape_pin.png 1 "the start"
  local fifth changed=0
  fifth=$(identify -format '%[fx:w*h/5]' "$work/desktop.png")
  for _ in $(seq 120); do
    kill -0 "$app_pid" 2>/dev/null || fail "the launcher ended at start"
    weston_shot shown
    changed=$(exact "$work/desktop.png" "$work/shown.png")
    awk -v c="$changed" -v h="$fifth" 'BEGIN { exit !(c + 0 > h + 0) }' && return 0
    sleep 0.5
  done
  fail "Weston did not show the window within 60 s of its first drawing ($changed pixels changed)"
}
# Weston's own X window takes X's keys and pointer and hands them to its seat.
weston_window() {
  wid=$(timeout 15 xdotool search --sync --class '^Weston Compositor$' | head -n 1) ||
    fail "Weston's window did not appear on X"
  xdotool windowfocus --sync "$wid"
}
exact() { compare -metric AE "$1" "$2" null: 2>&1 || true; }

start_x 1024x1536
start_weston x11 --use-pixman --debug --width=800 --height=480 --scale=1
weston_window

# Full screen on an output of the phone's size: the compositor shows the phone's own screen.
start_app --fullscreen
[[ -z "$(xdotool search --name '^Veltora' 2>/dev/null)" ]] || fail "the window opened on X, not on Wayland"
pass "the window opens as a Wayland client"
# Weston always draws its pointer: it rests in the bottom right corner, and the pictures are
# compared without the square under it.
# A motion Weston's window misses (made before it listens) moves nothing: the pointer is
# moved there afresh before each picture.
rest_pointer() { xdotool mousemove --window "$wid" $(($1 - 4)) $(($2 - 4)) mousemove --window "$wid" "$1" "$2"; }
unpointed() { convert "$1" -fill black -draw "rectangle $2" "$1"; }
n=""
for _ in $(seq 30); do
  rest_pointer 782 462
  weston_shot output
  xdotool key shift+s
  f=$(saved_picture "Shift+S")
  mv "$f" "$work/screen.png"
  unpointed "$work/output.png" "778,458 799,479"
  unpointed "$work/screen.png" "778,458 799,479"
  n=$(exact "$work/output.png" "$work/screen.png")
  [[ "$n" == 0 ]] && break
  sleep 0.3
done
[[ "$(identify -format '%wx%h' "$work/output.png")" == 800x480 ]] || fail "Weston's screenshot is not 800x480"
[[ "$n" == 0 ]] || fail "full screen on 800x480 the output differs from the phone's screen in $n pixels"
pass "full screen on 800x480: the output is the phone's screen, pixel for pixel (but under the pointer)"

# The mouse through Weston's seat is the finger: the measuring needle, taken near the
# landscape dial's centre at (400,480) and dragged to (300,380), points at 45 degrees.
mark=$(wc -l <"$trace")
xdotool mousemove --window "$wid" 400 400
sleep 0.05
xdotool mousedown 1
for i in 1 2 3 4 5 6 7 8; do
  xdotool mousemove --window "$wid" $((400 - 100 * i / 8)) $((400 - 20 * i / 8))
  sleep 0.03
done
xdotool mouseup 1
angles() { tail -n +"$mark" "$trace" | jq -r 'select(.type == "canvas") | .draws[] | select(.bitmap == "landscape_pin.png") | .angle'; }
a=""
for _ in $(seq 100); do
  a=$(angles | tail -n 1)
  [[ "$a" =~ ^4[4-6]$ ]] && break
  sleep 0.1
done
[[ "$a" =~ ^4[4-6]$ ]] || fail "after a drag through Weston's seat the needle points at ${a:-nothing}, not 45"
pass "a drag through Weston's seat turns the needle to $a degrees"
stop_app

# SDL's own finger events on the window opened through SDL's Wayland driver.
VELTORA_WAYLAND_RIG=1 "$tests" --gtest_filter='WindowWayland.*' >"$work/gtest.log" 2>&1 ||
  { tail -n 30 "$work/gtest.log" >&2; fail "the window's tests on Wayland failed"; }
grep -q '^\[  PASSED  \] 1 test' "$work/gtest.log" && ! grep -q '^\[  SKIPPED' "$work/gtest.log" ||
  { tail -n 30 "$work/gtest.log" >&2; fail "the window's test on Wayland did not run"; }
pass "SDL's finger events on the Wayland window turn the needle"

# A phone's output: 720x1440 pixels at scale 2, portrait. The landscape view is fitted to
# its width, 720x432, centred, with black above and below.
start_weston x11 --use-pixman --debug --width=360 --height=720 --scale=2
weston_window
start_app --fullscreen
want="$work/fitted-want.png"
# Black but for the pointer's image at most (Weston may draw it where the pointer last was).
bands_black() {
  local band lit
  for band in 720x504+0+0 720x504+0+936; do
    lit=$(convert "$work/phone.png" -crop "$band" +repage -colorspace gray -threshold 0 -format '%[fx:round(mean*w*h)]' info:)
    [[ "$lit" -le 1500 ]] || return 1
  done
}
# Until the compositor shows the window full screen and drawn, 10 s at most.
rmse=""
for _ in $(seq 30); do
  rest_pointer 696 890 # in the view's bottom right
  weston_shot phone
  xdotool key shift+s
  f=$(saved_picture "Shift+S at scale 2")
  convert "$f" -filter triangle -resize 720x432! "$want"
  rm -f "$f"
  convert "$work/phone.png" -crop 720x432+0+504 +repage "$work/fitted.png"
  unpointed "$work/fitted.png" "690,380 719,431"
  unpointed "$want" "690,380 719,431"
  rmse=$(compare -metric RMSE "$work/fitted.png" "$want" null: 2>&1 | sed -n 's/.*(\([0-9.e-]*\)).*/\1/p' || true)
  awk -v r="${rmse:-1}" 'BEGIN { exit !(r < 0.03) }' && bands_black && break
  sleep 0.3
done
[[ "$(identify -format '%wx%h' "$work/phone.png")" == 720x1440 ]] || fail "Weston's screenshot at scale 2 is not 720x1440"
awk -v r="${rmse:-1}" 'BEGIN { exit !(r < 0.03) }' ||
  fail "at scale 2 the middle 720x432 of the output is not the phone's screen fitted (RMSE ${rmse:-none})"
bands_black || fail "at scale 2 the output is not black above and below the view (but for the pointer)"
pass "full screen on 720x1440 at scale 2: the view fitted, 720x432, black above and below"

echo "$test_name: $passed passed"
