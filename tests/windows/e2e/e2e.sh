#!/usr/bin/env bash
# End-to-end flows of kestrin.exe under Wine, driven with the mouse and the keyboard through
# xdotool as a person would drive it (tests/support/e2ecommon.sh runs them and holds the flows
# both programs share).
#
#   e2e.sh FLOW... | all | list
#
# Windows, their texts, list rows, focus and geometry come from kestrin-e2e-probe, a small Windows
# program in the same Wine prefix (probe.cpp); the texts of the message boxes shown from Wine's
# trace (WINEDEBUG=+msgbox); the picture from the off-screen X window that Wine draws the render
# window's Direct3D output into. The flows share the prefix KESTRIN_E2E_WORK/wineprefix, so runs
# take turns. Settings beside e2ecommon.sh's: KESTRIN_E2E_PROBE (kestrin-e2e-probe.exe) and
# KESTRIN_E2E_WINE_RUN (scripts/wine-run).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../support/e2ecommon.sh"

E2E_FLOWS=(loose_model_lists_meshes_and_draws_the_selected_ones mouse_orbits_pans_and_zooms_the_picture
    archive_entry_is_picked_in_select_a_file broken_model_is_reported_and_the_viewer_goes_on
    wrong_data_folder_prompts_and_cancel_ends_quietly
    data_folder_comes_from_the_registry_then_program_files about_box_from_f1_and_the_help_menu
    resizing_and_minimising_keep_the_picture file_exit_and_the_close_box_end_the_program
    models_open_from_the_command_line_and_by_drops f_frames_the_model_and_home_brings_the_starting_view_back)
E2E_TOOLS=(wine wineserver mkfifo)
E2E_SETTINGS=(KESTRIN_E2E_PROBE KESTRIN_E2E_WINE_RUN)
E2E_LOCK=prefix

flow_broken_model_is_reported_and_the_viewer_goes_on() {
    flow_file_that_is_no_model_is_reported_and_the_viewer_goes_on
}

flow_file_exit_and_the_close_box_end_the_program() { flow_file_exit_and_closing_the_window_end_the_program; }

# ---------------------------------------------------------------------------------------------
# The prefix and the probe: one kestrin-e2e-probe.exe, which also keeps the Wine server up between
# the program's starts, spoken to through two FIFOs (opened read-write here, so that opening never
# blocks). After a failed flow ended everything in the prefix, the next one starts it again.

e2e_setup() {
    export WINEPREFIX="$WORK/wineprefix" KESTRIN_WINEPREFIX="$WORK/wineprefix" WINEARCH=win64 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    [ -n "${PROBE_PID:-}" ] && kill -0 "$PROBE_PID" 2>/dev/null && return 0
    e2e_teardown
    rm -f "$WORK/probe.in" "$WORK/probe.out"
    mkfifo "$WORK/probe.in" "$WORK/probe.out" || return 1
    "$KESTRIN_E2E_WINE_RUN" "$KESTRIN_E2E_PROBE" <"$WORK/probe.in" >"$WORK/probe.out" 2>>"$WORK/probe.err" &
    PROBE_PID=$!
    exec {PROBE_IN}<>"$WORK/probe.in" {PROBE_OUT}<>"$WORK/probe.out"
    ASK_TIMEOUT=60 ask_quietly windows 0 || { echo "e2e: the probe does not answer ($WORK/probe.err)" >&2 && return 1; }
}

# Everything still running in the prefix goes with the server.
e2e_teardown() {
    [ -n "${PROBE_PID:-}" ] || return 0
    echo "quit 0" >&"$PROBE_IN" 2>/dev/null
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    wait "$PROBE_PID" 2>/dev/null
    exec {PROBE_IN}>&- {PROBE_OUT}<&-
    PROBE_PID=""
}

e2e_flow_setup() { :; }

# A failed flow may leave the program up, maybe with a box open, or the probe halfway through an
# answer: everything in the prefix ends.
e2e_after_failure() { wineserver -k >/dev/null 2>&1; }

e2e_diagnose() {
    # Up to two messages of 3 s to each window that does not answer.
    if ASK_TIMEOUT=15 ask_quietly windows 1; then
        say "visible windows (number, control id, class, title, whether its thread takes messages):"
        local line
        for line in "${ANSWER[@]}"; do say "    $line"; done
    fi
    [ -n "${MAIN:-}" ] && ASK_TIMEOUT=5 ask_quietly geometry "$MAIN" && say "main window: $(joined "${ANSWER[@]}")"
}

# ask COMMAND WINDOW: ANSWER holds the answer's lines; false when the probe answered an error.
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
        # A timed-out read keeps what came of the line so far.
        if ! IFS= read -r -t 1 -u "$PROBE_OUT" line; then
            partial+=$line
            continue
        fi
        line=$partial${line%$'\r'} partial=""
        if [ "$line" = . ]; then
            [[ ${ANSWER[0]:-} != error* ]]
            return
        fi
        ANSWER+=("$line")
    done
    ANSWER=("no answer")
    return 1
}

# ---------------------------------------------------------------------------------------------
# The program and its windows

path_of() { echo "Z:${1//\//\\}"; }

# Wine's Direct3D draws on a thread of its own by default ("csmt"), over the same X connection as
# the window thread, and with Wine 8 and libX11 1.8 the two can lock each other up for good: the
# window thread, showing or resizing a top-level window, waits in Wine's X11 driver for a reply,
# while the render thread has read an X error off the connection first and waits for the display
# lock to report it. The program then hangs in ShowWindow ("Select a file") or in a sizing drag.
launch() {
    WINE_D3D_CONFIG="csmt=0${WINE_D3D_CONFIG:+,$WINE_D3D_CONFIG}" WINEDEBUG=-all,+msgbox \
        exec "$KESTRIN_E2E_WINE_RUN" "$KESTRIN_E2E_EXE" "$@"
}

# MESSAGE_BOXES: the text of every message box shown so far, from Wine's trace.
read_message_boxes() {
    MESSAGE_BOXES=()
    local text
    while IFS= read -r text; do
        MESSAGE_BOXES+=("$(printf '%b' "$text")")
    done < <(sed -n 's/^.*trace:msgbox:MSGBOX_OnInit L"\(.*\)"\r\{0,1\}$/\1/p' "$KERR")
}

boxes_were() {
    read_message_boxes
    expect_eq "message boxes shown" "$(joined "$@")" "$(joined "${MESSAGE_BOXES[@]}")"
}

# find_window TITLE: WIN is the visible top-level window titled exactly TITLE; false when none.
find_window() {
    ask windows 0 || return 1
    local line id class text
    for line in "${ANSWER[@]}"; do
        IFS=$'\t' read -r WIN id class text _ <<<"$line"
        [ "$text" = "$1" ] && return 0
    done
    return 1
}

# wait_window TITLE [SECONDS [OTHER]]: a message box that comes instead (an error, say), or the
# window titled OTHER, ends the wait at once, unless a box is what is awaited.
wait_window() {
    BOXES_BEFORE=$(box_count)
    wait_until "${2:-20}" "the window \"$1\"" window_or_other "$1" "${3:-}"
}

box_count() { grep -c 'trace:msgbox:MSGBOX_OnInit' "${KERR:-/dev/null}" 2>/dev/null; }

window_or_other() {
    find_window "$1" && return 0
    [ -n "$2" ] && find_window "$2" && fail "the window \"$2\" came instead of \"$1\""
    case $1 in Error | About) return 1 ;; esac
    if [ "$(box_count)" -gt "$BOXES_BEFORE" ]; then
        read_message_boxes
        fail "a message box came instead of \"$1\": ${MESSAGE_BOXES[*]: -1}"
    fi
    return 1
}

wait_no_window() { wait_until "${2:-20}" "the window \"$1\" to go" not find_window "$1"; }

not() { ! "$@"; }

# child WINDOW ID|CLASS [CLASS]: CHILD is its first descendant with that control id or class (and
# that class), CHILD_TEXT its text.
child() {
    ask children "$1" || return 1
    local line id class text want=${3:-}
    for line in "${ANSWER[@]}"; do
        IFS=$'\t' read -r CHILD id class text _ <<<"$line"
        if [[ ($id == "$2" || ${class,,} == "${2,,}") && (-z $want || ${class,,} == "${want,,}") ]]; then
            CHILD_TEXT=$(printf '%b' "$text")
            return 0
        fi
    done
    return 1
}

child_reads() { child "$1" "$2" && [ "$CHILD_TEXT" = "$3" ]; }

# geometry WINDOW: RECT and CLIENT (left top right bottom on the screen), ICONIC.
geometry() {
    ask geometry "$1" || return 1
    read -r -a RECT <<<"${ANSWER[0]#window }"
    read -r -a CLIENT <<<"${ANSWER[1]#client }"
    ICONIC=${ANSWER[2]#iconic }
}

# read_rows [LIST]: ROWS (texts) and SELECTED (0 or 1) of each row of a list box, the mesh list
# unless named; CURSEL, TOP (the first row on view) and HEIGHT (of a row).
read_rows() {
    ask rows "${1:-$LIST}" || return 1
    ROWS=() SELECTED=()
    read -r _ CURSEL _ TOP _ HEIGHT <<<"${ANSWER[0]}"
    local line sel text
    for line in "${ANSWER[@]:1}"; do
        IFS=$'\t' read -r sel text <<<"$line"
        SELECTED+=("$sel")
        ROWS+=("$(printf '%b' "$text")")
    done
}

read_selection() { read_rows "$LIST"; }

list_is_empty() { read_rows "$LIST" && [ ${#ROWS[@]} -eq 0 ]; }

# read_focus WINDOW: of the thread owning WINDOW, ACTIVE, FOCUS, CAPTURE, and MENU and MOVESIZE (0|1).
read_focus() {
    ask focus "$1" || return 1
    read -r _ ACTIVE _ FOCUS _ CAPTURE _ MENU _ MOVESIZE <<<"${ANSWER[*]}"
}

menu_open() { read_focus "$MAIN" && [ "$MENU" = 1 ]; }

focus_is() { read_focus "$1" && [ "$FOCUS" = "$2" ]; }

active() { read_focus "$1" && [ "$ACTIVE" = "$1" ]; }

# The window in front has the keyboard: the active window of its thread, and the X input focus.
# When Wine leaves the X focus elsewhere (a window that comes up just after a click can find it
# so), it is given to the window, as a window manager would.
has_keyboard() {
    active "$1" && ask xwindow "$1" || return 1
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "${ANSWER[0]}" ] && return 0
    xdotool windowfocus "${ANSWER[0]}" 2>/dev/null
    return 1
}

wait_keyboard() { wait_until 10 "the main window to have the keyboard" has_keyboard "$MAIN"; }

# wait_main_window [SECONDS]: MAIN, LIST and RENDER are the program's windows, ready for keys.
wait_main_window() {
    wait_window Kestrin "${1:-60}" "Browse for Folder"
    MAIN=$WIN
    child "$MAIN" ListBox || fail "no mesh list in the main window"
    LIST=$CHILD
    child "$MAIN" AloRenderWindow || fail "no render window in the main window"
    RENDER=$CHILD
    wait_keyboard
}

keys() { xdotool key --clearmodifiers "$@"; }

# click_row N [LIST [CLICKS]]: a click in the middle of row N, a little right or left of the last
# one: two clicks on one spot would make a double-click, which flips no row.
click_row() {
    read_rows "${2:-$LIST}" && geometry "${2:-$LIST}" || fail "no list to click"
    CLICKS=$((${CLICKS:-0} + 1))
    xdotool mousemove $(((CLIENT[0] + CLIENT[2]) / 2 + CLICKS % 2 * 20)) \
        $((CLIENT[1] + ($1 - TOP) * HEIGHT + HEIGHT / 2)) click --repeat "${3:-1}" --delay 80 1
}

# open_file WINDOWS-PATH: File > Open by Ctrl+O, the path typed in the file name box and the Open
# button clicked (Return in the box only navigates when the dialog is still listing the folder).
open_file() {
    say "open $1"
    wait_keyboard
    keys ctrl+o
    wait_window Open
    local dialog=$WIN
    child "$dialog" Edit || fail "no file name box in Open"
    wait_until 5 "the file name box to have the keyboard" focus_is "$dialog" "$CHILD"
    xdotool type --delay 5 "$1"
    wait_until 5 "the file name box to read the path" child_reads "$dialog" Edit "$1"
    child "$dialog" 1 Button && [ "$CHILD_TEXT" = "&Open" ] || fail "no Open button"
    geometry "$CHILD"
    click_at $(((RECT[0] + RECT[2]) / 2)) $(((RECT[1] + RECT[3]) / 2))
    wait_no_window Open
}

# expect_picker ROWS...: "Select a file" is up with these entries and its list has the keyboard.
expect_picker() {
    wait_window "Select a file"
    local picker=$WIN
    child "$picker" 1003 || fail "no list in \"Select a file\""
    PICKER_LIST=$CHILD
    wait_until 5 "the archive's models in the picker" rows_are_in "$PICKER_LIST" "$@"
    wait_until 5 "the picker's list to have the keyboard" focus_is "$picker" "$PICKER_LIST"
}

rows_are_in() { read_rows "$1" && [ "$(joined "${ROWS[@]}")" = "$(joined "${@:2}")" ]; }

picker_double_click() { click_row "$1" "$PICKER_LIST" 2; }

# expect_box TITLE TEXT: a message box of that title is up and its text is TEXT.
expect_box() {
    wait_window "$1"
    local box=$WIN
    child "$box" 65535 || fail "no text in the box \"$1\""
    expect_eq "text of the box \"$1\"" "$2" "$CHILD_TEXT"
    say "box \"$1\": ${2//$'\n'/ / }"
    WIN=$box
}

# dismiss TITLE: Return on the box of that title (in WIN), which must then go.
dismiss() {
    wait_until 10 "\"$1\" to have the keyboard" has_keyboard "$WIN"
    keys Return
    wait_no_window "$1"
}

close_window() {
    wait_keyboard
    keys alt+F4
}

capture_is() { read_focus "$MAIN" && [ "$CAPTURE" = "$1" ]; }

# press BUTTON X Y: the button goes down there, in the render window, which takes the pointer.
press() {
    POINTER=("$2" "$3")
    xdotool mousemove "$2" "$3" mousedown "$1"
    wait_until 5 "the render window to capture the pointer" capture_is "$RENDER"
}

release() {
    xdotool mouseup "$1"
    wait_until 5 "the drag to end" capture_is 0
}

area_has_keyboard() { focus_is "$MAIN" "$RENDER"; }

# The X window of the main window, which Wine makes take drops (XDND) as WM_DROPFILES.
drop_target() { xdotool search --onlyvisible --name '^Kestrin$' 2>/dev/null | head -n 1; }

area_rect() {
    geometry "$RENDER" || fail "no geometry of the render window"
    AREA=("${CLIENT[@]}")
}

# shoot NAME: Wine draws the render window's Direct3D output into an off-screen X window of the
# client area's size, a child of a 1 x 1 window at -1,-1; false when it cannot be read yet.
shoot() {
    geometry "$RENDER" || return 1
    local x size="$((CLIENT[2] - CLIENT[0]))x$((CLIENT[3] - CLIENT[1]))"
    x=$(xwininfo -root -tree 2>/dev/null | awk -v size="$size" '
        match($0, /^ */) && /0x[0-9a-f]+/ {
            depth = RLENGTH
            if (parent && depth <= parentDepth) parent = 0
            if ($0 ~ /[ ]1x1\+-1\+-1[ ]/) { parent = 1; parentDepth = depth; next }
            if (parent && $0 ~ ("[ )]" size "\\+")) { print $1; exit }
        }')
    [ -n "$x" ] && import -window "$x" "$FLOW_DIR/$1.png" 2>/dev/null
}

# ---------------------------------------------------------------------------------------------
# The flows of this program alone

# A folder that exists but holds no Data\MegaFiles.xml, then one that does not exist.
flow_wrong_data_folder_prompts_and_cancel_ends_quietly() {
    local folder
    for folder in "$FLOW_DIR" "$DEMO/Missing"; do
        start_kestrin "$(path_of "$folder")"
        wait_window "Browse for Folder" 60
        local prompt=$WIN
        child "$prompt" 14146 || fail "no title text in the folder prompt"
        expect_eq "folder prompt" "$FOLDER_PROMPT" "$CHILD_TEXT"
        find_window Kestrin && fail "the main window is shown while the folder is asked for"
        wait_until 10 "the folder prompt to have the keyboard" has_keyboard "$prompt"
        keys Escape
        expect_exit_code 0
    done
}

# The game's 32-bit installer writes its folder in the registry's 32-bit view.
registry() {
    wine reg "$1" 'HKLM\Software\LucasArts\Star Wars Empire at War\1.0' /v ExePath "${@:2}" /f /reg:32 \
        </dev/null >/dev/null 2>&1
}

flow_data_folder_comes_from_the_registry_then_program_files() {
    # No folder given and none in the registry: the Program Files folder is shown, then the
    # default folder under it is tried, which is missing here, so the prompt comes.
    registry delete
    start_kestrin
    expect_box Error 'C:\Program Files'
    dismiss Error
    wait_window "Browse for Folder" 30
    wait_until 10 "the folder prompt to have the keyboard" has_keyboard "$WIN"
    keys Escape
    expect_exit_code 0 'C:\Program Files'

    # The game's ExePath names the demo folder: the viewer starts on it, no box, no prompt.
    registry add /d "$(path_of "$DEMO")\\sweaw.exe" || fail "cannot set ExePath"
    start_kestrin
    wait_main_window
    open_model "$(model Demo_Oddities.alo)" "${ODDITIES_ROWS[@]}"
    exit_by_menu
    registry delete || fail "cannot remove ExePath"
}

# The list takes a 200-pixel strip at the left, the render window the rest, both full height. In
# a client area narrower than the list, the render window is left with no width at all.
layout_follows() {
    geometry "$MAIN" || return 1
    local client=("${CLIENT[@]}") right=$((CLIENT[2] > CLIENT[0] + 200 ? CLIENT[2] : CLIENT[0] + 200))
    geometry "$LIST" && [ "$(joined "${RECT[@]}")" = "$(joined "${client[0]}" "${client[1]}" $((client[0] + 200)) "${client[3]}")" ] &&
        geometry "$RENDER" && [ "$(joined "${RECT[@]}")" = "$(joined $((client[0] + 200)) "${client[1]}" "$right" "${client[3]}")" ]
}

iconic() { geometry "$MAIN" && [ "$ICONIC" = 1 ]; }

window_is() { geometry "$MAIN" && [ "$(joined "${RECT[@]}")" = "$1" ] && [ "$ICONIC" = "$2" ]; }

not_sizing() { read_focus "$MAIN" && [ "$MOVESIZE" = 0 ]; }

# resize_to WIDTH HEIGHT: drags the main window's bottom-right border in four steps, each waited
# for (with Wine's window management off, Windows ignores a size set from the X side).
resize_to() {
    geometry "$MAIN"
    local left=${RECT[0]} top=${RECT[1]} w0=$((RECT[2] - RECT[0])) h0=$((RECT[3] - RECT[1])) step
    say "resize ${w0}x${h0} to ${1}x$2"
    xdotool mousemove $((left + w0 - 2)) $((top + h0 - 2)) mousedown 1
    for step in 1 2 3 4; do
        local w=$((w0 + ($1 - w0) * step / 4)) h=$((h0 + ($2 - h0) * step / 4))
        xdotool mousemove $((left + w - 2)) $((top + h - 2))
        wait_until 10 "the window to be ${w}x$h" window_is "$(joined "$left" "$top" $((left + w)) $((top + h)))" 0
    done
    xdotool mouseup 1
    wait_until 10 "the sizing to end" not_sizing
    wait_until 10 "the children laid out for ${1}x$2" layout_follows
}

# redrawn NAME: two fresh frames (the first row off, then on again) must show the model in the
# middle, not stretched. Under Wine the first frame after the window shrinks can land lower in the
# off-screen window than it was drawn (the drawable is resized after it); the next ones are in place.
redrawn() {
    select_rows 1 0
    select_rows 1 1
    wait_picture 20 "the model drawn in the middle, not stretched ($1)" "$1" placed_as_at_start
}

flow_resizing_and_minimising_keep_the_picture() {
    start_on_demo
    open_model "$(model Demo_Oddities.alo)" "${ODDITIES_ROWS[@]}"
    select_rows 3 "$(ones 3)"
    wait_picture 20 "the model drawn" start steady
    START_PICTURE=$PICTURE
    check "the layout at start" layout_follows
    # Other shapes than the first, then narrower than the list: nothing to draw in, and the
    # program stays up.
    resize_to 1200 560
    redrawn wide
    resize_to 560 700
    redrawn tall
    resize_to 180 300
    expect_running "with a window narrower than the list"
    resize_to 800 600
    redrawn widened

    # Alt+Space opens the system menu, whose N minimises and R restores; the window keeps the
    # keyboard. It stops being minimised before it is moved back and its children laid out, so
    # each is awaited.
    geometry "$MAIN"
    local before
    before=$(joined "${RECT[@]}")
    menu alt+space n
    wait_until 10 "the window to be minimised" iconic
    expect_running "minimised"
    wait_until 10 "the main window to be active" active "$MAIN"
    keys alt+space
    wait_until 5 "the system menu" menu_open
    keys r
    wait_until 10 "the window to be restored to [$before]" window_is "$before" 0
    wait_until 10 "the children laid out after restore" layout_follows
    wait_picture 20 "the model drawn in the middle after restore" restored placed_as_at_start
    wait_until 10 "the selection after restore" selection_is 3 "$(ones 3)"
    exit_by_menu
}

e2e_main "$@"
