# Sourced by the run scripts: starts Xvfb on the first free display, exports
# it as TARV_DISPLAY (tools/wine-run.sh uses it) and leaves its process id in
# xvfb_pid for the caller's clean-up.
start_xvfb() {
    local display=99
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    export TARV_DISPLAY=":$display"
    Xvfb "$TARV_DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
}
