# Shared set-up for the scripted checks: a private X display, a private D-Bus session and the
# accessibility bus, so the checks read the program's windows as assistive tools do. Source it.
# Every wait is bounded in seconds of wall time and looks whether the program still runs: one that
# has ended while it was awaited fails the script at once. Every process started here (the
# servers, the buses, the program) is ended again on the way out, and by a watcher outside the
# script when the script itself is killed (ctest's timeout kills with SIGKILL, which no trap sees).

LIB=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ATSPI="/usr/bin/python3 $LIB/atspi.py"
APP_NAME=${APP_NAME:-Tonewright}
APP_PID=${APP_PID:-}
trap 'exit 1' TERM INT

# Whether the program runs; true before it has been started. One that has ended but is not yet
# reaped counts as ended.
alive() {
    [ -z "$APP_PID" ] || { kill -0 "$APP_PID" 2>/dev/null && ! grep -qs '^State:.Z' "/proc/$APP_PID/status"; }
}

# poll SECONDS COMMAND...: runs COMMAND every fifth of a second until it succeeds; fails once
# SECONDS of wall time have passed. When the program has ended meanwhile (and COMMAND, asked once
# more, still fails), the script fails there.
poll() {
    local limit=$1 start=${EPOCHREALTIME//[!0-9]/} # the wall clock in microseconds
    shift
    until "$@"; do
        alive || "$@" || { echo "FAIL: the program has ended (while waiting for: $*)"; exit 1; }
        ((${EPOCHREALTIME//[!0-9]/} - start < limit * 1000000)) || return 1
        sleep 0.2
    done
}

start_desktop() {
    for tool in Xvfb dbus-launch xdotool setsid /usr/libexec/at-spi-bus-launcher; do
        command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
    done
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi is not installed"; exit 77; }
    # Everything started from here carries this mark, so stop_desktop and the watcher find it all,
    # the buses' own daemons included, however they were started.
    export TW_DESKTOP_MARK="tw-desktop-$$-$RANDOM"
    setsid -f env -u TW_DESKTOP_MARK bash "$LIB/reap.sh" after $$ "$TW_DESKTOP_MARK" </dev/null >/dev/null 2>&1
    # The server picks a free display itself, so checks running side by side never share one.
    local numberfile
    numberfile=$(mktemp)
    Xvfb -displayfd 9 -screen 0 1920x1080x24 -nolisten tcp 9>"$numberfile" >/dev/null 2>&1 &
    poll 10 test -s "$numberfile" || { echo "FAIL: Xvfb did not start"; exit 1; }
    export DISPLAY=:$(head -n 1 "$numberfile")
    rm -f "$numberfile"
    export XDG_RUNTIME_DIR=$(mktemp -d)
    chmod 700 "$XDG_RUNTIME_DIR"
    eval "$(timeout 10 dbus-launch --sh-syntax)"
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
    unset QT_QPA_PLATFORM
    # Ready once the accessibility bus answers.
    poll 10 timeout 2 dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >/dev/null 2>&1 || { echo "FAIL: the accessibility bus did not start"; exit 1; }
}

stop_desktop() { [ -z "${TW_DESKTOP_MARK:-}" ] || env -u TW_DESKTOP_MARK bash "$LIB/reap.sh" now $$ "$TW_DESKTOP_MARK"; }

# wait_exit [SECONDS]: waits until the program has ended; fails after SECONDS (default 10).
wait_exit() { poll "${1:-10}" ended; }
ended() { ! alive; }

# Whether the program's windows show the text $1; what they show is left in $SCREEN.
shows() {
    SCREEN=$(timeout 5 $ATSPI dump "$APP_NAME" 2>/dev/null)
    grep -qF -- "$1" <<<"$SCREEN"
}

# wait_for TEXT [SECONDS]: waits until the program's windows show TEXT; fails after SECONDS
# (default 20). What the windows showed last is left in $SCREEN.
wait_for() {
    poll "${2:-20}" shows "$1" || { echo "FAIL: not shown within ${2:-20} s: $1"; return 1; }
}

# Gives the keyboard to the window titled exactly $1 (there is no window manager to do it when a
# dialog closes); fails after 10 seconds without such a window.
focus_window() { poll 10 focus_now "$1"; }
focus_now() {
    local wid
    wid=$(timeout 5 xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
    [ -n "$wid" ] && timeout 5 xdotool windowfocus --sync "$wid" 2>/dev/null
}

# Sends keys to the window that has the keyboard, as a user typing would, and lets them land.
key() {
    timeout 10 xdotool key --clearmodifiers --delay 60 "$@"
    sleep 0.2
}

# The control that has the keyboard, as the program's windows show it.
focused() { timeout 5 $ATSPI dump "$APP_NAME" 2>/dev/null | grep -F -e '[focused' -e ',focused' | sed 's/^ *//'; }

# Tabs on until the control that has the keyboard shows TEXT; fails after 10 seconds.
tab_to() { poll 10 tab_toward "$1"; }
tab_toward() { grep -qF -- "$1" <<<"$(focused)" || { key Tab && false; }; }
