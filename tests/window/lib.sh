# What the real-window tests share: a work folder removed at the end (KEEP_WORK=1 keeps it),
# pass/fail reporting that ends in a count, a virtual X server, and waiting for what the
# launcher does. Sourced by the test scripts after they set `test_name`.

work=$(mktemp -d)
# What the window keeps for the desktop stays in the work folder: the pictures S saves (in
# Veltora in the pictures folder) and the settings it remembers between runs.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"
printf 'XDG_PICTURES_DIR="%s"\n' "$work/pictures" >"$XDG_CONFIG_HOME/user-dirs.dirs"
shots="$work/pictures/Veltora"
xvfb_pid=""
app_pid=""
passed=0

stop_app() {
  if [[ -n "$app_pid" ]]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
  app_pid=""
}
stop_x() {
  if [[ -n "$xvfb_pid" ]]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  xvfb_pid=""
}
cleanup() {
  stop_app
  stop_x
  if [[ -n "${KEEP_WORK:-}" ]]; then echo "$test_name: files kept in $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

fail() {
  echo "$test_name: FAIL: $*" >&2
  if [[ -s "$work/app.log" ]]; then
    echo "--- the launcher's output:" >&2
    tail -n 20 "$work/app.log" >&2
  fi
  echo "$test_name: $passed passed, 1 failed"
  exit 1
}
pass() {
  passed=$((passed + 1))
  echo "$test_name: ok: $*"
}
# A tool failing on its own (xdotool once the window is gone, say) still ends with a reason.
trap 'fail "the command at line $LINENO failed (is the launcher still running?)"' ERR

# Starts a virtual X server of WIDTHxHEIGHT (at DPI dots per inch when given); Xvfb picks a
# free display itself and names it once it is ready.
start_x() {
  stop_x
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 "$1x24" -dpi "${2:-96}" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"
    sleep 0.05
  done
  [[ -s "$work/display" ]] || fail "Xvfb named no display within 5 s"
  export DISPLAY=":$(head -n 1 "$work/display")"
}

# The picture a screenshot key wrote in the work folder, once it is complete: the launcher
# prints its path when it has written it (fails after 30 s).
saved_picture() { # what: for the failure's message
  local f=""
  for _ in $(seq 300); do
    f=$(compgen -G "$shots/veltora-*.png" | head -n 1 || true)
    [[ -n "$f" ]] && grep -qxF "$f" "$work/app.log" && break
    f=""
    sleep 0.1
  done
  [[ -n "$f" ]] || fail "no screenshot was saved for $1"
  echo "$f"
}

# Waits up to 10 s for the launcher to end; its exit status goes to `status`.
wait_app_end() { # what ended it: for the failure's message
  for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$app_pid" 2>/dev/null && fail "the launcher did not end within 10 s of $1"
  status=0
  wait "$app_pid" || status=$?
  app_pid=""
}

# Weston, the reference Wayland compositor, on a socket in a runtime folder of the test's own;
# the window is then started with WAYLAND_DISPLAY set and no DISPLAY. start_weston BACKEND
# [weston options...]: the X11 backend draws into the Xvfb that start_x started (and has a
# seat: X's keyboard and pointer); the headless one has no seat at all.
weston_pid=""
stop_weston() {
  if [[ -n "$weston_pid" ]]; then kill "$weston_pid" 2>/dev/null || true; wait "$weston_pid" 2>/dev/null || true; fi
  weston_pid=""
}
trap 'stop_app; stop_weston; cleanup' EXIT
# Exits 77 (skipped) when Weston cannot start here, with its reason.
start_weston() {
  stop_weston
  local backend=$1
  shift
  mkdir -p -m 700 "$work/xdg"
  export XDG_RUNTIME_DIR="$work/xdg"
  local socket="veltora-test-$$-$RANDOM"
  rm -f "$work/weston.log"
  weston --backend="$backend-backend.so" --socket="$socket" --idle-time=0 --no-config --log="$work/weston.log" "$@" \
    >"$work/weston.out" 2>&1 &
  weston_pid=$!
  # Ready once the shell is up and the socket answers.
  for _ in $(seq 150); do
    [[ -S "$XDG_RUNTIME_DIR/$socket" ]] && grep -q "launching '.*weston-desktop-shell'" "$work/weston.log" 2>/dev/null && break
    if ! kill -0 "$weston_pid" 2>/dev/null; then
      echo "$test_name: SKIP: Weston cannot start here: $(tail -n 3 "$work/weston.log" "$work/weston.out" 2>/dev/null | grep -v '^==>' | tr '\n' ' ')" >&2
      weston_pid=""
      exit 77
    fi
    sleep 0.1
  done
  [[ -S "$XDG_RUNTIME_DIR/$socket" ]] || fail "Weston made no socket within 15 s"
  export WAYLAND_DISPLAY="$socket"
}
# A picture of Weston's output as the compositor composed it (needs `weston --debug`), as
# $work/$1.png, without the alpha channel that the surfaces leave undefined.
weston_shot() { # name
  local d="$work/shots"
  rm -rf "$d" && mkdir -p "$d"
  (cd "$d" && weston-screenshooter >/dev/null 2>&1) || fail "weston-screenshooter took no picture"
  local f
  f=$(compgen -G "$d/*.png" | head -n 1) || fail "weston-screenshooter wrote no file"
  convert "$f" -alpha off "PNG24:$work/$1.png"
}
