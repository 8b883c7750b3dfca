#!/bin/sh
# Starts the program under Xvfb with openbox on two monitors side by side
# (RandR monitors, as xrandr --setmonitor makes them), its main window's
# placement stored before each start: a window left on the second monitor
# comes back there, normal or maximized; one stored across both monitors, or
# on a monitor that is gone, opens at its designed place on the first.
#
#   tests/placement/monitors.sh MARROWEN
#
# Needs what xsession.sh needs and xrandr (without them it ends with status
# 77, skipped). Ends with "N passed, N failed".
program=$(realpath "$1")
SCREEN=3200x1200
EXTRA_TOOLS=xrandr
. "$(dirname "$0")/xsession.sh"
export HOME="$work" XDG_DATA_HOME="$work/data"
settings="$XDG_CONFIG_HOME/Ostrevan/Marrowen/settings.ini"
mkdir -p "$(dirname "$settings")"

# The left monitor takes the screen's one output, so the whole screen is no
# monitor of its own any more.
xrandr --setmonitor left 1600/400x1200/300+0+0 screen >/dev/null
xrandr --setmonitor right 1600/400x1200/300+1600+0 none

start() { # LEFT TOP WIDTH HEIGHT NORMAL
    printf '[SOFTWARE\\Ostrevan\\Marrowen]\n"showWizard"=dword:00000000\n"showTips"=dword:00000000\n\n' >"$settings"
    printf '[SOFTWARE\\Ostrevan\\Marrowen\\mainForm]\n"Left"=dword:%08x\n"Top"=dword:%08x\n' \
        "$1" "$2" >>"$settings"
    printf '"Width"=dword:%08x\n"Height"=dword:%08x\n"WindowState"=dword:%08x\n' "$3" "$4" "$5" \
        >>"$settings"
    "$program" >"$work/out" 2>&1 &
    form=$!
    w=$(xdotool search --sync --onlyvisible --pid "$form" --name "Marrowen Pro" 2>/dev/null | head -1)
}

stop() {
    kill -TERM "$form"
    wait "$form"
    form=""
}

stored() { tr -d '\r' <"$settings" | sed -n "/mainForm/,\$s/^\"$1\"=dword://p" | head -1; }

# Whether the frame lies wholly between LEFT and RIGHT.
within() { # LEFT RIGHT
    set -- "$1" "$2" $(frame_on_screen "$w" | tr , ' ')
    [ "$3" -ge "$1" ] && [ "$5" -le "$2" ] && echo yes || echo no
}

start 2000 150 800 600 1
for _ in $(seq 50); do [ "$(frame_on_screen "$w" | cut -d, -f1,2)" = 2000,150 ] && break; sleep 0.1; done
check "on the second monitor: frame" 2000,150 "$(frame_on_screen "$w" | cut -d, -f1,2)"
inside_on_screen "$w"
check "on the second monitor: size" 800x600 "${WIDTH}x$HEIGHT"
stop
check "on the second monitor: stored" 000007d0,00000096 "$(stored Left),$(stored Top)"

start 2000 150 800 600 0
await_state "$w" maximized
check "maximized on the second monitor: state" maximized "$(state_on_screen "$w")"
check "maximized on the second monitor: there" yes "$(within 1600 3200)"
stop

# Across both monitors, and on the right one once it is gone: the designed
# place, the middle of the first.
start 1200 150 800 600 1
sleep 1
check "across both monitors: on the first" yes "$(within 0 1600)"
stop
xrandr --delmonitor right
start 2000 150 800 600 1
sleep 1
check "on a monitor that is gone: on the first" yes "$(within 0 1600)"
stop

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
