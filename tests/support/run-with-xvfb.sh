#!/bin/sh
# Runs a test program on an X server of its own (Xvfb), never on the desktop's: the test grabs keys
# on the root window and types with xdotool. Without xvfb-run the program runs offscreen and skips.
if command -v xvfb-run >/dev/null 2>&1; then
    exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$@"
fi
echo "xvfb-run is not installed: the X11 tests skip" >&2
QT_QPA_PLATFORM=offscreen exec "$@"
