#!/bin/sh
# Starts a form that keeps its placement through the kit (placedform) again
# and again under Xvfb with openbox, as a user would: normal, maximized and
# minimized, made normal again now and then and put back. After every start
# the frame on screen and the stored rectangle must be exactly the ones the
# form was first given.
#
#   tests/placement/restarts.sh PLACEDFORM [STARTS] [SHOTS_FOLDER]
#
# STARTS (default 20) is the number of starts of each kind; with SHOTS_FOLDER
# a screenshot of each kind of start is kept there. Needs Xvfb, openbox,
# xdotool, xprop, xwininfo and, for screenshots, ImageMagick's import
# (without them it ends with status 77, skipped). Ends with "N passed, N
# failed".
program=$(realpath "$1")
starts=${2:-20}
shots=${3:-}
EXTRA_TOOLS=""
. "$(dirname "$0")/xsession.sh"

window() { xdotool search --sync --pid "$form" --name "Placed form" 2>/dev/null | head -1; }

stored() { tr -d '\r' <"$1" | sed -n "s/^$2=//p" | head -1; }

start_form() { # INI
    : >"$work/out"
    "$program" "$1" >"$work/out" 2>"$work/err" &
    form=$!
    await "$work/out" "^shown" || echo "FAILED: the form did not show"
}

close_form() {
    kill -TERM "$form"
    wait "$form"
    form=""
}

# Double-clicks the title bar, which maximizes a normal window and makes a
# maximized one normal.
toggle_maximized() {
    inside_on_screen "$1"
    xdotool mousemove $((X + WIDTH / 2)) $((Y - 8)) click --repeat 2 --delay 60 1
}

shoot() { # NAME
    [ -n "$shots" ] && import -window root "$shots/$1.png" 2>/dev/null
}

[ -n "$shots" ] && mkdir -p "$shots"

run_kind() { # NAME NORMPOS SHOWCMD STATE
    ini="$work/$1.ini"
    printf '[PlacedForm]\nNormPos=%s\nShowCmd=%s\n' "$2" "$3" >"$ini"
    i=1
    while [ "$i" -le "$starts" ]; do
        start_form "$ini"
        w=$(window)
        await_state "$w" "$4"
        check "$1 start $i: state" "$4" "$(state_on_screen "$w")"
        if [ "$4" = normal ]; then
            await_frame "$w" "$2"
            check "$1 start $i: frame" "$2" "$(frame_on_screen "$w")"
        fi
        [ "$i" -eq 1 ] && shoot "$1"
        # Every third start the user makes it normal, looks, and puts it back.
        if [ "$4" != normal ] && [ $((i % 3)) -eq 0 ]; then
            if [ "$4" = maximized ]; then toggle_maximized "$w"; else xdotool windowactivate "$w"; fi
            await_state "$w" normal
            await_frame "$w" "$2"
            check "$1 start $i: made normal" "$2" "$(frame_on_screen "$w")"
            [ "$i" -eq 3 ] && shoot "$1-made-normal"
            if [ "$4" = maximized ]; then toggle_maximized "$w"; else xdotool windowminimize "$w"; fi
            await_state "$w" "$4"
            sleep 0.2
        fi
        close_form
        check "$1 start $i: stored rectangle" "$2" "$(stored "$ini" NormPos)"
        check "$1 start $i: stored state" "$3" "$(stored "$ini" ShowCmd)"
        i=$((i + 1))
    done
}

# A busy window manager frames the window seconds after it shows, longer
# than a frame is waited for once it is on screen: it still gets its
# rectangle, and keeps it.
busy_start() {
    ini="$work/busy.ini"
    printf '[PlacedForm]\nNormPos=300,200,700,500\nShowCmd=1\n' >"$ini"
    kill -STOP "$wm"
    start_form "$ini"
    sleep 11
    kill -CONT "$wm"
    w=$(window)
    await_frame "$w" 300,200,700,500
    check "busy window manager: frame" 300,200,700,500 "$(frame_on_screen "$w")"
    close_form
    check "busy window manager: stored rectangle" 300,200,700,500 "$(stored "$ini" NormPos)"
}

# Made normal, moved by the user at once and maximized again: the rectangle
# it was moved to is the one kept.
moved_at_once() {
    ini="$work/moved.ini"
    printf '[PlacedForm]\nNormPos=300,200,700,500\nShowCmd=3\n' >"$ini"
    start_form "$ini"
    w=$(window)
    await_state "$w" maximized
    toggle_maximized "$w"
    await_state "$w" normal
    await_frame "$w" 300,200,700,500
    inside_on_screen "$w"
    xdotool mousemove $((X + 40)) $((Y - 8)) mousedown 1 sleep 0.1 mousemove_relative 50 25 \
        sleep 0.1 mousemove_relative 50 25 sleep 0.1 mouseup 1
    await_frame "$w" 400,250,800,550
    check "moved at once: frame" 400,250,800,550 "$(frame_on_screen "$w")"
    toggle_maximized "$w"
    await_state "$w" maximized
    close_form
    check "moved at once: stored rectangle" 400,250,800,550 "$(stored "$ini" NormPos)"
}

# Openbox claims the screen before it manages windows: a window mapped in
# between is shown unframed, and framed only when openbox has started. A
# first form framed shows that openbox manages windows.
await_managing() {
    ini="$work/first.ini"
    : >"$ini"
    start_form "$ini"
    w=$(window)
    for _ in $(seq 100); do
        xprop -id "$w" _NET_FRAME_EXTENTS 2>/dev/null | grep -q = && break
        sleep 0.1
    done
    close_form
}

await_managing
busy_start
moved_at_once
run_kind normal 100,100,900,700 1 normal
run_kind maximized 900,700,1260,1000 3 maximized
run_kind minimized 500,400,860,700 2 minimized

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
