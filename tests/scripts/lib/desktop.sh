# Shared set-up for the scripted checks: a private X display, a private D-Bus session and the
# accessibility bus, so the checks read the program's windows as assistive tools do.
# Source this file; it defines start_desktop, stop_desktop and the ATSPI command.

ATSPI="/usr/bin/python3 $(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/atspi.py"

start_desktop() {
    for tool in Xvfb dbus-daemon xdotool /usr/bin/python3 /usr/libexec/at-spi-bus-launcher; do
        if ! command -v "$tool" >/dev/null 2>&1 && [ ! -x "$tool" ]; then
            echo "skipped: $tool is not installed"
            exit 77
        fi
    done
    if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
        echo "skipped: pyatspi is not installed"
        exit 77
    fi
    # The server picks a free display itself and reports it, so checks running side by side
    # never share a screen (and so never type into each other's windows).
    local numberfile
    numberfile=$(mktemp)
    Xvfb -displayfd 9 -screen 0 1920x1080x24 -nolisten tcp 9>"$numberfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do [ -s "$numberfile" ] && break; sleep 0.1; done
    export DISPLAY=:$(head -n 1 "$numberfile")
    rm -f "$numberfile"
    export XDG_RUNTIME_DIR=$(mktemp -d); chmod 700 "$XDG_RUNTIME_DIR"
    eval "$(dbus-launch --sh-syntax)"
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    ATSPI_PID=$!
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
    unset QT_QPA_PLATFORM
    sleep 0.5
}

stop_desktop() {
    [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null
    [ -n "${ATSPI_PID:-}" ] && kill "$ATSPI_PID" 2>/dev/null
    [ -n "${DBUS_SESSION_BUS_PID:-}" ] && kill "$DBUS_SESSION_BUS_PID" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null
    return 0
}

# Waits until the process has ended; fails after $2 seconds (default 10).
wait_exit() {
    local pid=$1 limit=${2:-10} i
    for i in $(seq $((limit * 10))); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

# Sends keys to whichever window has the focus, as a user typing would.
key() {
    xdotool key --clearmodifiers "$@"
    sleep 0.3
}

# Waits until the program's windows show the text $1; fails after $2 seconds (default 20), or as
# soon as the program has ended. What the windows showed last is left in $SCREEN.
wait_for() {
    local text=$1 limit=${2:-20} i
    for i in $(seq $((limit * 5))); do
        SCREEN=$($ATSPI dump Tonewright 2>/dev/null)
        grep -qF -- "$text" <<<"$SCREEN" && return 0
        if [ -n "${APP_PID:-}" ] && ! kill -0 "$APP_PID" 2>/dev/null; then
            echo "the program has ended"
            return 1
        fi
        sleep 0.2
    done
    return 1
}

# Gives the keyboard to the window titled exactly $1 (there is no window manager to do it when a
# dialog closes); fails after 10 seconds without such a window.
focus_window() {
    local wid i
    for i in $(seq 50); do
        wid=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
        [ -n "$wid" ] && xdotool windowfocus --sync "$wid" 2>/dev/null && return 0
        sleep 0.2
    done
    return 1
}

# Starts the program inside the stick folder $1 from the program folder $2, as `make run` does,
# and takes the file dialog's preselected memstick.ind with Return. Succeeds once the main window
# is up; its accessible tree is then in $MAIN_WINDOW.
open_stick() {
    cd "$1" || return 1
    "$2/Tonewright" &
    APP_PID=$!
    if ! $ATSPI wait-window Tonewright "Open MEMSTICK.IND file at root of OpenR directory" 30 >/dev/null; then
        echo "FAIL: no file dialog"
        return 1
    fi
    key Return
    if ! MAIN_WINDOW=$($ATSPI wait-window Tonewright Tonewright 30); then
        echo "$MAIN_WINDOW"
        echo "FAIL: no main window"
        return 1
    fi
}
