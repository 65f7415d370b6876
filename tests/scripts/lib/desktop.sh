# Shared set-up for the scripted checks: a private X display, a private D-Bus session and the
# accessibility bus, so the checks read the program's windows as assistive tools do. Source it.
# Every wait looks for what it needs and gives up as soon as the program has ended; every
# process started here (the servers, the buses, the program) is ended again on the way out.

ATSPI="/usr/bin/python3 $(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/atspi.py"
APP_NAME=${APP_NAME:-Tonewright}

start_desktop() {
    for tool in Xvfb dbus-launch xdotool /usr/libexec/at-spi-bus-launcher; do
        command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
    done
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi is not installed"; exit 77; }
    # Everything started from here carries this mark, so stop_desktop finds it all, the buses'
    # own daemons included, however they were started.
    export TW_DESKTOP_MARK="tw-desktop-$$-$RANDOM"
    # The server picks a free display itself, so checks running side by side never share one.
    local numberfile
    numberfile=$(mktemp)
    Xvfb -displayfd 9 -screen 0 1920x1080x24 -nolisten tcp 9>"$numberfile" >/dev/null 2>&1 &
    for _ in $(seq 100); do [ -s "$numberfile" ] && break; sleep 0.1; done
    export DISPLAY=:$(head -n 1 "$numberfile")
    rm -f "$numberfile"
    export XDG_RUNTIME_DIR=$(mktemp -d)
    chmod 700 "$XDG_RUNTIME_DIR"
    eval "$(dbus-launch --sh-syntax)"
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
    unset QT_QPA_PLATFORM
    # Ready once the accessibility bus answers.
    for _ in $(seq 100); do
        dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
            >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "FAIL: the accessibility bus did not start"
    exit 1
}

stop_desktop() {
    local pid
    [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null
    for pid in $(grep -lz "^TW_DESKTOP_MARK=$TW_DESKTOP_MARK\$" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3); do
        [ "$pid" != $$ ] && kill "$pid" 2>/dev/null
    done
    [ -n "${DBUS_SESSION_BUS_PID:-}" ] && kill "$DBUS_SESSION_BUS_PID" 2>/dev/null
    wait 2>/dev/null
    return 0
}

# Waits until the program has ended; fails after $2 seconds (default 10).
wait_exit() {
    local pid=$1 limit=${2:-10} i
    for i in $(seq $((limit * 10))); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

# Waits until the program's windows show the text $1; fails after $2 seconds (default 20), or as
# soon as the program has ended. What the windows showed last is left in $SCREEN.
wait_for() {
    local text=$1 limit=${2:-20} i
    for i in $(seq $((limit * 5))); do
        SCREEN=$($ATSPI dump "$APP_NAME" 2>/dev/null)
        grep -qF -- "$text" <<<"$SCREEN" && return 0
        if [ -n "${APP_PID:-}" ] && ! kill -0 "$APP_PID" 2>/dev/null; then
            echo "FAIL: the program has ended while waiting for: $text"
            return 1
        fi
        sleep 0.2
    done
    echo "FAIL: not shown within $limit s: $text"
    return 1
}

# Gives the keyboard to the window titled exactly $1 (there is no window manager to do it when a
# dialog closes); fails after 10 seconds without such a window.
focus_window() {
    local wid
    for _ in $(seq 50); do
        wid=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
        [ -n "$wid" ] && xdotool windowfocus --sync "$wid" 2>/dev/null && return 0
        sleep 0.2
    done
    return 1
}

# Sends keys to the window that has the keyboard, as a user typing would, and lets them land.
key() {
    xdotool key --clearmodifiers --delay 60 "$@"
    sleep 0.2
}

focused() { $ATSPI focused "$APP_NAME"; }

# Starts the program inside the stick folder $1 from the program folder $2, as `make run` does,
# and takes the file dialog's preselected memstick.ind with Return. Succeeds once the main window
# is up; the dialog as shown is in $FILE_DIALOG.
open_stick() {
    cd "$1" || return 1
    "$2/Tonewright" >/dev/null 2>&1 &
    APP_PID=$!
    wait_for 'dialog "Open MEMSTICK.IND file at root of OpenR directory"' 30 || return 1
    FILE_DIALOG=$SCREEN
    focus_window "Open MEMSTICK.IND file at root of OpenR directory"
    key Return
    wait_for 'label "Software:"' 30 || return 1
    focus_window Tonewright
}
