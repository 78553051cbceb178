# Helpers of the end-to-end flows (sourced by e2e.sh): the display and the Wine prefix, the probe,
# waiting with deadlines, windows and their texts, the running kestrin.exe, input, pictures.

# The helpers both suites share.
source "$(dirname "${BASH_SOURCE[0]}")/../../support/e2ecommon.sh"

# ---------------------------------------------------------------------------------------------
# Time, reports, waiting

# wait_until SECONDS WHAT COMMAND...: runs COMMAND until it succeeds; the flow fails when it has
# not after SECONDS.
wait_until() {
    local seconds=$1 what=$2
    shift 2
    local end=$(($(now_ms) + seconds * 1000))
    until "$@"; do
        if [ "$(now_ms)" -gt "$end" ]; then
            fail "waited ${seconds}s for $what"
        fi
        # Nothing more will come from a program that has ended (unless its end is awaited).
        if [ -n "${KPID:-}" ] && [ "$1" != kestrin_gone ] && ! kill -0 "$KPID" 2>/dev/null; then
            read_message_boxes
            fail "kestrin.exe ended while waiting for $what; message boxes: [$(joined "${MESSAGE_BOXES[@]}")]"
        fi
        sleep 0.1
    done
}

e2e_diagnose() {
    [ -n "${FLOW_DIR:-}" ] || return
    import -window root "$FLOW_DIR/failure-screen.png" 2>/dev/null &&
        say "screen at the failure: $FLOW_DIR/failure-screen.png"
    # Up to two messages of 3 s to each window that does not answer yet.
    ASK_TIMEOUT=15
    if [ -n "${PROBE_IN:-}" ] && ask_quietly windows; then
        say "visible windows (handle, class, title, whether its thread takes messages):"
        local line hangs=""
        for line in "${ANSWER[@]}"; do
            say "    $line"
            [[ $line == *$'\t'hangs ]] && hangs=1
        done
        [ -n "$hangs" ] && say "a window's thread takes no messages: the program hangs"
    fi
    if [ -n "${MAIN:-}" ] && kestrin_running && ask_quietly geometry "$MAIN"; then
        say "main window: $(joined "${ANSWER[@]}")"
    fi
    if [ -n "${KERR:-}" ] && [ -s "$KERR" ]; then
        say "kestrin.exe stderr ($KERR), last lines:"
        tail -n 15 "$KERR" | while IFS= read -r line; do say "    $line"; done
    fi
    say "logs and pictures: $FLOW_DIR"
}

# ---------------------------------------------------------------------------------------------
# Set-up: tools, display, prefix, demo data

e2e_require_tools() {
    local tool missing=()
    for tool in Xvfb xdotool xwininfo xdpyinfo import convert compare wine wineserver mkfifo flock; do
        command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "e2e: skipped, missing ${missing[*]} (scripts/install-deps installs them)" >&2
        return 1
    fi
}

# Starts Xvfb on a free display, makes the demo data folder and sets what every flow uses.
e2e_setup() {
    local name
    for name in KESTRIN_E2E_EXE KESTRIN_E2E_PROBE KESTRIN_E2E_WINE_RUN KESTRIN_E2E_DEMODATA KESTRIN_E2E_WORK; do
        if [ -z "${!name:-}" ]; then
            echo "e2e: $name is not set" >&2
            return 1
        fi
    done
    WORK=$KESTRIN_E2E_WORK
    mkdir -p "$WORK"
    export WINEPREFIX="$WORK/wineprefix"
    export KESTRIN_WINEPREFIX="$WINEPREFIX"
    export WINEARCH=win64
    export WINEDLLOVERRIDES="mscoree,mshtml="
    trap e2e_teardown EXIT

    # A display number nobody holds; another user may take the same one at the same moment, so a
    # server that does not come up moves the search on.
    local n started=""
    for n in $(seq 160 260); do
        [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -noreset -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
        XVFB_PID=$!
        local end=$(($(now_ms) + 10000))
        while kill -0 "$XVFB_PID" 2>/dev/null && [ "$(now_ms)" -lt "$end" ]; do
            if [ -e "/tmp/.X11-unix/X${n}" ] && xdpyinfo -display ":$n" >/dev/null 2>&1; then
                started=$n
                break
            fi
            sleep 0.1
        done
        [ -n "$started" ] && break
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
        XVFB_PID=""
    done
    if [ -z "$started" ]; then
        echo "e2e: no X display could be started" >&2
        return 1
    fi
    export DISPLAY=":$started"

    DEMO="$WORK/demo"
    rm -rf "$DEMO"
    if ! "$KESTRIN_E2E_DEMODATA" "$DEMO" >"$WORK/demodata.log" 2>&1; then
        echo "e2e: kestrin-demodata failed: $(cat "$WORK/demodata.log")" >&2
        return 1
    fi
    DEMO_WIN=$(winpath "$DEMO")
    echo "e2e: display $DISPLAY, prefix $WINEPREFIX, demo data $DEMO_WIN"
    wine_start
}

# Makes the prefix if needed and starts the probe, which keeps the Wine server and its system
# processes up between the program's starts.
wine_start() {
    # scripts/wine-run makes the prefix once, under a lock. Nothing may be left for wineboot to
    # read there: it gets no input.
    if ! WINEDEBUG=-all "$KESTRIN_E2E_WINE_RUN" "$KESTRIN_E2E_PROBE" </dev/null >/dev/null 2>"$WORK/prefix.log"; then
        echo "e2e: the probe does not run in $WINEPREFIX: $(cat "$WORK/prefix.log")" >&2
        return 1
    fi
    probe_start || return 1
}

wine_stop() {
    if [ -n "${PROBE_PID:-}" ]; then
        echo quit >&"$PROBE_IN" 2>/dev/null
    fi
    if [ -d "${WINEPREFIX:-}" ]; then
        wineserver -k >/dev/null 2>&1
        wineserver -w >/dev/null 2>&1
    fi
    if [ -n "${PROBE_PID:-}" ]; then
        wait "$PROBE_PID" 2>/dev/null
        exec {PROBE_IN}>&- {PROBE_OUT}<&-
        PROBE_PID=""
        PROBE_IN=""
        PROBE_OUT=""
    fi
}

# After a failed flow ended everything in the prefix, the next one needs the probe again.
wine_restart_if_needed() {
    if [ -z "${PROBE_PID:-}" ] || ! kill -0 "$PROBE_PID" 2>/dev/null; then
        wine_stop
        wine_start
    fi
}

e2e_teardown() {
    # Everything still running in the prefix (a program a failed flow left) goes with the server.
    if [ -n "${FLOW_PID:-}" ]; then
        kill "$FLOW_PID" 2>/dev/null
    fi
    wine_stop
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
}

# The Wine path of a Unix path (Z: is the Unix root).
winpath() {
    local path=${1//\//\\}
    echo "Z:$path"
}

e2e_run_flow() {
    FLOW=$1
    FLOW_DIR="$WORK/$FLOW"
    rm -rf "$FLOW_DIR"
    mkdir -p "$FLOW_DIR"
    FLOW_START_MS=$(now_ms)
    KPID=""
    KRUN=0
    SHOT=0
    trap e2e_flow_cleanup EXIT
    say "flow $FLOW"
    "flow_$FLOW"
    if [ -n "$KPID" ]; then
        fail "the flow left kestrin.exe running"
    fi
    say "PASS $FLOW"
}

e2e_flow_cleanup() {
    local status=$?
    if [ $status -ne 0 ]; then
        # A failed flow may leave the program up, maybe with a box open, or the probe halfway
        # through an answer: everything in the prefix ends, and the next flow starts afresh.
        wineserver -k >/dev/null 2>&1
    fi
    if [ -n "${KPID:-}" ]; then
        wait "$KPID" 2>/dev/null
    fi
    exit $status
}

# ---------------------------------------------------------------------------------------------
# The probe: one kestrin-e2e-probe.exe for the whole run, spoken to through two FIFOs (opened
# read-write on this side, so that opening never blocks).

probe_start() {
    rm -f "$WORK/probe.in" "$WORK/probe.out"
    mkfifo "$WORK/probe.in" "$WORK/probe.out" || return 1
    WINEDEBUG=-all "$KESTRIN_E2E_WINE_RUN" "$KESTRIN_E2E_PROBE" <"$WORK/probe.in" >"$WORK/probe.out" \
        2>>"$WORK/probe.err" &
    PROBE_PID=$!
    exec {PROBE_IN}<>"$WORK/probe.in" {PROBE_OUT}<>"$WORK/probe.out"
    ASK_TIMEOUT=60
    if ! ask_quietly windows; then
        echo "e2e: the probe does not answer (see $WORK/probe.err)" >&2
        return 1
    fi
    ASK_TIMEOUT=30
}

# ask COMMAND...: ANSWER holds the answer's lines; false when the probe answered an error.
ask() {
    ask_quietly "$@" && return 0
    [ "${ANSWER[0]:-}" = "no answer" ] && fail "the probe gave no answer to: $*"
    return 1
}

ask_quietly() {
    ANSWER=()
    if ! kill -0 "${PROBE_PID:-0}" 2>/dev/null || ! printf '%s\n' "$*" >&"$PROBE_IN" 2>/dev/null; then
        ANSWER=("no answer")
        return 1
    fi
    local line partial="" end=$(($(now_ms) + ${ASK_TIMEOUT:-30} * 1000))
    while [ "$(now_ms)" -lt "$end" ] && kill -0 "$PROBE_PID" 2>/dev/null; do
        if ! IFS= read -r -t 1 -u "$PROBE_OUT" line; then
            # A timed-out read keeps what came of the line so far.
            partial+=$line
            continue
        fi
        line=$partial${line%$'\r'}
        partial=""
        if [ "$line" = . ]; then
            [[ ${ANSWER[0]:-} != error* ]]
            return
        fi
        ANSWER+=("$line")
    done
    ANSWER=("no answer")
    return 1
}

# The probe writes \\, \t, \n for a backslash, a tab and a line break.
unescape() {
    printf '%b' "$1"
}

# ---------------------------------------------------------------------------------------------
# Windows

# find_window TITLE: WIN is the visible top-level window titled exactly TITLE; false when none.
find_window() {
    ask find "$1" && [ "${ANSWER[0]}" != none ] && WIN=${ANSWER[0]}
}

no_window() {
    ask find "$1" && [ "${ANSWER[0]}" = none ]
}

# wait_window TITLE [SECONDS [OTHER]]. A message box that comes instead (an error, say), or the
# window titled OTHER, ends the wait at once, unless a box is what is awaited.
wait_window() {
    BOXES_BEFORE=$(box_count)
    wait_until "${2:-20}" "the window \"$1\"" window_or_other_box "$1" "${3:-}"
}

window_or_other_box() {
    find_window "$1" && return 0
    if [ -n "$2" ] && find_window "$2"; then
        fail "the window \"$2\" came instead of \"$1\""
    fi
    case $1 in Error | About) return 1 ;; esac
    if [ "$(box_count)" -gt "$BOXES_BEFORE" ]; then
        read_message_boxes
        fail "a message box came instead of \"$1\": ${MESSAGE_BOXES[*]: -1}"
    fi
    return 1
}

box_count() {
    if [ -n "${KERR:-}" ] && [ -f "$KERR" ]; then
        grep -c 'trace:msgbox:MSGBOX_OnInit' "$KERR"
    else
        echo 0
    fi
}

wait_no_window() {
    wait_until "${2:-20}" "the window \"$1\" to go" no_window "$1"
}

# child_by_class WINDOW CLASS: CHILD is its first descendant of that class.
child_by_class() {
    ask child "$1" "$2" && [ "${ANSWER[0]}" != none ] && CHILD=${ANSWER[0]}
}

# child_by_id WINDOW ID [CLASS]: CHILD is the descendant with that control id (and class),
# CHILD_TEXT its text.
child_by_id() {
    ask children "$1" || return 1
    local line handle id class text
    for line in "${ANSWER[@]}"; do
        IFS=$'\t' read -r handle id class text <<<"$line"
        if [ "$id" = "$2" ] && { [ -z "${3:-}" ] || [ "${class,,}" = "${3,,}" ]; }; then
            CHILD=$handle
            CHILD_TEXT=$(unescape "$text")
            return 0
        fi
    done
    return 1
}

# geometry WINDOW: RECT and CLIENT (screen coordinates: left top right bottom), VISIBLE, ICONIC.
geometry() {
    ask geometry "$1" || return 1
    local line key a b c d
    for line in "${ANSWER[@]}"; do
        read -r key a b c d <<<"$line"
        case $key in
        window) RECT=("$a" "$b" "$c" "$d") ;;
        client) CLIENT=("$a" "$b" "$c" "$d") ;;
        visible) VISIBLE=$a ;;
        iconic) ICONIC=$a ;;
        esac
    done
}

# read_rows LIST: ROWS (texts) and SELECTED (0 or 1) of each row, CURSEL.
read_rows() {
    ask rows "$1" || return 1
    ROWS=()
    SELECTED=()
    local line sel text
    for line in "${ANSWER[@]:2}"; do
        IFS=$'\t' read -r sel text <<<"$line"
        SELECTED+=("$sel")
        ROWS+=("$(unescape "$text")")
    done
    CURSEL=${ANSWER[1]#cursel }
}

rows_are() {
    local list=$1
    shift
    read_rows "$list" && [ "$(joined "${ROWS[@]}")" = "$(joined "$@")" ]
}

selection_is() {
    read_rows "$1" && [ "$(joined "${SELECTED[@]}")" = "$2" ]
}

# read_focus WINDOW: of the thread owning WINDOW, ACTIVE, FOCUS, FOCUS_ID, CAPTURE, and MENU and
# MOVESIZE (0 or 1).
read_focus() {
    ask focus "$1" || return 1
    local line key a b
    for line in "${ANSWER[@]}"; do
        read -r key a b _ <<<"$line"
        case $key in
        active) ACTIVE=$a ;;
        focus) FOCUS=$a FOCUS_ID=$b ;;
        capture) CAPTURE=$a ;;
        menu) MENU=$a ;;
        movesize) MOVESIZE=$a ;;
        esac
    done
}

in_menu() {
    read_focus "$MAIN" && [ "$MENU" = 1 ]
}

capture_is() {
    read_focus "$MAIN" && [ "$CAPTURE" = "$1" ]
}

# ---------------------------------------------------------------------------------------------
# The program

# start_kestrin ARGS...: starts kestrin.exe in the flow's folder, message boxes traced.
#
# Wine's Direct3D draws on a thread of its own by default ("csmt"), over the same X connection as
# the window thread, and with Wine 8 and libX11 1.8 the two can lock each other up for good: the
# window thread, showing or resizing a top-level window, waits in Wine's X11 driver for a reply
# (XSync), while the render thread, presenting a frame, has read an X error off the connection
# first (Wine's drawing causes many, which it ignores) and waits in libX11 for the display lock
# before it calls the error handler. The program then hangs in ShowWindow or in a sizing drag,
# with nothing on the screen to say so (now and then in "Select a file" and in the resizing flow).
# The flows run Wine's Direct3D on the calling thread instead.
start_kestrin() {
    KRUN=$((KRUN + 1))
    KERR="$FLOW_DIR/kestrin$KRUN.err"
    say "start kestrin.exe $*"
    (cd "$FLOW_DIR" && WINE_D3D_CONFIG="csmt=0${WINE_D3D_CONFIG:+,$WINE_D3D_CONFIG}" WINEDEBUG=-all,+msgbox \
        exec "$KESTRIN_E2E_WINE_RUN" "$KESTRIN_E2E_EXE" "$@") </dev/null >"$FLOW_DIR/kestrin$KRUN.out" 2>"$KERR" &
    KPID=$!
}

expect_running() {
    kestrin_running || fail "kestrin.exe ended: $1"
}

# wait_exit [SECONDS]: waits for kestrin.exe to end; KRC is its exit code.
wait_exit() {
    wait_until "${1:-15}" "kestrin.exe to end" kestrin_gone
    wait "$KPID"
    KRC=$?
    KPID=""
    say "kestrin.exe ended with exit code $KRC"
}

# MESSAGE_BOXES: the text of every message box shown so far, from Wine's trace.
read_message_boxes() {
    MESSAGE_BOXES=()
    local text
    while IFS= read -r text; do
        MESSAGE_BOXES+=("$(unescape "$text")")
    done < <(sed -n 's/^.*trace:msgbox:MSGBOX_OnInit L"\(.*\)"\r\{0,1\}$/\1/p' "$KERR")
}

expect_message_boxes() {
    read_message_boxes
    expect_eq "message boxes shown" "$(joined "$@")" "$(joined "${MESSAGE_BOXES[@]}")"
}

# The main window is up and has the keyboard: Windows' active window and the X input focus.
main_has_keyboard() {
    read_focus "$MAIN" && [ "$ACTIVE" = "$MAIN" ] && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$MAIN_X" ]
}

wait_keyboard() {
    wait_until 10 "the main window to have the keyboard" main_has_keyboard
}

# wait_main_window [SECONDS]: MAIN, LIST and RENDER are the program's windows, ready for keys.
wait_main_window() {
    wait_window Kestrin "${1:-60}" "Browse for Folder"
    MAIN=$WIN
    child_by_class "$MAIN" ListBox || fail "no mesh list in the main window"
    LIST=$CHILD
    child_by_class "$MAIN" AloRenderWindow || fail "no render window in the main window"
    RENDER=$CHILD
    ask xwindow "$MAIN"
    MAIN_X=${ANSWER[0]}
    wait_keyboard
}

# ---------------------------------------------------------------------------------------------
# Input

keys() {
    xdotool key --clearmodifiers "$@"
}

# menu KEY ITEMKEY: opens a menu with its Alt key, waits for it, then picks the item.
menu() {
    wait_keyboard
    keys "$1"
    wait_until 5 "the menu after $1" in_menu
    keys "$2"
}

# click_window WINDOW: a left click in the middle of a window (a button, say).
click_window() {
    geometry "$1" || fail "no geometry of $1"
    click_at $(((RECT[0] + RECT[2]) / 2)) $(((RECT[1] + RECT[3]) / 2))
}

# row_point LIST N: X Y, the middle of row N on the screen.
row_point() {
    ask row "$1" "$2" || fail "row $2 of the list is not on view"
    read -r X Y <<<"${ANSWER[0]}"
}

# click_row LIST N [DX]: DX pixels right of the row's middle; two clicks on one row a few pixels
# apart would make a double-click.
click_row() {
    row_point "$1" "$2"
    click_at $((X + ${3:-0})) "$Y"
}

double_click_row() {
    row_point "$1" "$2"
    xdotool mousemove "$X" "$Y" click --repeat 2 --delay 80 1
}

# toggle_rows SELECTION: clicks every row of the mesh list, each flip waited for, until the
# selection reads SELECTION (0|1|...).
toggle_rows() {
    read_rows "$LIST"
    local i expected=("${SELECTED[@]}")
    for i in "${!ROWS[@]}"; do
        expected[i]=$((1 - expected[i]))
        click_row "$LIST" "$i"
        wait_until 5 "row $i to flip" selection_is "$LIST" "$(joined "${expected[@]}")"
    done
    expect_eq "selection" "$1" "$(joined "${expected[@]}")"
}

# open_file WINDOWS-PATH: File > Open by Ctrl+O, the path typed in the file name box and the Open
# button clicked (Return in the box only navigates when the dialog is still listing the folder).
open_file() {
    say "open $1"
    wait_keyboard
    keys ctrl+o
    wait_window Open
    local dialog=$WIN
    child_by_class "$dialog" Edit || fail "no file name box in Open"
    local edit=$CHILD
    wait_until 5 "the file name box to have the keyboard" focus_is "$dialog" "$edit"
    xdotool type --delay 5 "$1"
    wait_until 5 "the file name box to read the path" text_is "$edit" "$1"
    child_by_id "$dialog" 1 Button || fail "no Open button"
    expect_eq "Open button" "&Open" "$CHILD_TEXT"
    click_window "$CHILD"
    wait_no_window Open
}

focus_is() {
    read_focus "$1" && [ "$FOCUS" = "$2" ]
}

text_is() {
    ask text "$1" && [ "$(unescape "${ANSWER[0]}")" = "$2" ]
}

# ---------------------------------------------------------------------------------------------
# Pictures

# render_xwindow: RENDER_X is the off-screen X window that Wine draws the render window's
# Direct3D output into: a child of a 1 x 1 window at -1,-1, the size of the render client area.
render_xwindow() {
    geometry "$RENDER" || return 1
    local size="$((CLIENT[2] - CLIENT[0]))x$((CLIENT[3] - CLIENT[1]))"
    RENDER_X=$(xwininfo -root -tree 2>/dev/null | awk -v size="$size" '
        match($0, /^ */) && /0x[0-9a-f]+/ {
            depth = RLENGTH
            if (parent && depth <= parentDepth) parent = 0
            if ($0 ~ /[ ]1x1\+-1\+-1[ ]/) { parent = 1; parentDepth = depth; next }
            if (parent && $0 ~ ("[ )]" size "\\+")) { print $1; exit }
        }')
    [ -n "$RENDER_X" ]
}

# shoot NAME: the render area's picture into $FLOW_DIR/NAME.png; false when it cannot be read yet.
shoot() {
    render_xwindow || return 1
    import -window "$RENDER_X" "$FLOW_DIR/$1.png" 2>/dev/null
}

# lit_pixels FILE [REGION]: how many pixels are not black (above 3% grey), in the middle half of
# the picture, or in the whole of it with "all".
lit_pixels() {
    local crop=(-gravity center -crop 50%x50%+0+0 +repage)
    [ "${2:-}" = all ] && crop=()
    convert "$1" "${crop[@]}" -colorspace gray -threshold 3% -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}

# wait_picture SECONDS WHAT NAME TEST [ARGS]: shoots the render area until TEST ARGS FILE succeeds;
# the picture that passed is $FLOW_DIR/NAME.png (in PICTURE).
wait_picture() {
    local seconds=$1 what=$2 name=$3
    shift 3
    PICTURE="$FLOW_DIR/$name.png"
    wait_until "$seconds" "$what" picture_passes "$name" "$@"
    say "picture $name.png: $what"
}

drawn() {
    [ "$(lit_pixels "$1")" -gt 50 ]
}

# Anywhere in the picture: the first frame after a shrink may come out shifted (below).
drawn_somewhere() {
    [ "$(lit_pixels "$1" all)" -gt 50 ]
}

# centered FILE: the lit part's middle is within 3 pixels of the picture's middle.
centered() {
    local middle
    middle=$(convert "$1" -colorspace gray -threshold 3% -trim \
        -format '%[fx:abs(page.x+w/2-page.width/2)<=3 && abs(page.y+h/2-page.height/2)<=3]' info: 2>/dev/null)
    [ "$middle" = 1 ]
}

# shape FILE: width over height of the lit part.
shape() {
    convert "$1" -colorspace gray -threshold 3% -trim -format '%[fx:w/h]' info: 2>/dev/null
}

# same_shape BASE FILE: the lit part's width over height is within 8% of BASE's: the picture is
# not stretched.
same_shape() {
    awk -v a="$(shape "$1")" -v b="$(shape "$2")" 'BEGIN { exit !(a > 0 && b > 0 && b / a > 0.92 && b / a < 1.08) }'
}

black() {
    [ "$(lit_pixels "$1" all)" -eq 0 ]
}

bigger_than() {
    [ "$(lit_pixels "$2" all)" -gt "$(lit_pixels "$1" all)" ] && differs "$1" "$2"
}

smaller_than() {
    [ "$(lit_pixels "$2" all)" -lt "$(lit_pixels "$1" all)" ] && differs "$1" "$2"
}
