#!/usr/bin/env bash
# Uses the desktop window as a person would, with real X mouse and key events under a
# virtual X server: drags needles landscape and portrait, holds the picture, then checks
# the window's pictures, the trace of what the application drew and called, and the CPU;
# last, on a still photo, compares the window pixel by pixel with the phone's screen.
#
# usage: test_window.sh PATH/TO/veltora [more launcher options]
# Needs Xvfb, xdotool, ImageMagick (import, compare, identify) and jq; exits 77 when one
# is missing, 0 when every check passes, 1 with the failed check otherwise.
set -Eeuo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 PATH/TO/veltora [launcher options]" >&2
  exit 2
fi
launcher=$(realpath "$1")
shift
extra=("$@")

for tool in Xvfb xdotool import compare identify jq; do
  if ! command -v "$tool" >/dev/null; then
    echo "test_window: SKIP: $tool is missing (apt-get install xvfb xdotool imagemagick jq)" >&2
    exit 77
  fi
done
[[ -x "$launcher" ]] || { echo "test_window: FAIL: $launcher is not an executable" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  if [[ -n "$app_pid" ]]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
  if [[ -n "$xvfb_pid" ]]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  if [[ -n "${KEEP_WORK:-}" ]]; then echo "test_window: files kept in $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

passed=0
fail() {
  echo "test_window: FAIL: $*" >&2
  if [[ -s "$work/app.log" ]]; then
    echo "--- the launcher's output:" >&2
    tail -n 20 "$work/app.log" >&2
  fi
  echo "test_window: $passed passed, 1 failed"
  exit 1
}
pass() {
  passed=$((passed + 1))
  echo "test_window: ok: $*"
}
# A tool failing on its own (xdotool once the window is gone, say) still ends with a reason.
trap 'fail "the command at line $LINENO failed (is the launcher still running?)"' ERR

# Xvfb picks a free display itself and names it once it is ready.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"
  sleep 0.05
done
[[ -s "$work/display" ]] || fail "Xvfb named no display within 5 s"
export DISPLAY=":$(head -n 1 "$work/display")"

trace="$work/trace.jsonl"
(cd "$work" && exec "$launcher" --trace "$trace" "${extra[@]}") >"$work/app.log" 2>&1 &
app_pid=$!

wid=$(timeout 15 xdotool search --sync --onlyvisible --name '^Veltora' | head -n 1) ||
  fail "no Veltora window appeared within 15 s"
kill -0 "$app_pid" 2>/dev/null || fail "the launcher ended at start"
# Keys go to the focused window; there is no window manager to give it focus.
xdotool windowfocus --sync "$wid"

geometry() { xdotool getwindowgeometry "$wid" | awk '/Geometry:/ {print $2}'; }
wait_geometry() {
  for _ in $(seq 50); do
    [[ "$(geometry)" == "$1" ]] && return 0
    sleep 0.1
  done
  fail "the window is $(geometry), not $1, after $2"
}
shot() { import -window "$wid" "$work/$1.png" || fail "cannot take a screenshot of the window"; }
colours() { identify -format '%k' "$work/$1.png"; }
drag() { # button x0 y0 x1 y1, in window pixels, in eight steps as a hand would
  local b=$1 x0=$2 y0=$3 x1=$4 y1=$5 i
  xdotool mousemove --window "$wid" "$x0" "$y0"
  sleep 0.05
  xdotool mousedown "$b"
  for i in 1 2 3 4 5 6 7 8; do
    xdotool mousemove --window "$wid" $((x0 + (x1 - x0) * i / 8)) $((y0 + (y1 - y0) * i / 8))
    sleep 0.03
  done
  xdotool mouseup "$b"
}

wait_geometry 800x480 "start"
# The first tilt reading (every 500 ms) lays the controls out; wait until the window shows a picture.
for _ in $(seq 40); do
  shot first
  [[ $(colours first) -gt 200 ]] && break
  sleep 0.1
done
[[ $(colours first) -gt 200 ]] || fail "the window stays blank ($(colours first) colours)"
sleep 0.8
shot first
pass "the window shows the screen, 800x480, $(colours first) colours"

# Landscape: the measuring needle is taken near the dial's centre at (400,480).
drag 1 400 400 300 380
sleep 0.3

# Upright: the window turns the screen a quarter clockwise, so screen (400,300) is at
# window (179,400) and screen (460,240), right of the portrait dial's centre, at (239,460).
xdotool key 2
wait_geometry 480x800 "key 2 (portrait)"
sleep 1.2
drag 1 179 400 239 460
sleep 0.3
shot portrait
[[ "$(identify -format '%wx%h' "$work/portrait.png")" == 480x800 ]] || fail "the portrait screenshot is not 480x800"
pass "key 2 turns the window to 480x800"

xdotool key 1
wait_geometry 800x480 "key 1 (landscape)"
sleep 1.2

# Hold: the hold image is at (721,15)-(785,81).
xdotool mousemove --window "$wid" 753 48 click 1
sleep 1.0
clk=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$app_pid/stat"; }
before=$(cpu)
sleep 3
after=$(cpu)
used=$((after - before))
# Nothing is due but a tilt reading twice a second: a window that polled instead of
# waiting (even every millisecond) would use several per cent of a core here.
[[ $used -le $((3 * clk / 50)) ]] || fail "the held picture still costs $used of $((3 * clk)) CPU ticks in 3 s"
pass "while held the process used $used of $((3 * clk)) CPU ticks in 3 s"

# The origin needle, on the dial's outer ring, moves while the picture is held.
drag 1 400 200 600 300
sleep 0.5
shot second
[[ $(colours second) -gt 200 ]] || fail "the window is blank after hold"
diff=$(compare -metric AE "$work/first.png" "$work/second.png" null: 2>&1 || true)
[[ "$diff" =~ ^[0-9]+$ ]] || fail "cannot compare the screenshots: $diff"
[[ $diff -gt 1000 ]] || fail "the window did not change after the drags and hold ($diff pixels differ)"
pass "$diff pixels changed after the drags and hold"

# S saves the phone's screen (not the turned window) in the launcher's folder and names it.
xdotool key s
for _ in $(seq 50); do
  compgen -G "$work/veltora-*.png" >/dev/null && break
  sleep 0.1
done
saved=$(compgen -G "$work/veltora-*.png" | head -n 1 || true)
[[ -n "$saved" ]] || fail "S saved no screenshot in the current folder"
sleep 0.2
[[ "$(identify -format '%wx%h' "$saved")" == 800x480 ]] || fail "the saved screenshot is not 800x480"
grep -qF "$(basename "$saved")" "$work/app.log" || fail "the launcher did not print the screenshot's name"
pass "S saved $(basename "$saved")"

xdotool key q
for _ in $(seq 100); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "the launcher did not quit within 10 s of Q"
status=0
wait "$app_pid" || status=$?
app_pid=""
[[ $status -eq 0 ]] || fail "the launcher exited with $status after Q"
pass "Q quits with exit code 0"

[[ -s "$trace" ]] || fail "the launcher wrote no trace"
# One line per event: index, kind, and the angles of the needles it drew.
jq -rR --slurp '
  split("\n") | map(fromjson? // empty) | to_entries[] |
  .key as $i | .value as $e |
  if $e.type == "canvas" then
    "\($i) canvas " + ([$e.draws[] | select(.bitmap == "landscape_pin.png" or .bitmap == "portrait_pin.png"
                                            or .bitmap == "landscape_originPin.png")
                         | "\(.bitmap)=\(.angle)"] | join(" "))
  elif $e.type == "call" and $e.name == "Camera::StopPreview" then "\($i) stop"
  else empty end' "$trace" >"$work/events.txt" || fail "the trace is not JSON lines"

first_line() { grep -m 1 -E "$1" "$work/events.txt" | awk '{print $1}' || true; }
last_line() { grep -E "$1" "$work/events.txt" | tail -n 1 | awk '{print $1}' || true; }
# Angles as drawn: the landscape needle starts at 90 and points 45 after the first drag;
# the portrait needle points at -90 (right of the centre) only if the turned mouse mapping is right.
moved=$(first_line 'landscape_pin\.png=4[3-7]( |$)')
[[ -n "$(first_line 'landscape_pin\.png=90( |$)')" ]] || fail "the trace never shows the measuring needle at its start"
[[ -n "$moved" ]] || fail "the measuring needle never pointed at 45 after the drag: $(grep -o 'landscape_pin.png=[-0-9]*' "$work/events.txt" | sort | uniq -c | tr '\n' ' ')"
pass "the landscape measuring needle followed the mouse"
portrait=$(last_line 'portrait_pin\.png=-(8[89]|9[0-2])( |$)')
[[ -n "$portrait" ]] || fail "the portrait measuring needle never pointed right of the centre: $(grep -o 'portrait_pin.png=[-0-9]*' "$work/events.txt" | sort | uniq -c | tr '\n' ' ')"
pass "the portrait measuring needle followed the turned mouse"
stop=$(first_line ' stop$')
[[ -n "$stop" ]] || fail "Camera::StopPreview was never called"
last_portrait=$(last_line 'portrait_pin')
[[ $stop -gt $moved && $stop -gt $last_portrait ]] || fail "Camera::StopPreview came before hold was pressed"
held=$(awk -v s="$stop" '$1 > s && $2 == "canvas" && /landscape_originPin\.png=-4[6-9]/ {print $1; exit}' "$work/events.txt")
[[ -n "$held" ]] || fail "the origin needle did not follow the mouse while held"
pass "hold stopped the camera and the needles still moved while held"

# Pixels: on a still photo (the demo scene has a running watch), the window must show the
# phone's screen turned as the phone is held, upright for the user, in all four holdings and on
# the help page. S saves the phone's own screen; ImageMagick turns it the expected way (clockwise
# degrees) and compares it with an X screenshot of the window, and the wrong turns must not match.
convert -size 800x480 -seed 7 plasma:fractal "$work/still.png" || fail "cannot draw the still photo"
rm -f "$work"/veltora-*.png
(cd "$work" && exec "$launcher" --camera "$work/still.png" "${extra[@]}") >"$work/app.log" 2>&1 &
app_pid=$!
wid=$(timeout 15 xdotool search --sync --onlyvisible --name '^Veltora' | head -n 1) ||
  fail "no Veltora window appeared within 15 s on the still photo"
xdotool windowfocus --sync "$wid"
wait_geometry 800x480 "start on the still photo"

saved_screen() { # waits for S's file, moves it to $work/$1.png
  local f
  for _ in $(seq 50); do
    f=$(compgen -G "$work/veltora-*.png" | head -n 1 || true)
    [[ -n "$f" ]] && break
    sleep 0.1
  done
  [[ -n "$f" ]] || fail "S saved no screenshot for $1"
  sleep 0.2
  mv "$f" "$work/$1.png"
}
differs() { # a b: how many pixels differ beyond the 1% fuzz; a size mismatch counts as all
  if [[ "$(identify -format '%wx%h' "$1")" != "$(identify -format '%wx%h' "$2")" ]]; then
    echo 999999
    return
  fi
  local n
  n=$(compare -metric AE -fuzz 1% "$1" "$2" null: 2>&1 || true)
  [[ "$n" =~ ^[0-9]+$ ]] || fail "cannot compare $1 and $2: $n"
  echo "$n"
}
check_view() { # name turn size: the window shows the screen turned by `turn` degrees clockwise
  local name=$1 turn=$2 size=$3 wrong n bad
  wait_geometry "$size" "$name"
  sleep 1.2 # a tilt reading lays the controls out, then a frame shows them
  shot "view-$name"
  xdotool key s
  saved_screen "screen-$name"
  convert "$work/screen-$name.png" -rotate "$turn" "$work/want-$name.png"
  n=$(differs "$work/view-$name.png" "$work/want-$name.png")
  [[ $n -le 40 ]] || fail "$name: the window is not the phone's screen turned $turn degrees ($n pixels differ; KEEP_WORK=1 keeps the pictures)"
  for wrong in 0 90 180 270; do
    [[ $wrong -eq $turn ]] && continue
    convert "$work/screen-$name.png" -rotate "$wrong" "$work/wrong-$name.png"
    bad=$(differs "$work/view-$name.png" "$work/wrong-$name.png")
    [[ $bad -gt 10000 ]] || fail "$name: a turn of $wrong degrees matches the window too ($bad pixels differ)"
  done
  pass "$name: the window is the phone's screen turned $turn degrees ($n pixels differ)"
}
check_view landscape 0 800x480
xdotool key 2
check_view portrait 90 480x800
xdotool key 3
check_view landscape-turned-over 180 800x480
xdotool key 4
check_view portrait-upside-down 270 480x800
xdotool key 1
wait_geometry 800x480 "key 1 (landscape) again"
sleep 1.2
# The information image is at (15,90)-(65,140); the help page turns the form to portrait.
xdotool mousemove --window "$wid" 40 115 click 1
check_view help-page 0 480x800
xdotool key q
for _ in $(seq 100); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "the launcher did not quit within 10 s of Q on the still photo"
wait "$app_pid" || true
app_pid=""

echo "test_window: $passed passed, 0 failed"
