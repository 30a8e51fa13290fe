#!/usr/bin/env bash
# Uses the desktop window as a person would, with real X mouse and key events under a
# virtual X server: drags needles landscape and portrait, holds the picture, then checks the
# window's pictures, the trace of what the application drew and called, and the CPU while it
# waits on X; on a still photo it compares the window pixel by pixel with the phone's screen,
# and tries a window resized from outside, fine drag, a finger beyond the window, and the
# window killed from outside. What needs no X server (keys, the key list, every holding's
# pixels, S's pictures, the loupe, N and P, the middle button, the wheel) is tested on SDL's
# offscreen driver in tests/backends/sdl/test_window_offscreen.cpp.
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

test_name=test_window
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
bindir=$(dirname "$launcher")

# A display that names no server: one line, exit 2, and `make run`'s script runs headless.
(cd "$work" && DISPLAY=:97 WAYLAND_DISPLAY= "$launcher" >"$work/nodisplay.log" 2>&1) && status=0 || status=$?
[[ $status -eq 2 ]] || fail "with no X server at DISPLAY the launcher exited $status, not 2"
[[ $(wc -l <"$work/nodisplay.log") -eq 1 ]] && grep -q '^veltora: cannot open a window: no X server' "$work/nodisplay.log" ||
  fail "with no X server at DISPLAY the launcher did not print one line: $(cat "$work/nodisplay.log")"
runsh=$(realpath "$(dirname "$0")/../../scripts/run.sh")
(cd "$work" && DISPLAY=:97 WAYLAND_DISPLAY= "$runsh" "$(dirname "$bindir")" >"$work/run.log" 2>&1) ||
  fail "run.sh failed with no X server: $(tail -n 3 "$work/run.log")"
[[ -s "$work/veltora-screenshot.png" ]] || fail "run.sh did not fall back to the headless run: $(tail -n 3 "$work/run.log")"
rm -f "$work/veltora-screenshot.png"
pass "a DISPLAY with no server: one line, exit 2, and run.sh runs headless"

start_x 1280x1024

trace="$work/trace.jsonl"
trace_now=$trace
(cd "$work" && exec "$launcher" --trace "$trace" "${extra[@]}") >"$work/app.log" 2>&1 &
app_pid=$!

wid=$(timeout 15 xdotool search --sync --onlyvisible --name '^Veltora' | head -n 1) ||
  fail "no Veltora window appeared within 15 s"
kill -0 "$app_pid" 2>/dev/null || fail "the launcher ended at start"
# Keys go to the focused window; there is no window manager to give it focus.
xdotool windowfocus --sync "$wid"
# The desktop finds the window's entry, name and icon by its class.
[[ "$(xdotool search --class '^org\.veltora\.Veltora$' 2>/dev/null | head -n 1)" == "$wid" ]] ||
  fail "the window's X class is not the desktop entry's org.veltora.Veltora"
grep -qx 'StartupWMClass=org.veltora.Veltora' "$(dirname "$0")/../../data/org.veltora.Veltora.desktop" ||
  fail "the desktop entry's StartupWMClass is not the window's class"
pass "the window's X class is the desktop entry's, org.veltora.Veltora"

geometry() { xdotool getwindowgeometry "$wid" | awk '/Geometry:/ {print $2}'; }
# Waits up to 10 s for the trace to show, after line $2, a canvas drawing the bitmap $1.
wait_drawn() { # bitmap mark what
  for _ in $(seq 100); do
    tail -n +"$2" "$trace_now" | grep -q "\"bitmap\":\"$1\"" && return 0
    sleep 0.1
  done
  fail "$1 was not drawn within 10 s of $3"
}
# Waits up to 10 s for the trace to show a call to $1 after line $2.
wait_called() { # name mark what
  for _ in $(seq 100); do
    tail -n +"$2" "$trace_now" | grep -q "\"name\":\"$1\"" && return 0
    sleep 0.1
  done
  fail "$1 was not called within 10 s of $3"
}
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
pass "the window shows the screen, 800x480, $(colours first) colours"

# Landscape: the measuring needle is taken near the dial's centre at (400,480).
drag 1 400 400 300 380

# Upright: the window turns the screen a quarter clockwise, so screen (400,300) is at
# window (179,400) and screen (460,240), right of the portrait dial's centre, at (239,460).
# The drag waits until a tilt reading has laid the portrait dial out.
mark=$(wc -l <"$trace")
xdotool key 2
wait_geometry 480x800 "key 2 (portrait)"
wait_drawn portrait_pin.png "$mark" "key 2"
drag 1 179 400 239 460
shot portrait
[[ "$(identify -format '%wx%h' "$work/portrait.png")" == 480x800 ]] || fail "the portrait screenshot is not 480x800"
pass "key 2 turns the window to 480x800"

mark=$(wc -l <"$trace")
xdotool key 1
wait_geometry 800x480 "key 1 (landscape)"
wait_drawn landscape_pin.png "$mark" "key 1"

# Hold: the hold image is at (721,15)-(785,81).
mark=$(wc -l <"$trace")
xdotool mousemove --window "$wid" 753 48 click 1
wait_called Camera::StopPreview "$mark" "pressing hold"
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
diff=0
for _ in $(seq 50); do
  shot second
  diff=$(compare -metric AE "$work/first.png" "$work/second.png" null: 2>&1 || true)
  [[ "$diff" =~ ^[0-9]+$ ]] || fail "cannot compare the screenshots: $diff"
  [[ $diff -gt 1000 && $(colours second) -gt 200 ]] && break
  sleep 0.1
done
[[ $(colours second) -gt 200 ]] || fail "the window is blank after hold"
[[ $diff -gt 1000 ]] || fail "the window did not change after the drags and hold ($diff pixels differ)"
pass "$diff pixels changed after the drags and hold"

xdotool key q
wait_app_end Q
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

# Pixels: on a still photo (the demo scene has a running watch), what X shows of the window
# must be the phone's screen. Shift+S saves the phone's own screen and is compared with an X
# screenshot of the window; the wrong turns must not match. S saves what the user sees.
# (Every holding and the help page are compared on the offscreen driver.)
mkdir -p "$work/pics"
convert -size 800x480 -seed 7 plasma:fractal "$work/pics/still.png" || fail "cannot draw the still photo"
rm -f "$shots"/veltora-*.png
# A first start again: the size that suits the desktop, not the one the last window had.
rm -rf "$XDG_CONFIG_HOME/veltora"
trace2="$work/trace2.jsonl"
trace_now=$trace2
(cd "$work" && exec "$launcher" --camera "$work/pics/still.png" --trace "$trace2" --screenshot "$work/end.png" "${extra[@]}") >"$work/app.log" 2>&1 &
app_pid=$!
wid=$(timeout 15 xdotool search --sync --onlyvisible --name '^Veltora' | head -n 1) ||
  fail "no Veltora window appeared within 15 s on the still photo"
xdotool windowfocus --sync "$wid"
wait_geometry 800x480 "start on the still photo"

saved_screen() { # moves the picture a screenshot key saved to $work/$1.png
  local f
  f=$(saved_picture "$1")
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
  local name=$1 turn=$2 size=$3 wrong n bad seen
  wait_geometry "$size" "$name"
  # A tilt reading lays the controls out, then a frame shows them: until the window and the
  # phone's screen agree, 10 s at most.
  for _ in $(seq 20); do
    shot "view-$name"
    xdotool key shift+s
    saved_screen "screen-$name"
    convert "$work/screen-$name.png" -rotate "$turn" "$work/want-$name.png"
    n=$(differs "$work/view-$name.png" "$work/want-$name.png")
    [[ $n -le 40 && $(colours "view-$name") -gt 200 ]] && break
    sleep 0.3
  done
  [[ $n -le 40 ]] || fail "$name: the window is not the phone's screen turned $turn degrees ($n pixels differ; KEEP_WORK=1 keeps the pictures)"
  xdotool key s
  saved_screen "seen-$name"
  for wrong in 0 90 180 270; do
    [[ $wrong -eq $turn ]] && continue
    convert "$work/screen-$name.png" -rotate "$wrong" "$work/wrong-$name.png"
    bad=$(differs "$work/view-$name.png" "$work/wrong-$name.png")
    [[ $bad -gt 10000 ]] || fail "$name: a turn of $wrong degrees matches the window too ($bad pixels differ)"
  done
  seen=$(differs "$work/view-$name.png" "$work/seen-$name.png")
  [[ $seen -le 40 ]] || fail "$name: S did not save what the window shows ($seen pixels differ)"
  pass "$name: the window is the phone's screen turned $turn degrees ($n pixels differ), and S saves it as seen"
}
check_view landscape 0 800x480

# Resized to 1.5 times: the phone's pixel under a window point stays right. The measuring
# needle dragged to screen (300,380), here window (450,570), points at 45 degrees as drawn.
xdotool windowsize "$wid" 1200 720
wait_geometry 1200x720 "resizing"
mark=$(wc -l <"$trace2")
drag 1 600 600 450 570
angles() { tail -n +"$1" "$trace2" | jq -r 'select(.type == "canvas") | .draws[] | select(.bitmap == "landscape_pin.png") | .angle'; }
# The last angle drawn after line $1 once it matches $2, waiting up to 10 s; else the last one.
angle_when() { # mark regex
  local a=""
  for _ in $(seq 100); do
    a=$(angles "$1" | tail -n 1)
    [[ "$a" =~ $2 ]] && break
    sleep 0.1
  done
  echo "$a"
}
last=$(angle_when "$mark" '^4[4-6]$')
[[ "$last" =~ ^4[4-6]$ ]] || fail "in the resized window the needle points at ${last:-nothing}, not 45: the mouse maps wrongly"
# Letterboxed: a window wider than the phone shows black beside it and maps past it.
xdotool windowsize "$wid" 1000 480
wait_geometry 1000x480 "resizing wider"
for _ in $(seq 50); do
  shot wide
  left=$(convert "$work/wide.png" -crop 90x480+0+0 +repage -format '%[fx:maxima.r+maxima.g+maxima.b]' info:)
  [[ "$left" == 0 ]] && break
  sleep 0.1
done
[[ "$left" == 0 ]] || fail "a window wider than the phone is not letterboxed (left strip: $left)"
mark=$(wc -l <"$trace2")
drag 1 500 400 400 380
last=$(angle_when "$mark" '^4[4-6]$')
[[ "$last" =~ ^4[4-6]$ ]] || fail "in the letterboxed window the needle points at ${last:-nothing}, not 45"
xdotool windowsize "$wid" 800 480
wait_geometry 800x480 "resizing back"
pass "resized and letterboxed, the mouse still lands on the right phone pixel"

# Fine drag: with Shift the finger moves a tenth as far as the mouse; while held, the finger
# follows the mouse out of the window, past the screen's edge.
mark=$(wc -l <"$trace2")
xdotool mousemove --window "$wid" 400 400 mousedown 1
for x in 380 360 340 320 300; do xdotool mousemove --window "$wid" "$x" 380; sleep 0.05; done
coarse=$(angle_when "$mark" '^4[3-7]$')
mark=$(wc -l <"$trace2")
xdotool keydown shift
for x in 320 340 360 380 400; do xdotool mousemove --window "$wid" "$x" 380; sleep 0.05; done
sleep 0.3
xdotool keyup shift
fine=$(angles "$mark" | tail -n 1)
[[ -n "$coarse" && -n "$fine" ]] || fail "no needle angles in the trace for the fine drag"
step=$(( fine > coarse ? fine - coarse : coarse - fine ))
[[ $step -ge 1 && $step -le 6 ]] || fail "100 mouse pixels with Shift turned the needle from $coarse to $fine (want a few degrees, not about 30)"
mark=$(wc -l <"$trace2")
# xdotool takes no negative offsets: points left of the window are made absolute.
read -r winx winy < <(xdotool getwindowgeometry "$wid" | awk '/Position:/ {split($2, p, ","); print p[1], p[2]}')
for x in 200 0 -100 -200; do xdotool mousemove $((winx + x)) $((winy + 69)); sleep 0.05; done
xdotool mouseup 1
outside=$(angle_when "$mark" '^(59|6[0-1])$')
# The finger, 10 pixels right of the mouse since the fine drag, ends near screen (-290, 69),
# seen from the hub 30 degrees above the left (drawn at 60); held at the screen's edge it
# would be 45.
[[ "$outside" =~ ^(59|6[0-1])$ ]] || fail "beyond the window the needle points at ${outside:-nothing}: the finger did not follow the mouse"
pass "Shift moves the needle $coarse -> $fine for 100 mouse pixels; beyond the window it follows ($outside)"

# The window killed from outside (its X connection cut): the run ends in order.
xdotool windowkill "$wid"
wait_app_end "its window being killed"
[[ $status -eq 3 ]] || fail "with its window killed the launcher exited $status, not 3"
grep -q "Application finished\." "$work/app.log" || fail "the application did not finish in order"
[[ -s "$work/end.png" ]] || fail "--screenshot was not written when the window was killed"
grep -q "XIO\|X Error" "$work/app.log" && fail "Xlib's own error text was printed"
pass "the window killed from outside ends the run in order (exit 3, --screenshot written)"

echo "test_window: $passed passed, 0 failed"
