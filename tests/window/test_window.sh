#!/usr/bin/env bash
# Uses the desktop window as a person would, with real X mouse and key events under a
# virtual X server: drags needles landscape and portrait, tilts without turning the view,
# holds the picture, saves what is seen, opens and closes the key list, then checks the
# window's pictures, the trace of what the application drew and called, and the CPU; on a
# still photo it compares the window pixel by pixel with the phone's screen in every
# holding, and tries the loupe, a resized window, fine drag, a finger beyond the window,
# stepping to the next picture, and the window killed from outside.
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
# Tilting moves the sensor only: the view stays landscape whatever the layout does, and
# the title tells the pitch.
xdotool key bracketright bracketright bracketright
sleep 0.3
[[ "$(geometry)" == 800x480 ]] || fail "tilting with ] turned the window to $(geometry)"
xdotool getwindowname "$wid" | grep -q 'pitch -75 deg' || fail "the title does not show the pitch: $(xdotool getwindowname "$wid")"
xdotool key 1
pass "] tilts without turning the view; the title shows pitch -75"
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
# S saves what is seen: portrait, 480x800, and prints its full path.
xdotool key s
saved=$(saved_picture "S")
[[ "$(identify -format '%wx%h' "$saved")" == 480x800 ]] || fail "S in portrait saved $(identify -format '%wx%h' "$saved"), not 480x800"
grep -qxF "$saved" "$work/app.log" || fail "the launcher did not print the screenshot's full path $saved"
rm -f "$saved"
pass "S in portrait saved a 480x800 picture and printed its full path"


xdotool key 1
wait_geometry 800x480 "key 1 (landscape)"
sleep 1.2

# H shows the keys in the window; Escape closes the list and quits nothing.
shot nolist
xdotool key h
sleep 0.4
shot keylist
listed=$(compare -metric AE -fuzz 10% "$work/nolist.png" "$work/keylist.png" null: 2>&1 || true)
[[ "$listed" =~ ^[0-9]+$ && $listed -gt 100000 ]] || fail "H showed no key list in the window ($listed pixels changed)"
xdotool key Escape
sleep 0.4
shot closed
closed=$(compare -metric AE -fuzz 10% "$work/nolist.png" "$work/closed.png" null: 2>&1 || true)
[[ "$closed" =~ ^[0-9]+$ && $closed -lt 20000 ]] || fail "Escape did not close the key list ($closed pixels differ)"
xdotool key Escape
sleep 0.5
kill -0 "$app_pid" 2>/dev/null || fail "Escape quit the program"
pass "H shows the key list, Escape closes it and quits nothing"

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

# S in landscape saves the screen as it is, in the pictures folder's Veltora, and names it.
xdotool key s
saved=$(saved_picture "S")
[[ "$(identify -format '%wx%h' "$saved")" == 800x480 ]] || fail "the saved screenshot is not 800x480"
grep -qF "$(basename "$saved")" "$work/app.log" || fail "the launcher did not print the screenshot's name"
pass "S saved $(basename "$saved")"

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

# Pixels: on a still photo (the demo scene has a running watch), the window must show the
# phone's screen turned as the phone is held, upright for the user, in all four holdings and on
# the help page. Shift+S saves the phone's own screen; ImageMagick turns it the expected way
# (clockwise degrees) and compares it with an X screenshot of the window, and the wrong turns
# must not match. S saves what the user sees: the window's picture itself.
# The pictures have a folder of their own, which N and P step through.
mkdir -p "$work/pics"
convert -size 800x480 -seed 7 plasma:fractal "$work/pics/still.png" || fail "cannot draw the still photo"
convert -size 640x480 -seed 9 plasma:fractal "$work/pics/still2.png" || fail "cannot draw the second photo"
convert -size 800x480 xc:'#808080' -fill '#00C000' -draw 'rectangle 680,130 719,169' "$work/pics/zspot.png" ||
  fail "cannot draw the spot photo"
rm -f "$shots"/veltora-*.png
# A first start again: the size that suits the desktop, not the one the last window had.
rm -rf "$XDG_CONFIG_HOME/veltora"
trace2="$work/trace2.jsonl"
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
  sleep 1.2 # a tilt reading lays the controls out, then a frame shows them
  shot "view-$name"
  xdotool key shift+s
  saved_screen "screen-$name"
  xdotool key s
  saved_screen "seen-$name"
  convert "$work/screen-$name.png" -rotate "$turn" "$work/want-$name.png"
  n=$(differs "$work/view-$name.png" "$work/want-$name.png")
  [[ $n -le 40 ]] || fail "$name: the window is not the phone's screen turned $turn degrees ($n pixels differ; KEEP_WORK=1 keeps the pictures)"
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
# Back, at the top right of the portrait help page.
xdotool mousemove --window "$wid" 400 32 click 1
wait_geometry 800x480 "back from the help page"
sleep 1.2

# The loupe: shown while the button is down, in the corner away from the finger, and
# never in S's picture.
xdotool mousemove --window "$wid" 640 200 mousedown 1
sleep 0.4
shot loupe
xdotool key s
saved_screen seen-loupe
xdotool mouseup 1
sleep 0.4
shot noloupe
n=$(differs "$work/loupe.png" "$work/noloupe.png")
[[ $n -gt 5000 ]] || fail "no loupe while the button was down ($n pixels differ)"
corner=$(compare -metric AE -fuzz 1% "$work/loupe.png[160x160+10+310]" "$work/noloupe.png[160x160+10+310]" null: 2>&1 || true)
[[ "$corner" =~ ^[0-9]+$ && $corner -gt 5000 ]] || fail "the loupe is not in the bottom-left corner, away from the finger ($corner)"
n=$(differs "$work/seen-loupe.png" "$work/noloupe.png")
[[ $n -le 40 ]] || fail "the loupe is in S's picture ($n pixels differ from the window without it)"
pass "the loupe shows while the button is down and is not in S's picture"

# Resized to 1.5 times: the phone's pixel under a window point stays right. The measuring
# needle dragged to screen (300,380), here window (450,570), points at 45 degrees as drawn.
xdotool windowsize "$wid" 1200 720
wait_geometry 1200x720 "resizing"
sleep 0.5
mark=$(wc -l <"$trace2")
drag 1 600 600 450 570
sleep 0.5
angles() { tail -n +"$1" "$trace2" | jq -r 'select(.type == "canvas") | .draws[] | select(.bitmap == "landscape_pin.png") | .angle'; }
last=$(angles "$mark" | tail -n 1)
[[ "$last" =~ ^4[4-6]$ ]] || fail "in the resized window the needle points at ${last:-nothing}, not 45: the mouse maps wrongly"
# Letterboxed: a window wider than the phone shows black beside it and maps past it.
xdotool windowsize "$wid" 1000 480
wait_geometry 1000x480 "resizing wider"
sleep 0.5
shot wide
left=$(convert "$work/wide.png" -crop 90x480+0+0 +repage -format '%[fx:maxima.r+maxima.g+maxima.b]' info:)
[[ "$left" == 0 ]] || fail "a window wider than the phone is not letterboxed (left strip: $left)"
mark=$(wc -l <"$trace2")
drag 1 500 400 400 380
sleep 0.5
last=$(angles "$mark" | tail -n 1)
[[ "$last" =~ ^4[4-6]$ ]] || fail "in the letterboxed window the needle points at ${last:-nothing}, not 45"
xdotool windowsize "$wid" 800 480
wait_geometry 800x480 "resizing back"
sleep 0.5
pass "resized and letterboxed, the mouse still lands on the right phone pixel"

# Fine drag: with Shift the finger moves a tenth as far as the mouse; while held, the finger
# follows the mouse out of the window, past the screen's edge.
mark=$(wc -l <"$trace2")
xdotool mousemove --window "$wid" 400 400 mousedown 1
for x in 380 360 340 320 300; do xdotool mousemove --window "$wid" "$x" 380; sleep 0.05; done
sleep 0.3
coarse=$(angles "$mark" | tail -n 1)
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
sleep 0.3
xdotool mouseup 1
sleep 0.3
outside=$(angles "$mark" | tail -n 1)
# The finger, 10 pixels right of the mouse since the fine drag, ends near screen (-290, 69),
# seen from the hub 30 degrees above the left (drawn at 60); held at the screen's edge it
# would be 45.
[[ "$outside" =~ ^(59|6[0-1])$ ]] || fail "beyond the window the needle points at ${outside:-nothing}: the finger did not follow the mouse"
pass "Shift moves the needle $coarse -> $fine for 100 mouse pixels; beyond the window it follows ($outside)"

# N steps to the next picture in the photo's folder (what a dropped file does too), P back.
xdotool key n
for _ in $(seq 30); do xdotool getwindowname "$wid" | grep -q 'still2\.png' && break; sleep 0.1; done
xdotool getwindowname "$wid" | grep -q 'still2\.png' || fail "N did not show still2.png: $(xdotool getwindowname "$wid")"
grep -q "showing $work/pics/still2.png" "$work/app.log" || fail "N did not say which picture it shows"
xdotool key p
for _ in $(seq 30); do xdotool getwindowname "$wid" | grep -q 'still\.png' && break; sleep 0.1; done
xdotool getwindowname "$wid" | grep -q 'still\.png' || fail "P did not go back to still.png"
pass "N and P step through the pictures of the folder; the title names the source"

# The middle button brings the picture point under the mouse under the dial's hub: a green
# spot at (700,150) of the last picture in the folder goes to the landscape hub (400,469).
xdotool key p
for _ in $(seq 30); do xdotool getwindowname "$wid" | grep -q 'zspot\.png' && break; sleep 0.1; done
xdotool getwindowname "$wid" | grep -q 'zspot\.png' || fail "P did not wrap round to zspot.png"
sleep 0.5
green_near_hub() { # how many of four points round the hub, clear of its ring and needles, are green
  local n=0 dx dy c
  for dx in -18 18; do
    for dy in -18 7; do
      c=$(convert "$1" -format "%[fx:int(255*p{$((400 + dx)),$((469 + dy))}.g)] %[fx:int(255*p{$((400 + dx)),$((469 + dy))}.r)]" info:)
      read -r g r <<<"$c"
      [[ $g -gt 150 && $r -lt 80 ]] && n=$((n + 1))
    done
  done
  echo "$n"
}
xdotool key shift+s
saved_screen spot-before
[[ $(green_near_hub "$work/spot-before.png") -eq 0 ]] || fail "the spot is under the hub before aiming"
xdotool mousemove --window "$wid" 700 150 click 2
sleep 0.6
xdotool key shift+s
saved_screen spot-after
[[ $(green_near_hub "$work/spot-after.png") -ge 3 ]] || fail "the middle button did not bring the spot under the hub ($(green_near_hub "$work/spot-after.png") of 4 points green)"
pass "the middle button brings the clicked picture point under the hub"

# The window killed from outside (its X connection cut): the run ends in order.
xdotool windowkill "$wid"
wait_app_end "its window being killed"
[[ $status -eq 3 ]] || fail "with its window killed the launcher exited $status, not 3"
grep -q "Application finished\." "$work/app.log" || fail "the application did not finish in order"
[[ -s "$work/end.png" ]] || fail "--screenshot was not written when the window was killed"
grep -q "XIO\|X Error" "$work/app.log" && fail "Xlib's own error text was printed"
pass "the window killed from outside ends the run in order (exit 3, --screenshot written)"

echo "test_window: $passed passed, 0 failed"
