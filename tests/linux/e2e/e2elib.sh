# Helpers of the end-to-end flows of the Linux viewer (sourced by e2e.sh): the display, waiting
# with deadlines, windows, the clipboard, the running kestrin, input, pictures.

# The helpers both suites share.
source "$(dirname "${BASH_SOURCE[0]}")/../../support/e2ecommon.sh"

# ---------------------------------------------------------------------------------------------
# Time, reports, waiting

# wait_until SECONDS WHAT COMMAND...: runs COMMAND until it succeeds; the flow fails when it has
# not after SECONDS. E2E_SLOWER (a whole number, 1 by default) stretches every deadline.
wait_until() {
    local seconds=$1 what=$2
    shift 2
    local end=$(($(now_ms) + seconds * ${E2E_SLOWER:-1} * 1000))
    until "$@"; do
        if [ "$(now_ms)" -gt "$end" ]; then
            fail "waited ${seconds}s for $what"
        fi
        # Nothing more will come from a program that has ended (unless its end is awaited).
        if [ -n "${KPID:-}" ] && [ "$1" != kestrin_gone ] && ! kill -0 "$KPID" 2>/dev/null; then
            fail "kestrin ended while waiting for $what"
        fi
        sleep 0.1
    done
}

e2e_diagnose() {
    [ -n "${FLOW_DIR:-}" ] || return
    import -window root "$FLOW_DIR/failure-screen.png" 2>/dev/null &&
        say "screen at the failure: $FLOW_DIR/failure-screen.png"
    say "visible windows (id, geometry, type, title):"
    local id
    for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        say "    $id $(window_size "$id" 2>/dev/null) $(window_type "$id") \"$(xdotool getwindowname "$id" 2>/dev/null)\""
    done
    say "keyboard focus: $(xdotool getwindowfocus 2>/dev/null)"
    if [ -n "${KERR:-}" ] && [ -s "$KERR" ]; then
        say "kestrin stderr ($KERR), last lines:"
        tail -n 15 "$KERR" | while IFS= read -r line; do say "    $line"; done
    fi
    say "logs and pictures: $FLOW_DIR"
}

# ---------------------------------------------------------------------------------------------
# Set-up: tools, display

e2e_require_tools() {
    local tool missing=()
    for tool in Xvfb xdotool xclip xprop import convert compare flock; do
        command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "e2e: skipped, missing ${missing[*]} (scripts/install-deps installs them)" >&2
        return 1
    fi
}

e2e_check_settings() {
    local name
    for name in KESTRIN_E2E_EXE KESTRIN_E2E_CLOSE KESTRIN_E2E_ARCHIVE KESTRIN_E2E_DEMODATA KESTRIN_E2E_WORK; do
        if [ -z "${!name:-}" ]; then
            echo "e2e: $name is not set" >&2
            return 1
        fi
    done
}

# Starts an Xvfb of its own on a display number the server picks itself (-displayfd), so that
# flows running side by side never meet. No window manager runs there: the flows give windows the
# keyboard themselves, and close them with the message a window manager would send.
e2e_start_display() {
    local number="$WORK/$RUN_NAME.display" log="$WORK/$RUN_NAME.xvfb.log"
    rm -f "$number"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$number" >"$log" 2>&1 &
    XVFB_PID=$!
    local end=$(($(now_ms) + 30000))
    until [ -s "$number" ] && [ "$(tail -c 1 "$number" | od -An -c | tr -d ' ')" = '\n' ]; do
        if ! kill -0 "$XVFB_PID" 2>/dev/null || [ "$(now_ms)" -gt "$end" ]; then
            echo "e2e: Xvfb did not start: $(cat "$log")" >&2
            return 1
        fi
        sleep 0.05
    done
    export DISPLAY=":$(head -n 1 "$number")"
}

e2e_teardown() {
    if [ -n "${FLOW_PID:-}" ]; then
        kill "$FLOW_PID" 2>/dev/null
        wait "$FLOW_PID" 2>/dev/null
    fi
    # The clipboard's owners and anything the display keeps go with the server.
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
}

# A flow's own folder, home and data: the program writes its settings under HOME, and nothing of
# the user's environment (a Wine prefix, a desktop's Qt theme or session bus) takes part.
e2e_run_flow() {
    FLOW=$1
    FLOW_DIR="$WORK/$FLOW"
    rm -rf "$FLOW_DIR"
    mkdir -p "$FLOW_DIR/home" "$FLOW_DIR/runtime"
    chmod 700 "$FLOW_DIR/runtime"
    FLOW_START_MS=$(now_ms)
    KPID=""
    KRUN=0
    SHOT=0
    trap e2e_flow_cleanup EXIT
    export HOME="$FLOW_DIR/home" XDG_RUNTIME_DIR="$FLOW_DIR/runtime"
    export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
    export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
    unset WINEPREFIX WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS QT_STYLE_OVERRIDE QT_QPA_PLATFORMTHEME \
        QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_FONT_DPI
    DEMO="$FLOW_DIR/demo"
    "$KESTRIN_E2E_DEMODATA" "$DEMO" >"$FLOW_DIR/demodata.log" 2>&1 ||
        fail "kestrin-demodata failed: $(cat "$FLOW_DIR/demodata.log")"
    say "flow $FLOW (display $DISPLAY)"
    "flow_$FLOW"
    if [ -n "$KPID" ]; then
        fail "the flow left kestrin running"
    fi
    say "PASS $FLOW"
}

e2e_flow_cleanup() {
    local status=$?
    # A failed flow may leave the program up, maybe with a box open.
    if [ -n "${KPID:-}" ]; then
        kill "$KPID" 2>/dev/null
        wait "$KPID" 2>/dev/null
    fi
    local pid
    for pid in ${CLIP_PIDS:-}; do
        kill "$pid" 2>/dev/null
    done
    exit $status
}

# ---------------------------------------------------------------------------------------------
# Windows

# The pattern that matches exactly text, for xdotool's --name.
exactly() {
    printf '^%s$' "$(printf '%s' "$1" | sed 's/[][\\.^$*+?(){}|]/\\&/g')"
}

# window_type ID: the last part of its first _NET_WM_WINDOW_TYPE (NORMAL, DIALOG, POPUP_MENU, ...).
window_type() {
    xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | sed -n 's/^.*= _NET_WM_WINDOW_TYPE_\([A-Z_]*\).*$/\1/p'
}

window_size() {
    local WIDTH HEIGHT X Y
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep -E '^(WIDTH|HEIGHT|X|Y)=')"
    echo "${WIDTH:-?}x${HEIGHT:-?}+${X:-?}+${Y:-?}"
}

# find_window TITLE [TYPE]: WIN is a visible window titled exactly TITLE (of that type, if given);
# false when none. Qt names its menus after the application, so the main window is told by type.
find_window() {
    local id
    for id in $(xdotool search --onlyvisible --name "$(exactly "$1")" 2>/dev/null); do
        if [ -z "${2:-}" ] || [ "$(window_type "$id")" = "$2" ]; then
            WIN=$id
            return 0
        fi
    done
    return 1
}

no_window() {
    ! find_window "$@"
}

# wait_window TITLE [SECONDS [TYPE [OTHER]]]: waits for the window; a box titled "Error", or a
# window titled OTHER, that comes instead ends the wait at once.
wait_window() {
    wait_until "${2:-20}" "the window \"$1\"" window_or_other "$1" "${3:-}" "${4:-}"
    say "window \"$1\" is up ($WIN)"
}

window_or_other() {
    find_window "$1" "$2" && return 0
    if [ -n "$3" ] && find_window "$3"; then
        fail "the window \"$3\" came instead of \"$1\""
    fi
    if [ "$1" != Error ] && find_window Error; then
        local box=$WIN
        read_box "$box" 2>/dev/null
        fail "an error box came instead of \"$1\": ${BOX_TEXT:-(its text could not be read)}"
    fi
    return 1
}

wait_no_window() {
    wait_until "${2:-20}" "the window \"$1\" to go" no_window "$1" "${3:-}"
}

# geometry ID: GX GY (position on the screen), GW GH (size) of a window.
geometry() {
    local WIDTH HEIGHT X Y
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep -E '^(WIDTH|HEIGHT|X|Y)=')"
    [ -n "${WIDTH:-}" ] || return 1
    GX=$X GY=$Y GW=$WIDTH GH=$HEIGHT
}

has_keyboard() {
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]
}

# give_keyboard ID: the window gets the X input focus, as a window manager would give it on a
# click. Qt gives its dialogs the focus when they open, but nobody gives it back to the main
# window when they close.
give_keyboard() {
    has_keyboard "$1" && return 0
    xdotool windowfocus "$1" 2>/dev/null
    wait_until 10 "window $1 to have the keyboard" has_keyboard "$1"
}

# A menu of the program is open.
menu_open() {
    local id
    for id in $(xdotool search --onlyvisible --class '^kestrin$' 2>/dev/null); do
        [ "$(window_type "$id")" = DROPDOWN_MENU ] && return 0
    done
    return 1
}

# ---------------------------------------------------------------------------------------------
# The clipboard: Ctrl+C in a list or a message box of the program copies its text. Before each
# copy the clipboard is given a mark, so that the text read back is the copy's and not an older
# one.

CLIP_MARK="kestrin-e2e: nothing copied"

clip_mark() {
    printf '%s' "$CLIP_MARK" | xclip -quiet -selection clipboard -i >/dev/null 2>&1 &
    CLIP_PIDS="${CLIP_PIDS:-} $!"
    wait_until 10 "the clipboard to take the mark" clip_is "$CLIP_MARK"
}

clip_read() {
    timeout 5 xclip -o -selection clipboard 2>/dev/null
}

clip_is() {
    [ "$(clip_read)" = "$1" ]
}

clip_copied() {
    CLIP=$(clip_read) && [ "$CLIP" != "$CLIP_MARK" ]
}

# copy KEYS...: presses KEYS (ending with ctrl+c) and waits for the copy; CLIP is its text.
copy() {
    clip_mark
    keys "$@"
    wait_until 10 "something copied after $*" clip_copied
}

# read_box ID: BOX_TITLE and BOX_TEXT of a message box, copied from it with Ctrl+C as lines
# between dashed lines: the title, the text, the buttons.
read_box() {
    give_keyboard "$1"
    copy ctrl+c
    local line part=0 text=""
    BOX_TITLE="" BOX_TEXT="" BOX_BUTTONS=""
    while IFS= read -r line; do
        if [ "$line" = "---------------------------" ]; then
            case $part in
            2) BOX_TEXT=$text ;;
            esac
            part=$((part + 1))
            text=""
            continue
        fi
        case $part in
        1) BOX_TITLE=$line ;;
        2) text+=${text:+$'\n'}$line ;;
        3) BOX_BUTTONS=$line ;;
        esac
    done <<<"$CLIP"
}

# ---------------------------------------------------------------------------------------------
# The program

# start_kestrin ARGS...: starts the viewer in the flow's folder.
start_kestrin() {
    KRUN=$((KRUN + 1))
    KERR="$FLOW_DIR/kestrin$KRUN.err"
    say "start kestrin $*"
    (cd "$FLOW_DIR" && exec "$KESTRIN_E2E_EXE" "$@") </dev/null >"$FLOW_DIR/kestrin$KRUN.out" 2>"$KERR" &
    KPID=$!
    MAIN=""
}

expect_running() {
    kestrin_running || fail "kestrin ended: $1"
}

# wait_exit [SECONDS]: waits for kestrin to end; KRC is its exit code. A box left open would keep
# it up: it ends within the deadline only when nothing more was asked.
wait_exit() {
    wait_until "${1:-15}" "kestrin to end" kestrin_gone
    wait "$KPID"
    KRC=$?
    KPID=""
    say "kestrin ended with exit code $KRC"
}

# wait_main_window [SECONDS]: MAIN is the main window, measured (below) and with the keyboard. The
# folder prompt that comes instead ends the wait.
wait_main_window() {
    wait_window Kestrin "${1:-30}" NORMAL "$FOLDER_PROMPT"
    MAIN=$WIN
    wait_until 10 "the main window to be drawn" measure_layout
    say "layout: mesh list ${LIST_WIDTH}px wide, drawing area from ${AREA_LEFT},${AREA_TOP} in ${WINDOW_W}x${WINDOW_H}"
    give_keyboard "$MAIN"
}

wait_keyboard() {
    give_keyboard "$MAIN"
}

# keep_shot ID NAME: a picture of a window for whoever reads the flow's folder, $FLOW_DIR/NAME-N.png.
keep_shot() {
    SHOT=$((SHOT + 1))
    import -window "$1" "$FLOW_DIR/$2-$SHOT.png" 2>/dev/null
}

# shoot_window FILE: the main window as on the screen.
shoot_window() {
    import -window "$MAIN" "$1" 2>/dev/null
}

# pixels FILE CROP: the pixels of that part of the picture, one "X Y R G B" (0-255) a line.
pixels() {
    convert "$1" -crop "$2" +repage -depth 8 -colorspace sRGB txt:- 2>/dev/null |
        awk -F'[,:() ]+' 'NR > 1 { print $1, $2, $3, $4, $5 }'
}

# pixel FILE X Y: "R G B".
pixel() {
    pixels "$1" "1x1+$2+$3" | cut -d' ' -f3-
}

is_black() {
    [ "$1" = "0 0 0" ]
}

# measure_layout: from a shot of the main window while the drawing area shows nothing (all black):
# AREA_LEFT and AREA_TOP, where the drawing area starts (below the menu bar, right of the list),
# LIST_WIDTH, and BASE, the colour of the list's empty part. False until the window is drawn.
measure_layout() {
    local file="$FLOW_DIR/layout.png"
    geometry "$MAIN" || return 1
    WINDOW_W=$GW WINDOW_H=$GH
    shoot_window "$file" || return 1
    # The drawing area reaches the window's right and bottom edges: its top is where the black
    # run up the right edge ends, its left where the black run along the bottom edge ends.
    AREA_TOP=$(pixels "$file" "1x${GH}+$((GW - 1))+0" |
        awk -v n="$GH" '{ black[$2] = ($3 + $4 + $5 == 0) } END { for (y = n - 1; y >= 0 && black[y]; y--); print y + 1 }')
    AREA_LEFT=$(pixels "$file" "${GW}x1+0+$((GH - 1))" |
        awk -v n="$GW" '{ black[$1] = ($3 + $4 + $5 == 0) } END { for (x = n - 1; x >= 0 && black[x]; x--); print x + 1 }')
    [ -n "$AREA_TOP" ] && [ -n "$AREA_LEFT" ] || return 1
    # Drawn: a menu bar above, a list at the left, both not black, and the area black.
    [ "$AREA_TOP" -gt 5 ] && [ "$AREA_TOP" -lt $((GH / 2)) ] &&
        [ "$AREA_LEFT" -gt 5 ] && [ "$AREA_LEFT" -lt $((GW / 2)) ] || return 1
    is_black "$(pixel "$file" $((GW - 1)) 2)" && return 1
    BASE=$(pixel "$file" $((AREA_LEFT / 2)) $((GH - 8)))
    is_black "$BASE" && return 1
    LIST_WIDTH=$AREA_LEFT
    [ "$(lit_pixels_of "$file" "$((GW - AREA_LEFT))x$((GH - AREA_TOP))+$AREA_LEFT+$AREA_TOP")" -eq 0 ]
}

# ---------------------------------------------------------------------------------------------
# Input

keys() {
    xdotool key "$@"
}

# menu KEY ITEMKEY: opens a menu of the main window with its Alt key, waits for it, picks the item.
menu() {
    wait_keyboard
    keys "$1"
    wait_until 10 "the menu after $1" menu_open
    keys "$2"
}

# The mesh list's rows are found on the screen: the first click on the first row shows where it is
# and how high rows are (ROW_TOP, ROW_HEIGHT, in the window); the rest follow at that pitch.

# row_point N: X Y on the screen, the middle of row N of the mesh list.
row_point() {
    geometry "$MAIN"
    X=$((GX + LIST_WIDTH / 2))
    Y=$((GY + ROW_TOP + N_ROW_HALF + $1 * ROW_HEIGHT))
}

# highlight_runs FILE CROP: the runs of a selected row's background down a one-pixel column of the
# picture, one "Y HEIGHT" a line. That background is a colour (the list's frame and text are grey)
# other than the empty list's (BASE).
highlight_runs() {
    pixels "$1" "$2" | awk -v base="$BASE" '
        BEGIN { split(base, q, " ") }
        {
            d = 0; lo = 255; hi = 0
            for (i = 3; i <= 5; i++) {
                d += $i > q[i - 2] ? $i - q[i - 2] : q[i - 2] - $i
                if ($i < lo) lo = $i
                if ($i > hi) hi = $i
            }
            lit = d > 60 && hi - lo > 50
            if (lit && top == "") top = $2
            if (!lit && top != "") { print top, $2 - top; top = "" }
        }
        END { if (top != "") print top, $2 + 1 - top }'
}

# list_runs FILE: highlight_runs down the mesh list near its right edge, from the list's top (Y
# counts from there).
list_runs() {
    highlight_runs "$1" "1x$((WINDOW_H - AREA_TOP))+$((LIST_WIDTH - 12))+$AREA_TOP"
}

# measure_rows: ROW_TOP and ROW_HEIGHT from the first highlighted run down the list: the first row,
# selected. False while it is not drawn so.
measure_rows() {
    local file="$FLOW_DIR/rows.png" top height
    shoot_window "$file" || return 1
    read -r top height < <(list_runs "$file")
    [ -n "${top:-}" ] && [ "$height" -ge 8 ] && [ "$height" -le 60 ] && [ "$top" -le 6 ] || return 1
    ROW_TOP=$((AREA_TOP + top))
    ROW_HEIGHT=$height
    N_ROW_HALF=$((height / 2))
    say "mesh list rows: ${ROW_HEIGHT}px high from y ${ROW_TOP}"
}

# read_selection COUNT: SELECTED holds 0 or 1 for each of the first COUNT rows, from the screen: a
# row is selected when the middle of it is highlighted.
read_selection() {
    local file="$FLOW_DIR/selection.png" i middle top height
    shoot_window "$file" || return 1
    local runs=()
    mapfile -t runs < <(list_runs "$file")
    SELECTED=()
    for ((i = 0; i < $1; i++)); do
        middle=$((ROW_TOP - AREA_TOP + i * ROW_HEIGHT + N_ROW_HALF))
        local on=0 run
        for run in "${runs[@]}"; do
            read -r top height <<<"$run"
            if [ "$middle" -ge "$top" ] && [ "$middle" -lt $((top + height)) ]; then on=1; fi
        done
        SELECTED+=("$on")
    done
}

selection_is() {
    read_selection "$1" && [ "$(joined "${SELECTED[@]}")" = "$2" ]
}

# read_rows: ROWS, the texts of the mesh list's rows, copied one by one (Ctrl+C copies the current
# row; moving it with the keys selects nothing in this list). The list must have the keyboard.
read_rows() {
    ROWS=()
    local previous="" n
    copy Home ctrl+c
    ROWS+=("$CLIP")
    for ((n = 0; n < 64; n++)); do
        previous=$CLIP
        copy Down ctrl+c
        # The last row stays current when Down is pressed on it.
        [ "$CLIP" = "$previous" ] && break
        ROWS+=("$CLIP")
    done
}

# The list has the keyboard once a key moves its current row: Home then Ctrl+C copies a row.
list_has_keyboard() {
    clip_mark
    keys Home ctrl+c
    local end=$(($(now_ms) + 1500))
    while [ "$(now_ms)" -lt "$end" ]; do
        clip_copied && return 0
        sleep 0.1
    done
    return 1
}

# set_selection COUNT SELECTION: clicks the rows among the first COUNT of the mesh list that are
# not as SELECTION (0|1|...) has them, each flip waited for on the screen.
set_selection() {
    local count=$1 target i
    IFS='|' read -r -a target <<<"$2"
    if [ -z "${ROW_HEIGHT:-}" ]; then
        # Where the first row is: a few pixels below the list's top edge, whatever the font.
        geometry "$MAIN"
        click_at $((GX + LIST_WIDTH / 2)) $((GY + AREA_TOP + 5))
        wait_until 10 "the first row to be selected" measure_rows
    fi
    read_selection "$count"
    local current=("${SELECTED[@]}")
    for ((i = 0; i < count; i++)); do
        [ "${current[i]}" = "${target[i]}" ] && continue
        current[i]=${target[i]}
        row_point "$i"
        click_at "$X" "$Y"
        wait_until 10 "row $i to flip" selection_is "$count" "$(joined "${current[@]}")"
    done
}

# open_file PATH: File > Open by Ctrl+O, the path typed in the file name box (and read back from
# it) and Return.
open_file() {
    say "open $1"
    wait_keyboard
    keys ctrl+o
    wait_window Open 20 DIALOG
    local dialog=$WIN
    give_keyboard "$dialog"
    xdotool type --delay 10 "$1"
    wait_until 10 "the file name box to read the path" name_box_reads "$1"
    keys Return
    wait_no_window Open 20 DIALOG
}

# The file name box has the keyboard in the dialog: select its text and copy it.
name_box_reads() {
    copy ctrl+a ctrl+c
    [ "$CLIP" = "$1" ]
}

# ---------------------------------------------------------------------------------------------
# Pictures of the drawing area: the main window's shot, cut to the area.

# shoot NAME: the drawing area's picture into $FLOW_DIR/NAME.png, with the window's current size.
shoot() {
    geometry "$MAIN" || return 1
    WINDOW_W=$GW WINDOW_H=$GH
    local w=$((GW - AREA_LEFT)) h=$((GH - AREA_TOP))
    [ "$w" -gt 0 ] && [ "$h" -gt 0 ] || return 1
    import -window "$MAIN" -crop "${w}x${h}+${AREA_LEFT}+${AREA_TOP}" +repage "$FLOW_DIR/$1.png" 2>/dev/null
}

# lit_pixels_of FILE [CROP]: how many pixels are not black (above 3% grey).
lit_pixels_of() {
    local crop=()
    [ -n "${2:-}" ] && crop=(-crop "$2" +repage)
    convert "$1" "${crop[@]}" -colorspace gray -threshold 3% -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}

lit_pixels() {
    lit_pixels_of "$1"
}

# wait_picture SECONDS WHAT NAME TEST [ARGS]: shoots the drawing area until TEST ARGS FILE
# succeeds; the picture that passed is $FLOW_DIR/NAME.png (in PICTURE).
wait_picture() {
    local seconds=$1 what=$2 name=$3
    shift 3
    PICTURE="$FLOW_DIR/$name.png"
    LAST_SHOT=""
    wait_until "$seconds" "$what" picture_passes "$name" "$@"
    say "picture $name.png: $what"
}

black() {
    [ "$(lit_pixels "$1")" -eq 0 ]
}

drawn() {
    [ "$(lit_pixels "$1")" -gt 200 ]
}

bigger_than() {
    [ "$(lit_pixels "$2")" -gt "$(lit_pixels "$1")" ] && differs "$1" "$2"
}

smaller_than() {
    [ "$(lit_pixels "$2")" -lt "$(lit_pixels "$1")" ] && differs "$1" "$2"
}

# lit_box FILE: "W H X Y AW AH": the lit part's box and the picture's size.
lit_box() {
    convert "$1" -colorspace gray -threshold 3% -format '%@ %w %h' info: 2>/dev/null |
        sed 's/^\([0-9]*\)x\([0-9]*\)+\([0-9]*\)+\([0-9]*\)/\1 \2 \3 \4/'
}

# placed_like BASE FILE: the model has the same place and shape in FILE as in BASE, measured from
# the middle of the drawing area in heights of it. The view keeps its vertical angle whatever the
# area's shape, so a picture that is neither off centre nor stretched keeps these numbers at any
# size; 1% of the height (and 2 pixels for rounding) is allowed.
placed_like() {
    local a b
    a=$(lit_box "$1") b=$(lit_box "$2")
    awk -v a="$a" -v b="$b" 'function edges(s, e,   v) {
            split(s, v, " ")
            if (v[1] <= 1 || v[2] <= 1) return 0
            e[1] = (v[3] - v[5] / 2) / v[6]; e[2] = (v[3] + v[1] - v[5] / 2) / v[6]
            e[3] = (v[4] - v[6] / 2) / v[6]; e[4] = (v[4] + v[2] - v[6] / 2) / v[6]
            e[5] = v[6]
            return 1
        }
        BEGIN {
            if (!edges(a, p) || !edges(b, q)) exit 1
            for (i = 1; i <= 4; i++) {
                d = p[i] - q[i]; if (d < 0) d = -d
                if (d > 0.01 + 2 / q[5]) exit 1
            }
            exit 0
        }'
}

# placed_as_at_start FILE: steady and placed like START_PICTURE.
placed_as_at_start() {
    steady "$1" && placed_like "$START_PICTURE" "$1"
}
