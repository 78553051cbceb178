#!/usr/bin/env bash
# End-to-end flows of the Linux viewer, kestrin, in an Xvfb display of its own, driven with the
# mouse and the keyboard through xdotool as a person would drive it.
#
#   e2e.sh FLOW...      (or "all"; "list" prints the flow names)
#
# Nothing is trusted to a fixed delay: each step waits, up to a deadline, for something it can
# read back. Windows are found by their titles (xdotool), texts of lists and message boxes are
# copied with Ctrl+C and read from the clipboard (xclip), and the picture is cut from shots of the
# main window (ImageMagick), since the viewer paints each frame into the window.
#
# What the flows rely on, in Xvfb with Qt 6 on xcb and no window manager:
# - Windows are found by title with `xdotool search --onlyvisible --name`, and told apart by
#   _NET_WM_WINDOW_TYPE: Qt names its menu popups after the application ("Kestrin", as the main
#   window), message boxes and dialogs are DIALOG, menus DROPDOWN_MENU.
# - Qt gives a dialog the X input focus when it opens, but nothing gives it back to the main
#   window when the dialog closes (no window manager): the flows focus the main window again with
#   `xdotool windowfocus` before they type.
# - Ctrl+C copies the current row of a list, the text of a line edit (after Ctrl+A) and the whole
#   of a message box (the viewer's own boxes do, as on Windows); `xclip -o` reads it.
# - The mesh list selects nothing when its current row moves with the keys, so its rows are read
#   with Home, Down and Ctrl+C; which rows are selected is read from the screen (the selection's
#   colour down the list's right side).
# - Closing the main window is a WM_DELETE_WINDOW message, which kestrin-e2e-close sends as a
#   window manager would. `xdotool windowsize` resizes the window to any size, even 1x1.
#
# Settings come from the environment (tests/linux/CMakeLists.txt sets them):
#   KESTRIN_E2E_EXE       the viewer
#   KESTRIN_E2E_CLOSE     kestrin-e2e-close, which asks a window to close as a window manager does
#   KESTRIN_E2E_ARCHIVE   kestrin-e2e-archive, which writes an archive of given entries
#   KESTRIN_E2E_DEMODATA  kestrin-demodata
#   KESTRIN_E2E_WORK      a folder of the build tree; per flow, the logs and pictures of its last run
#   E2E_SLOWER            optional: a whole number that stretches every deadline (a slow machine)
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/e2elib.sh"
source "$here/flows.sh"

if [ $# -eq 0 ]; then
    echo "usage: e2e.sh FLOW... | all | list" >&2
    exit 2
fi
if [ "$1" = list ]; then
    printf '%s\n' "${E2E_FLOWS[@]}"
    exit 0
fi
flows=("$@")
if [ "$1" = all ]; then
    flows=("${E2E_FLOWS[@]}")
fi
for flow in "${flows[@]}"; do
    if ! declare -F "flow_$flow" >/dev/null; then
        echo "e2e: no flow named $flow" >&2
        exit 2
    fi
done

e2e_require_tools || exit 77
e2e_check_settings || exit 1
WORK=$KESTRIN_E2E_WORK
mkdir -p "$WORK"
# Runs of the same flows (two CTest runs, say) take turns on the flows' folders. Each flow has a
# display of its own, so different flows may run side by side. flock holds the lock itself (-o),
# so that no program started here keeps it after the run.
RUN_NAME=${flows[0]}
[ ${#flows[@]} -gt 1 ] && RUN_NAME="flows-$(printf '%s\n' "${flows[@]}" | md5sum | cut -c1-12)"
if [ -z "${KESTRIN_E2E_LOCKED:-}" ]; then
    KESTRIN_E2E_LOCKED=1 exec flock -o -w 600 "$WORK/$RUN_NAME.lock" bash "${BASH_SOURCE[0]}" "$@"
fi
# Every wait below has its own deadline; this one only makes sure that the display goes away even
# if something hangs past all of them, before CTest would kill the run.
limit=$((280 * ${#flows[@]} * ${E2E_SLOWER:-1}))
(
    # Polls rather than sleeping the whole time: nothing of it may outlive the run for long,
    # since CTest waits for whatever still holds the test's output.
    end=$((SECONDS + limit))
    while kill -0 $$ 2>/dev/null; do
        if [ $SECONDS -ge $end ]; then
            echo "e2e: the run took longer than ${limit}s" >&2
            kill -TERM $$ 2>/dev/null
            exit 0
        fi
        sleep 1 >/dev/null 2>&1
    done
) &
watchdog=$!
trap e2e_teardown EXIT
trap 'exit 1' TERM INT
e2e_start_display || exit 1

status=0
for flow in "${flows[@]}"; do
    # Each flow runs in a subshell of its own: a failure ends that flow only.
    (e2e_run_flow "$flow") &
    FLOW_PID=$!
    wait "$FLOW_PID" || status=1
    FLOW_PID=""
done
kill "$watchdog" 2>/dev/null
exit $status
