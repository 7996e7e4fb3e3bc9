# Sourced by derar.sh and the Wine launchers (POSIX sh): a private Xvfb on a free display.
# start_xvfb NAME: starts it, exports DISPLAY and sets XVFB_PID; NAME goes into the
# message when it does not start. stop_xvfb: stops the one started here, if any.
XVFB_PID=
start_xvfb() {
    # A file of this run's own: programs started side by side must not read each other's display.
    xvfb_fdfile=$(mktemp)
    exec 9>"$xvfb_fdfile"
    Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    exec 9>&-
    # -displayfd writes the chosen display number once the server is ready.
    xvfb_display=
    for _ in $(seq 200); do
        xvfb_display=$(cat "$xvfb_fdfile" 2>/dev/null || true)
        [ -n "$xvfb_display" ] && break
        sleep 0.05
    done
    rm -f "$xvfb_fdfile"
    [ -n "$xvfb_display" ] || { echo "$1: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$xvfb_display"
}
stop_xvfb() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
}
