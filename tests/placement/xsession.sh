# Sourced by the placement scripts: an X display of their own under Xvfb
# (SCREEN, default 1600x1200) with openbox managing it, ended with whatever
# the script started when the script ends, and the helpers that read windows
# off the screen as a user sees them. Needs Xvfb, openbox, xdotool, xprop,
# xwininfo and the tools in EXTRA_TOOLS; without them the script ends with
# status 77, skipped.
set -u
for tool in Xvfb openbox xdotool xprop xwininfo ${EXTRA_TOOLS:-}; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
export XDG_CONFIG_HOME="$work/config"
# Qt's own libraries keep a little at exit that is not this test's to judge.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
passed=0
failed=0
xvfb=""
wm=""
form=""

finish() {
    [ -n "$form" ] && kill "$form" 2>/dev/null
    [ -n "$wm" ] && kill -CONT "$wm" 2>/dev/null && kill "$wm" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT
trap 'exit 1' INT TERM HUP PIPE

# The first free display, as Xvfb itself finds it.
Xvfb -displayfd 3 -screen 0 "${SCREEN:-1600x1200}x24" -nolisten tcp 3>"$work/display" \
    2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"
openbox >"$work/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done
# Openbox has claimed the screen; a moment more and it manages windows.
sleep 0.5

check() { # WHAT EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $1: expected $2, got $3"
    fi
}

# Waits for LINE_PATTERN in FILE, at most 10 s.
await() {
    for _ in $(seq 100); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
    return 1
}

# The window's rectangle on screen, inside its frame: X, Y, WIDTH, HEIGHT.
inside_on_screen() {
    eval "$(xwininfo -id "$1" | sed -n 's/^ *Absolute upper-left X: */X=/p; s/^ *Absolute upper-left Y: */Y=/p; s/^ *Width: */WIDTH=/p; s/^ *Height: */HEIGHT=/p')"
}

# The frame on screen: the window's own rectangle grown by the frame's
# extents, as left,top,right,bottom.
frame_on_screen() {
    inside_on_screen "$1"
    set -- $(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr , ' ') 0 0 0 0
    echo "$((X - $1)),$((Y - $3)),$((X + WIDTH + $2)),$((Y + HEIGHT + $4))"
}

state_on_screen() {
    s=$(xprop -id "$1" _NET_WM_STATE)
    case "$s" in
    *HIDDEN*) echo minimized ;;
    *MAXIMIZED_VERT*) echo maximized ;;
    *) echo normal ;;
    esac
}

# Waits until the window is in STATE, at most 5 s.
await_state() {
    for _ in $(seq 50); do [ "$(state_on_screen "$1")" = "$2" ] && return 0; sleep 0.1; done
}

# Waits until the frame is at FRAME, at most 5 s: a frame may settle a
# moment after it shows, more so on a busy machine.
await_frame() {
    for _ in $(seq 50); do [ "$(frame_on_screen "$1")" = "$2" ] && return 0; sleep 0.1; done
}
