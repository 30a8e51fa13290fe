#!/usr/bin/env bash
# Runs the window full screen under virtual X servers: on a display of the phone's own size
# the display must show the phone's screen pixel for pixel; turned upright it is letterboxed
# with its shape kept; a fake accelerometer turns the view as it is turned; on a larger
# display the mouse still lands on the right phone pixel. Last, in a plain window, a dense
# desktop starts the window at whole multiples of the phone's pixels.
#
# usage: test_fullscreen.sh PATH/TO/veltora
# Needs Xvfb, xdotool, ImageMagick (import, compare, convert, identify) and jq; exits 77 when
# one is missing, 0 when every check passes, 1 with the failed check otherwise.
set -Eeuo pipefail

[[ $# -eq 1 ]] || { echo "usage: $0 PATH/TO/veltora" >&2; exit 2; }
launcher=$(realpath "$1")
for tool in Xvfb xdotool import compare convert identify jq; do
  if ! command -v "$tool" >/dev/null; then
    echo "test_fullscreen: SKIP: $tool is missing (apt-get install xvfb xdotool imagemagick jq)" >&2
    exit 77
  fi
done

test_name=test_fullscreen
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

# Bad use first: full screen needs the window and fills the display whatever --shrink says.
for bad in "--fullscreen --headless" "--fullscreen --shrink 2"; do
  # shellcheck disable=SC2086
  "$launcher" $bad >"$work/bad.log" 2>&1 && status=0 || status=$?
  [[ $status -eq 2 && $(wc -l <"$work/bad.log") -eq 1 ]] && grep -q '^veltora: --fullscreen' "$work/bad.log" ||
    fail "'veltora $bad' did not fail with one line and exit 2 (exit $status: $(cat "$work/bad.log"))"
done
pass "--fullscreen with --headless or --shrink: one line, exit 2"

convert -size 800x480 -seed 7 plasma:fractal "$work/still.png"

# Waits up to 10 s for the trace to show, after line $2, a canvas drawing the bitmap $1.
wait_drawn() { # bitmap mark what
  for _ in $(seq 100); do
    [[ -f "$work/trace.jsonl" ]] && tail -n +"$2" "$work/trace.jsonl" | grep -q "\"bitmap\":\"$1\"" && return 0
    sleep 0.1
  done
  fail "$1 was not drawn within 10 s of $3"
}
start_app() { # launcher options...
  rm -f "$shots"/veltora-*.png "$work/trace.jsonl"
  (cd "$work" && exec "$launcher" --fullscreen --camera "$work/still.png" --trace "$work/trace.jsonl" "$@") \
    >"$work/app.log" 2>&1 &
  app_pid=$!
  wid=$(timeout 15 xdotool search --sync --onlyvisible --name '^Veltora' | head -n 1) ||
    fail "no Veltora window appeared within 15 s"
  xdotool windowfocus --sync "$wid"
  # A tilt reading lays the controls out.
  wait_drawn "${layout:-landscape_pin.png}" 1 "the start"
}
geometry() { xdotool getwindowgeometry "$wid" | awk '/Geometry:/ {print $2}'; }
root_shot() { import -window root "$work/$1.png" || fail "cannot take a screenshot of the display"; }
phone_screen() { # Shift+S: the phone's own screen, as $work/$1.png
  local f=""
  xdotool key shift+s
  f=$(saved_picture "Shift+S ($1)")
  mv "$f" "$work/$1.png"
}
exact() { compare -metric AE "$1" "$2" null: 2>&1 || true; }
# How many pixels of the display differ from the phone's screen once they agree, or after 10 s.
display_is_screen() { # name
  local n=""
  for _ in $(seq 30); do
    root_shot "$1"
    phone_screen "$1-screen"
    n=$(exact "$work/$1.png" "$work/$1-screen.png")
    [[ "$n" == 0 ]] && break
    sleep 0.3
  done
  echo "$n"
}
# Waits up to 10 s for a part of the display to be black ($3 = 0) or lit ($3 = 1).
wait_black() { # name geometry lit
  local b=""
  for _ in $(seq 50); do
    root_shot "$1"
    b=$(black "$work/$1.png" "$2")
    if [[ $3 == 0 ]]; then [[ $b == 0 ]] && return 0; else [[ $b -gt 100 ]] && return 0; fi
    sleep 0.2
  done
  return 1
}
black() { # image geometry: the brightest channel in that part of the image (0: all black)
  convert "$1" -crop "$2" +repage -format '%[fx:int(255*max(maxima.r,max(maxima.g,maxima.b)))]' info:
}
angles() { # bitmap: the angles it was drawn at, in order
  jq -r --arg b "$1" 'select(.type == "canvas") | .draws[] | select(.bitmap == $b) | .angle' "$work/trace.jsonl"
}
drag() { # x0 y0 x1 y1, display pixels
  xdotool mousemove "$1" "$2"
  sleep 0.05
  xdotool mousedown 1
  for i in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $(($1 + ($3 - $1) * i / 8)) $(($2 + ($4 - $2) * i / 8))
    sleep 0.03
  done
  xdotool mouseup 1
}
# The last angle $1 was drawn at once it matches $2, waiting up to 10 s; else the last one.
angle_when() { # bitmap regex
  local a=""
  for _ in $(seq 100); do
    a=$(angles "$1" | tail -n 1)
    [[ "$a" =~ $2 ]] && break
    sleep 0.1
  done
  echo "$a"
}

# A display of the phone's own size: every pixel of it is the phone's screen.
start_x 800x480
start_app --tilt keys
[[ "$(geometry)" == 800x480 ]] || fail "full screen on 800x480 the window is $(geometry)"
n=$(display_is_screen display)
[[ "$n" == 0 ]] || fail "on an 800x480 display the display is not the phone's screen pixel for pixel ($n pixels differ)"
pass "800x480: the display is the phone's screen, pixel for pixel"

# Turned upright with the key, the portrait view keeps its shape: 288x480 in the middle,
# black beside it; the mouse lands on the phone pixel under it. Screen (460, 240), right of
# the round dial's hub, is seen at view (239.5, 460.5), at display (399.7, 276.3).
mark=$(wc -l <"$work/trace.jsonl")
xdotool key 2
wait_drawn portrait_pin.png "$mark" "key 2"
wait_black upright 255x480+0+0 0 && wait_black upright 280x480+260+0 1 || true
[[ $(black "$work/upright.png" 255x480+0+0) == 0 && $(black "$work/upright.png" 255x480+545+0) == 0 ]] ||
  fail "upright on 800x480 the view is not letterboxed with black beside it"
[[ $(black "$work/upright.png" 280x480+260+0) -gt 100 ]] || fail "upright on 800x480 the view is black"
drag 399 282 399 276
last=$(angle_when portrait_pin.png '^-(8[89]|9[0-2])$')
[[ "$last" =~ ^-(8[89]|9[0-2])$ ]] || fail "upright, a drag to the right of the hub drew the needle at ${last:-nothing}, not -90"
pass "upright on 800x480: letterboxed, shape kept, and the mouse lands on the right phone pixel"
stop_app

# A fake accelerometer: the view turns as it is turned, with no key pressed.
iio="$work/iio:device0"
mkdir -p "$iio"
echo accel_3d >"$iio/name"
echo 0.01 >"$iio/in_accel_scale"
hold() { # x y: raw gravity, 0.01 m/s^2 a count
  echo "$1" >"$iio/in_accel_x_raw.new" && mv "$iio/in_accel_x_raw.new" "$iio/in_accel_x_raw"
  echo "$2" >"$iio/in_accel_y_raw.new" && mv "$iio/in_accel_y_raw.new" "$iio/in_accel_y_raw"
  echo 0 >"$iio/in_accel_z_raw"
}
hold -981 0 # turned a quarter counter-clockwise: landscape
start_app --tilt "$iio"
n=$(display_is_screen sensor-landscape)
[[ "$n" == 0 ]] || fail "held landscape by the sensor the display is not the phone's screen ($n pixels differ)"
hold 0 -981 # upright: portrait
wait_black sensor-portrait 255x480+0+0 0 || true
[[ $(black "$work/sensor-portrait.png" 255x480+0+0) == 0 ]] || fail "turned upright the sensor did not turn the view"
# SDL and ImageMagick scale alike but not to the bit: most pixels must agree closely, and
# the wrong turn must not. The application lays its controls out anew at its next tilt
# reading: until the display and the screen agree, 10 s at most.
for _ in $(seq 30); do
  root_shot sensor-portrait
  phone_screen sensor-portrait-screen
  convert "$work/sensor-portrait-screen.png" -rotate 90 -resize 288x480 "$work/want-portrait.png"
  right=$(compare -metric AE -fuzz 12% "$work/sensor-portrait.png[288x480+256+0]" "$work/want-portrait.png" null: 2>&1 || true)
  convert "$work/sensor-portrait-screen.png" -rotate 270 -resize 288x480 "$work/wrong-portrait.png"
  wrong=$(compare -metric AE -fuzz 12% "$work/sensor-portrait.png[288x480+256+0]" "$work/wrong-portrait.png" null: 2>&1 || true)
  [[ "$right" =~ ^[0-9]+$ && "$wrong" =~ ^[0-9]+$ && $right -lt 14000 && $wrong -gt $((2 * right)) ]] && break
  sleep 0.3
done
[[ "$right" =~ ^[0-9]+$ && "$wrong" =~ ^[0-9]+$ ]] || fail "cannot compare the turned views: $right / $wrong"
[[ $right -lt 14000 && $wrong -gt $((2 * right)) ]] ||
  fail "turned upright by the sensor the view is not the phone's screen turned a quarter clockwise ($right pixels off; the other way $wrong)"
hold -981 0
wait_black sensor-back 255x480+0+0 1 || true
n=$(display_is_screen sensor-back)
[[ "$n" == 0 ]] || fail "turned back to landscape by the sensor the display is not the phone's screen ($n pixels differ)"
pass "a fake accelerometer turns the full-screen view upright and back ($right of 138240 pixels off when turned, $wrong the wrong way)"
stop_app

# A larger display: letterboxed, and the mouse maps back exactly. At 1.6 times the view is
# 1280x768 at y 128; screen (300, 380) is at display (480, 736), 45 degrees from the hub.
start_x 1280x1024
start_app --tilt keys
[[ "$(geometry)" == 1280x1024 ]] || fail "full screen on 1280x1024 the window is $(geometry)"
root_shot large
[[ $(black "$work/large.png" 1280x127+0+0) == 0 && $(black "$work/large.png" 1280x127+0+897) == 0 ]] ||
  fail "on 1280x1024 the view is not letterboxed above and below"
drag 640 768 480 736
last=$(angle_when landscape_pin.png '^4[4-6]$')
[[ "$last" =~ ^4[4-6]$ ]] || fail "on 1280x1024 the needle points at ${last:-nothing}, not 45: the mouse maps wrongly"
xdotool key q
wait_app_end Q
[[ $status -eq 0 ]] || fail "Q full screen exited $status"
pass "1280x1024: letterboxed above and below, the mouse lands on the right phone pixel, Q quits"

# Not full screen, on dense desktops: the window starts at whole multiples of the phone's
# pixels, as large as fits when the phone is turned upright (95 % of the desktop's height).
for desktop in "2560x1600 192 1520x912" "3840x2160 192 1600x960" "1920x1080 96 800x480"; do
  read -r size dpi want <<<"$desktop"
  start_x "$size" "$dpi"
  rm -rf "$XDG_CONFIG_HOME/veltora" # each a first start: no size remembered from the last
  (cd "$work" && exec "$launcher" --camera "$work/still.png") >"$work/app.log" 2>&1 &
  app_pid=$!
  wid=$(timeout 15 xdotool search --sync --onlyvisible --name '^Veltora' | head -n 1) ||
    fail "no Veltora window appeared within 15 s on $size at $dpi dpi"
  for _ in $(seq 50); do [[ "$(geometry)" == "$want" ]] && break; sleep 0.1; done
  [[ "$(geometry)" == "$want" ]] || fail "on a $size desktop at $dpi dpi the window starts at $(geometry), not $want"
  stop_app
done
pass "dense desktops: the window starts at 1520x912 on 2560x1600 and 1600x960 on 3840x2160 at 192 dpi, 800x480 at 96 dpi"

echo "test_fullscreen: $passed passed, 0 failed"
