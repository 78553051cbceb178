#!/usr/bin/env bash
# End-to-end flows of the Linux viewer, driven with the mouse and the keyboard through xdotool as
# a person would drive it (tests/support/e2ecommon.sh runs them and holds the flows both programs
# share).
#
#   e2e.sh FLOW... | all | list
#
# In Xvfb with Qt 6 on xcb and no window manager:
# - Windows are found by title and told apart by _NET_WM_WINDOW_TYPE: Qt names its menu popups
#   after the application ("Kestrin", as the main window); message boxes and dialogs are DIALOG,
#   menus DROPDOWN_MENU.
# - Qt gives a dialog the X input focus when it opens, but nothing gives it back to the main window
#   when the dialog closes: the flows focus it again with `xdotool windowfocus` before they type.
# - Ctrl+C copies the current row of a list, the text of a line edit (after Ctrl+A) and the whole
#   of a message box; `xclip -o` reads it. The mesh list selects nothing when its current row moves
#   with the keys, so its rows are read with Home, Down and Ctrl+C; which rows are selected is read
#   from the screen (the selection's colour down the list's right side), as is the picture, from
#   shots of the main window.
# - Closing the main window is a WM_DELETE_WINDOW message, which kestrin-e2e-close sends as a
#   window manager would. `xdotool windowsize` resizes the window to any size, even 1x1.
# Settings beside e2ecommon.sh's: KESTRIN_E2E_CLOSE (kestrin-e2e-close).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../support/e2ecommon.sh"

E2E_FLOWS=(loose_model_lists_meshes_and_draws_the_selected_ones mouse_orbits_pans_and_zooms_the_picture
    archive_entry_is_picked_in_select_a_file file_that_is_no_model_is_reported_and_the_viewer_goes_on
    wrong_data_folder_prompts_and_cancel_ends_quietly data_folder_comes_from_a_wine_prefix
    about_box_from_f1_and_the_help_menu resizing_keeps_the_picture_in_the_middle_unstretched
    file_exit_and_closing_the_window_end_the_program models_open_from_the_command_line_and_by_drops
    f_frames_the_model_and_home_brings_the_starting_view_back
    open_dialog_starts_in_the_models_folder_and_the_status_line_tells_what_a_model_lacks
    select_a_file_narrows_to_what_is_typed)
E2E_TOOLS=(xclip xprop)
E2E_SETTINGS=(KESTRIN_E2E_CLOSE)

e2e_setup() { :; }
e2e_teardown() { :; }
e2e_after_failure() { :; }

# A home of the flow's own: the program writes its settings there, and nothing of the user's
# environment (a Wine prefix, a desktop's Qt theme or session bus) takes part.
e2e_flow_setup() {
    mkdir -p "$FLOW_DIR/home" "$FLOW_DIR/runtime"
    chmod 700 "$FLOW_DIR/runtime"
    export HOME="$FLOW_DIR/home" XDG_RUNTIME_DIR="$FLOW_DIR/runtime" QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
    export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
    unset WINEPREFIX WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS QT_STYLE_OVERRIDE QT_QPA_PLATFORMTHEME \
        QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_FONT_DPI
}

e2e_diagnose() {
    say "visible windows (id, geometry, type, title):"
    local id
    for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        geometry "$id" && say "    $id ${GW}x$GH+$GX+$GY $(window_type "$id") \"$(xdotool getwindowname "$id")\""
    done
    say "keyboard focus: $(xdotool getwindowfocus 2>/dev/null)"
}

launch() { exec "$KESTRIN_E2E_EXE" "$@"; }

path_of() { echo "$1"; }

# The program shows its errors in boxes that keep it up until dismissed: a box nobody expected
# fails the flow at its next wait.
boxes_were() { :; }

# ---------------------------------------------------------------------------------------------
# Windows

# window_type ID: the last part of its first _NET_WM_WINDOW_TYPE (NORMAL, DIALOG, DROPDOWN_MENU...).
window_type() {
    xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | sed -n 's/^.*= _NET_WM_WINDOW_TYPE_\([A-Z_]*\).*$/\1/p'
}

# find_window TITLE [TYPE]: WIN is a visible window titled exactly TITLE (of that type, if given).
find_window() {
    local id
    for id in $(xdotool search --onlyvisible --name "^$(printf '%s' "$1" | sed 's/[][\\.^$*+?(){}|]/\\&/g')\$" 2>/dev/null); do
        if [ -z "${2:-}" ] || [ "$(window_type "$id")" = "$2" ]; then
            WIN=$id
            return 0
        fi
    done
    return 1
}

# wait_window TITLE [SECONDS [TYPE [OTHER]]]: a box titled "Error", or a window titled OTHER, that
# comes instead ends the wait at once.
wait_window() {
    wait_until "${2:-20}" "the window \"$1\"" window_or_other "$1" "${3:-}" "${4:-}"
    say "window \"$1\" is up ($WIN)"
}

window_or_other() {
    find_window "$1" "$2" && return 0
    [ -n "$3" ] && find_window "$3" && fail "the window \"$3\" came instead of \"$1\""
    if [ "$1" != Error ] && find_window Error; then
        read_box "$WIN"
        fail "an error box came instead of \"$1\": $BOX_TEXT"
    fi
    return 1
}

wait_no_window() { wait_until 20 "the window \"$1\" to go" not_shown "$@"; }

not_shown() { ! find_window "$@"; }

# geometry ID: GX GY (position on the screen), GW GH (size) of a window.
geometry() {
    local WIDTH HEIGHT X Y
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep -E '^(WIDTH|HEIGHT|X|Y)=')"
    [ -n "${WIDTH:-}" ] && GX=$X GY=$Y GW=$WIDTH GH=$HEIGHT
}

has_keyboard() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

# give_keyboard ID: the window gets the X input focus, as a window manager would give it.
give_keyboard() {
    has_keyboard "$1" || xdotool windowfocus "$1" 2>/dev/null
    wait_until 10 "window $1 to have the keyboard" has_keyboard "$1"
}

wait_keyboard() { give_keyboard "$MAIN"; }

keys() { xdotool key --clearmodifiers "$@"; }

menu_open() {
    local id
    for id in $(xdotool search --onlyvisible --class '^kestrin$' 2>/dev/null); do
        [ "$(window_type "$id")" = DROPDOWN_MENU ] && return 0
    done
    return 1
}

# wait_main_window: MAIN is the main window, measured (measure_layout) and with the keyboard. The
# folder prompt that comes instead ends the wait.
wait_main_window() {
    wait_window Kestrin 30 NORMAL "$FOLDER_PROMPT"
    MAIN=$WIN
    wait_until 10 "the main window to be drawn" measure_layout
    say "layout: mesh list ${LIST_WIDTH}px wide, drawing area from $AREA_LEFT,$AREA_TOP in ${WINDOW_W}x$WINDOW_H"
    give_keyboard "$MAIN"
}

drop_target() { echo "$MAIN"; }

close_window() {
    say "close the main window"
    "$KESTRIN_E2E_CLOSE" "$MAIN" || fail "the close message could not be sent"
}

# ---------------------------------------------------------------------------------------------
# The clipboard: Ctrl+C in a list, a line edit or a message box of the program copies its text.
# Before each copy the clipboard is given a mark, so that the text read back is the copy's.

CLIP_MARK="kestrin-e2e: nothing copied"

clip_read() { timeout 5 xclip -o -selection clipboard 2>/dev/null; }

clip_copied() { CLIP=$(clip_read) && [ "$CLIP" != "$CLIP_MARK" ]; }

clip_marked() { [ "$(clip_read)" = "$CLIP_MARK" ]; }

# copy KEYS...: presses KEYS (ending with ctrl+c) and waits for the copy; CLIP is its text.
# COPY_SECONDS (10 unless given) is the wait; false when nothing came.
copy() {
    printf '%s' "$CLIP_MARK" | xclip -quiet -selection clipboard -i >/dev/null 2>&1 &
    wait_until 10 "the clipboard to take the mark" clip_marked
    keys "$@"
    local end=$(($(now_ms) + ${COPY_SECONDS:-10} * 1000))
    until clip_copied; do
        [ "$(now_ms)" -lt "$end" ] || return 1
        sleep 0.1
    done
}

# read_box ID: BOX_TITLE, BOX_TEXT and BOX_BUTTONS of a message box, copied from it with Ctrl+C as
# lines between dashed lines.
read_box() {
    give_keyboard "$1"
    copy ctrl+c || fail "nothing copied from the box"
    local line part=0 text=""
    while IFS= read -r line; do
        if [ "$line" = "---------------------------" ]; then
            part=$((part + 1))
            continue
        fi
        case $part in
        1) BOX_TITLE=$line ;;
        2) text+=${text:+$'\n'}$line ;;
        3) BOX_BUTTONS=$line ;;
        esac
    done <<<"$CLIP"
    BOX_TEXT=$text
}

# expect_box TITLE TEXT: a message box of that title is up, its text is TEXT, its button OK.
expect_box() {
    wait_window "$1" 20 DIALOG
    local box=$WIN
    import -window "$box" "$FLOW_DIR/box-$1-$KRUN.png" 2>/dev/null
    read_box "$box"
    expect_eq "title of the box" "$1" "$BOX_TITLE"
    expect_eq "text of the box \"$1\"" "$2" "$BOX_TEXT"
    expect_eq "buttons of the box \"$1\"" "OK" "$(echo $BOX_BUTTONS)"
    say "box \"$1\": ${2//$'\n'/ / }"
    WIN=$box
}

dismiss() {
    give_keyboard "$WIN"
    keys Return
    wait_no_window "$1"
}

# read_rows: ROWS, the texts of the rows of the list with the keyboard (the picker's, while it is
# up), copied one by one; the last row stays current when Down is pressed on it.
read_rows() {
    if find_window "Select a file" DIALOG; then give_keyboard "$WIN"; else wait_keyboard; fi
    COPY_SECONDS=2 copy Home ctrl+c || return 1
    ROWS=("$CLIP")
    local n previous
    for ((n = 0; n < 64; n++)); do
        previous=$CLIP
        copy Down ctrl+c || fail "nothing copied from the list"
        [ "$CLIP" = "$previous" ] && break
        ROWS+=("$CLIP")
    done
}

# open_file PATH: File > Open by Ctrl+O, the path typed in the file name box (and read back from
# it) and Return.
open_file() {
    say "open $1"
    wait_keyboard
    keys ctrl+o
    wait_window Open 20 DIALOG
    give_keyboard "$WIN"
    xdotool type --delay 10 "$1"
    wait_until 10 "the file name box to read the path" name_box_reads "$1"
    keys Return
    wait_no_window Open DIALOG
}

name_box_reads() { copy ctrl+a ctrl+c && [ "$CLIP" = "$1" ]; }

# expect_picker ROWS...: "Select a file" is up with these entries, in this order (PICKER). The row
# under the keyboard's cursor is selected in its list, which shows where the rows are.
expect_picker() {
    wait_window "Select a file" 30 DIALOG
    PICKER=$WIN
    give_keyboard "$PICKER"
    read_rows
    expect_eq "entries of \"Select a file\"" "$(joined "$@")" "$(joined "${ROWS[@]}")"
}

picker_double_click() {
    keys Home
    wait_until 10 "the picker's first row to be selected" picker_rows_measured
    xdotool mousemove "$PICKER_X" $((PICKER_Y + $1 * PICKER_ROW)) click --repeat 2 --delay 80 1
}

picker_rows_measured() {
    local file="$FLOW_DIR/picker.png" top height
    geometry "$PICKER" && import -window "$PICKER" "$file" 2>/dev/null || return 1
    read -r top height < <(highlight_runs "$file" "1x$GH+$((GW / 2))+0")
    [ -n "${top:-}" ] && [ "$height" -ge 8 ] && [ "$height" -le 60 ] || return 1
    PICKER_X=$((GX + GW / 2)) PICKER_Y=$((GY + top + height / 2)) PICKER_ROW=$height
}

# ---------------------------------------------------------------------------------------------
# The main window, measured from shots of it

shoot_window() { import -window "$MAIN" "$1" 2>/dev/null; }

# pixels FILE CROP: the pixels of that part of the picture, one "X Y R G B" (0-255) a line.
pixels() {
    convert "$1" -crop "$2" +repage -depth 8 -colorspace sRGB txt:- 2>/dev/null |
        awk -F'[,:() ]+' 'NR > 1 { print $1, $2, $3, $4, $5 }'
}

pixel() { pixels "$1" "1x1+$2+$3" | cut -d' ' -f3-; }

# measure_layout: from a shot of the main window while the drawing area shows nothing (all black):
# AREA_LEFT and AREA_TOP, where the drawing area starts (below the menu bar, right of the list),
# STATUS_H, the height of the status line under it, LIST_WIDTH, and BASE, the colour of the list's
# empty part. False until the window is drawn.
measure_layout() {
    local file="$FLOW_DIR/layout.png" bottom
    geometry "$MAIN" && shoot_window "$file" || return 1
    WINDOW_W=$GW WINDOW_H=$GH
    # The drawing area reaches the window's right edge: up that edge, the status line comes first,
    # then the black run of the area, whose top is AREA_TOP; along the area's bottom row, its left
    # is where the black run ends.
    read -r AREA_TOP bottom < <(pixels "$file" "1x$GH+$((GW - 1))+0" |
        awk -v n="$GH" '{ black[$2] = ($3 + $4 + $5 == 0) }
            END { for (y = n - 1; y >= 0 && !black[y]; y--); b = y + 1; for (; y >= 0 && black[y]; y--); print y + 1, b }')
    STATUS_H=$((GH - ${bottom:-0}))
    AREA_LEFT=$(pixels "$file" "${GW}x1+0+$((${bottom:-1} - 1))" |
        awk -v n="$GW" '{ black[$1] = ($3 + $4 + $5 == 0) } END { for (x = n - 1; x >= 0 && black[x]; x--); print x + 1 }')
    # Drawn: a menu bar above, a status line below and a list at the left, none black, and the
    # area black.
    [ "${AREA_TOP:-0}" -gt 5 ] && [ "$AREA_TOP" -lt $((GH / 2)) ] && [ "$STATUS_H" -gt 5 ] &&
        [ "$STATUS_H" -lt $((GH / 4)) ] && [ "${AREA_LEFT:-0}" -gt 5 ] && [ "$AREA_LEFT" -lt $((GW / 2)) ] &&
        [ "$(pixel "$file" $((GW - 1)) 2)" != "0 0 0" ] || return 1
    BASE=$(pixel "$file" $((AREA_LEFT / 2)) $((bottom - 8)))
    LIST_WIDTH=$AREA_LEFT
    [ "$BASE" != "0 0 0" ] && [ "$(lit_pixels "$file" "$((GW - AREA_LEFT))x$((bottom - AREA_TOP))+$AREA_LEFT+$AREA_TOP")" -eq 0 ]
}

# The mesh list shows no row: nothing but its empty colour inside its frame.
list_is_empty() {
    local file="$FLOW_DIR/empty-list.png"
    shoot_window "$file" && [ "$(convert "$file" -crop "$((LIST_WIDTH - 8))x$((WINDOW_H - AREA_TOP - STATUS_H - 8))+4+$((AREA_TOP + 4))" \
        +repage -fuzz 3% -fill white -opaque "rgb(${BASE// /,})" -negate -colorspace gray -threshold 3% \
        -format '%[fx:round(mean*w*h)]' info: 2>/dev/null)" = 0 ]
}

# highlight_runs FILE CROP: the runs of a selected row's background down a one-pixel column, one
# "Y HEIGHT" a line. That background is a colour (frames and text are grey) other than BASE.
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

# list_runs FILE: highlight_runs down the mesh list near its right edge, from the list's top.
list_runs() { highlight_runs "$1" "1x$((WINDOW_H - AREA_TOP - STATUS_H))+$((LIST_WIDTH - 12))+$AREA_TOP"; }

# measure_rows: ROW_TOP and ROW_HEIGHT from the first highlighted run down the list: the first row,
# selected. False while it is not drawn so.
measure_rows() {
    local top height
    shoot_window "$FLOW_DIR/rows.png" || return 1
    read -r top height < <(list_runs "$FLOW_DIR/rows.png")
    [ -n "${top:-}" ] && [ "$height" -ge 8 ] && [ "$height" -le 60 ] && [ "$top" -le 6 ] || return 1
    ROW_TOP=$((AREA_TOP + top)) ROW_HEIGHT=$height
    say "mesh list rows: ${ROW_HEIGHT}px high from y $ROW_TOP"
}

# read_selection COUNT: SELECTED holds 0 or 1 for each of the first COUNT rows: a row is selected
# when its middle is highlighted. Before the rows were measured, no row may be highlighted.
read_selection() {
    local runs=() i run top height
    shoot_window "$FLOW_DIR/selection.png" || return 1
    mapfile -t runs < <(list_runs "$FLOW_DIR/selection.png")
    SELECTED=()
    if [ -z "${ROW_HEIGHT:-}" ]; then
        [ ${#runs[@]} -eq 0 ] && IFS='|' read -r -a SELECTED <<<"$(zeros "$1")"
        return
    fi
    for ((i = 0; i < $1; i++)); do
        local middle=$((ROW_TOP - AREA_TOP + i * ROW_HEIGHT + ROW_HEIGHT / 2)) on=0
        for run in "${runs[@]}"; do
            read -r top height <<<"$run"
            [ "$middle" -ge "$top" ] && [ "$middle" -lt $((top + height)) ] && on=1
        done
        SELECTED+=("$on")
    done
}

# click_row N: a click in the middle of row N, a little right or left of the last one. The first
# click, on the first row a few pixels below the list's top, shows where rows are and how high.
click_row() {
    geometry "$MAIN"
    CLICKS=$((${CLICKS:-0} + 1))
    if [ -z "${ROW_HEIGHT:-}" ]; then
        [ "$1" = 0 ] || fail "the rows are measured from a click on the first one"
        click_at $((GX + LIST_WIDTH / 2)) $((GY + AREA_TOP + 5))
        wait_until 10 "the first row to be selected" measure_rows
        return
    fi
    click_at $((GX + LIST_WIDTH / 2 + CLICKS % 2 * 20 - 10)) $((GY + ROW_TOP + ROW_HEIGHT / 2 + $1 * ROW_HEIGHT))
}

# ---------------------------------------------------------------------------------------------
# The drawing area: the main window's shot, cut to it

# Qt keeps the keyboard focus inside the main window; the X focus is what can be seen.
area_has_keyboard() { has_keyboard "$MAIN"; }

area_rect() {
    geometry "$MAIN"
    AREA=($((GX + AREA_LEFT)) $((GY + AREA_TOP)) $((GX + GW)) $((GY + GH - STATUS_H)))
}

shoot() {
    geometry "$MAIN" && [ "$GW" -gt "$AREA_LEFT" ] && [ "$GH" -gt $((AREA_TOP + STATUS_H)) ] || return 1
    WINDOW_W=$GW WINDOW_H=$GH
    import -window "$MAIN" -crop "$((GW - AREA_LEFT))x$((GH - AREA_TOP - STATUS_H))+$AREA_LEFT+$AREA_TOP" +repage \
        "$FLOW_DIR/$1.png" 2>/dev/null
}

press() {
    POINTER=("$2" "$3")
    xdotool mousemove "$2" "$3" mousedown "$1"
}

release() { xdotool mouseup "$1"; }

# ---------------------------------------------------------------------------------------------
# The flows of this program alone

# A folder that exists but holds no Data/MegaFiles.xml, then one that does not exist. The prompt
# shows the folder that was tried: chosen at once, that folder is the choice, and without the
# game's files it is asked for again. A folder typed in the prompt is taken.
flow_wrong_data_folder_prompts_and_cancel_ends_quietly() {
    mkdir -p "$FLOW_DIR/nodata/Data"
    local folder
    for folder in "$FLOW_DIR/nodata" "$DEMO/Missing"; do
        start_kestrin "$folder"
        wait_window "$FOLDER_PROMPT" 30 DIALOG
        local prompt=$WIN
        import -window "$prompt" "$FLOW_DIR/folder-prompt-$KRUN.png" 2>/dev/null
        find_window Kestrin NORMAL && fail "the main window is shown while the folder is asked for"
        give_keyboard "$prompt"
        if [ "$folder" = "$FLOW_DIR/nodata" ]; then
            keys Return
            wait_until 10 "the folder prompt to come again, alone" prompt_again "$prompt"
            give_keyboard "$WIN"
        fi
        keys Escape
        expect_exit_code 0
    done
    start_kestrin "$FLOW_DIR/nodata"
    wait_window "$FOLDER_PROMPT" 30 DIALOG
    give_keyboard "$WIN"
    xdotool type --delay 10 "$DEMO"
    wait_until 10 "the folder box to read the path" name_box_reads "$DEMO"
    keys Return
    wait_main_window
    find_window "$FOLDER_PROMPT" && fail "the folder prompt is still up with the main window"
    open_model "$(model Demo_Ship.alo)" "${SHIP_ROWS[@]}"
    exit_by_menu
}

# prompt_again OLD: the one window titled as the folder prompt is another one than OLD (in WIN).
prompt_again() {
    local ids
    ids=($(xdotool search --onlyvisible --name "^$FOLDER_PROMPT\$" 2>/dev/null))
    [ ${#ids[@]} -eq 1 ] && [ "${ids[0]}" != "$1" ] && WIN=${ids[0]}
}

# make_prefix HOME [EXE KEY]: a Wine prefix as Wine makes one, in a home of its own: drive C:
# through dosdevices, and system.reg with KEY's ExePath, backslashes doubled as Wine writes them.
make_prefix() {
    rm -rf "$1"
    mkdir -p "$1/.wine/dosdevices" "$1/.wine/drive_c/windows"
    ln -s ../drive_c "$1/.wine/dosdevices/c:"
    printf '%s\n' 'WINE REGISTRY Version 2' ';; All keys relative to \\Machine' '' '#arch=win64' '' \
        '[Software\\Microsoft\\Windows\\CurrentVersion] 1700000000' '"ProgramFilesDir"="C:\\Program Files"' '' \
        >"$1/.wine/system.reg"
    [ -n "${3:-}" ] && printf '%s\n' "[${3//\\/\\\\}] 1700000000" '#time=1d9a0b0c0d0e0f0' \
        "\"ExePath\"=\"${2//\\/\\\\}\"" '"Installed"=dword:00000001' '' >>"$1/.wine/system.reg"
    true
}

# start_in HOME GAME: the demo data as the game's folder GAME of that home's prefix, and the viewer
# started there with no folder on the command line.
start_in() {
    mkdir -p "$(dirname "$2")"
    "$KESTRIN_E2E_DEMODATA" "$2" >/dev/null || fail "no demo data in the prefix"
    HOME="$1" start_kestrin
}

flow_data_folder_comes_from_a_wine_prefix() {
    local home="$FLOW_DIR/winehome"
    # The registry's ExePath, spelled in other cases than the folders (Windows ignores case), in
    # the 32-bit view of a 64-bit prefix, where the game's installer writes it.
    make_prefix "$home" 'C:\GAMES\lucasarts\Empire At War\GameData\sweaw.exe' \
        'Software\Wow6432Node\LucasArts\Star Wars Empire at War\1.0'
    start_in "$home" "$home/.wine/drive_c/Games/LucasArts/Empire at War/GameData"
    wait_main_window
    open_model "$home/.wine/drive_c/Games/LucasArts/Empire at War/GameData/Data/Art/Models/Demo_Ship.alo" "${SHIP_ROWS[@]}"
    select_rows 5 "$(ones 5)"
    wait_picture 20 "the ship drawn, from the registry's folder" registry_ship steady
    exit_by_menu

    # Nothing in the registry: the default folder under Program Files of that prefix.
    make_prefix "$home"
    start_in "$home" "$home/.wine/drive_c/Program Files/LucasArts/Star Wars Empire at War/GameData"
    wait_main_window
    open_model "$home/.wine/drive_c/Program Files/LucasArts/Star Wars Empire at War/GameData/Data/Art/Models/Demo_Oddities.alo" \
        "${ODDITIES_ROWS[@]}"
    exit_by_menu

    # An ExePath whose folder is gone, and no game under Program Files: the folder prompt.
    make_prefix "$home" 'C:\Games\Gone\sweaw.exe' 'Software\LucasArts\Star Wars Empire at War\1.0'
    HOME="$home" start_kestrin
    wait_window "$FOLDER_PROMPT" 30 DIALOG
    give_keyboard "$WIN"
    keys Escape
    expect_exit_code 0
}

# resize_to WIDTH HEIGHT: the main window takes that size (no window manager keeps it from any).
resize_to() {
    say "resize to $1x$2"
    xdotool windowsize "$MAIN" "$1" "$2"
    wait_until 10 "the window to be $1x$2" window_size_is "$1" "$2"
}

window_size_is() { geometry "$MAIN" && [ "$GW" = "$1" ] && [ "$GH" = "$2" ]; }

flow_resizing_keeps_the_picture_in_the_middle_unstretched() {
    start_on_demo
    local w0=$WINDOW_W h0=$WINDOW_H size
    open_model "$(model Demo_Ship.alo)" "${SHIP_ROWS[@]}"
    select_rows 5 "$(ones 5)"
    wait_picture 20 "a steady picture of the ship" start steady
    START_PICTURE=$PICTURE
    # Other shapes than the first: a picture stretched to them, or drawn off the middle, would
    # show in the model's box; down to a drawing area 60 pixels wide.
    for size in 1200x560 560x700 900x300 420x360 260x120; do
        resize_to "${size%x*}" "${size#*x}"
        wait_picture 20 "the ship in the middle, not stretched, at $size" "size_$size" placed_as_at_start
    done
    # Down to nothing left of the drawing area; the program stays up, and the picture comes back.
    # A key copies a row of the list only once the program has taken the size before it (X
    # delivers both in order): it is then up and answering.
    for size in 200x60 120x40 1x1; do
        resize_to "${size%x*}" "${size#*x}"
        wait_until 10 "the program to answer at $size" read_rows
    done
    resize_to 700 500
    wait_picture 20 "the ship in the middle, not stretched, after the smallest sizes" back placed_as_at_start
    resize_to "$w0" "$h0"
    wait_picture 20 "the start picture at the start size" start_size_again same_as "$START_PICTURE"
    # Hidden (as a minimised window is) and shown again: drawn as before, the selection kept.
    xdotool windowunmap --sync "$MAIN"
    expect_running "hidden"
    xdotool windowmap --sync "$MAIN"
    wait_picture 20 "the start picture after the window came back" shown_again same_as "$START_PICTURE"
    wait_until 10 "the selection after all that" selection_is 5 "$(ones 5)"
    exit_by_menu
}


# status_reads TEXT: the status line under the drawing area, copied from it, reads TEXT. The mesh
# list, before it in the keyboard's order, has the keys again after.
status_reads() {
    geometry "$MAIN" || return 1
    xdotool mousemove $((GX + 40)) $((GY + GH - STATUS_H / 2)) click 1
    COPY_SECONDS=2 copy ctrl+a ctrl+c
    local copied=$?
    keys shift+Tab
    [ $copied = 0 ] && [ "$CLIP" = "$1" ]
}

expect_status() { wait_until 10 "the status line to read \"$1\" (it read \"${CLIP:-}\")" status_reads "$1"; }

# The open dialog first shows the data folder's models, then the folder last chosen in it: a bare
# name opens from there. The status line names the shown model, counts its meshes and triangles
# and what of its effects and textures the data folder lacks: none in the demo folder; in a folder
# of the models and loose textures alone, which a model given alone starts on, the effects and the
# textures that only the archives hold.
flow_open_dialog_starts_in_the_models_folder_and_the_status_line_tells_what_a_model_lacks() {
    start_on_demo
    open_file Demo_Ship.alo
    wait_until 10 "the ship's meshes" rows_are "${SHIP_ROWS[@]}"
    expect_status "Demo_Ship.alo: 5 meshes, 60 triangles; effects missing: 0 of 5, textures missing: 0 of 3"
    open_file "$DEMO/Data/Patch.meg"
    expect_picker 'DATA\ART\MODELS\DEMO_ODDITIES.ALO'
    keys Return
    picked "${ODDITIES_ROWS[@]}"
    expect_status 'Patch.meg:DATA\ART\MODELS\DEMO_ODDITIES.ALO: 3 meshes, 24 triangles; effects missing: 0 of 2, textures missing: 0 of 1'
    open_file Art.meg
    expect_picker "${PICKER_ROWS[@]}"
    keys Escape
    exit_by_menu

    local bare="$FLOW_DIR/bare"
    mkdir -p "$bare/Data/Art"
    cp -r "$DEMO/Data/Art/Models" "$DEMO/Data/Art/Textures" "$bare/Data/Art/"
    printf '<?xml version="1.0"?>\n<Mega_Files>\n</Mega_Files>\n' >"$bare/Data/MegaFiles.xml"
    start_kestrin "$bare/Data/Art/Models/Demo_Ship.alo"
    wait_main_window
    wait_until 10 "the ship's meshes" rows_are "${SHIP_ROWS[@]}"
    expect_status "Demo_Ship.alo: 5 meshes, 60 triangles; effects missing: 5 of 5, textures missing: 2 of 3"
    exit_by_menu
}

# picker_list: the list of "Select a file", not its filter box, takes the keys.
picker_list() {
    give_keyboard "$PICKER"
    keys Tab
}

# "Select a file" narrows its list to the entries that contain what is typed, in any case, in the
# list or in the filter box above it; Return there picks the one entry left, or the selected one.
flow_select_a_file_narrows_to_what_is_typed() {
    local models="$DEMO/Data/Art/Models" units="$FLOW_DIR/Units.meg"
    "$KESTRIN_E2E_ARCHIVE" "$units" 'DATA\ART\MODELS\EV_STAR_DESTROYER.ALO' "$models/Demo_Ship.alo" \
        'DATA\ART\MODELS\RV_STARBASE.ALO' "$models/Demo_Ship.alo" 'DATA\ART\MODELS\EV_TIE.ALO' "$models/Demo_Oddities.alo" \
        'DATA\ART\MODELS\PLANET_KUAT.ALO' "$models/Demo_Oddities.alo" || fail "no archive written"
    local all=('DATA\ART\MODELS\EV_STAR_DESTROYER.ALO' 'DATA\ART\MODELS\EV_TIE.ALO' 'DATA\ART\MODELS\PLANET_KUAT.ALO'
        'DATA\ART\MODELS\RV_STARBASE.ALO')
    start_on_demo
    open_file "$units"
    expect_picker "${all[@]}"
    xdotool type --delay 20 Star
    shoot_picker filtered
    picker_list
    wait_until 10 "the entries with \"star\"" rows_are 'DATA\ART\MODELS\EV_STAR_DESTROYER.ALO' 'DATA\ART\MODELS\RV_STARBASE.ALO'
    xdotool type --delay 20 BASE
    keys Return
    picked "${SHIP_ROWS[@]}"

    open_file "$units"
    expect_picker "${all[@]}"
    xdotool type --delay 20 ev_
    keys Down Down Return
    picked "${ODDITIES_ROWS[@]}"

    # Nothing left: Return picks nothing; emptied, the box gives every entry back.
    open_file "$units"
    expect_picker "${all[@]}"
    xdotool type --delay 20 xyz
    keys Return
    find_window "Select a file" DIALOG || fail "Return with no entry left closed the picker"
    keys ctrl+a BackSpace
    picker_list
    wait_until 10 "every entry again" rows_are "${all[@]}"
    keys Escape
    wait_no_window "Select a file"
    exit_by_menu
}

shoot_picker() { import -window "$PICKER" "$FLOW_DIR/picker-$1.png" 2>/dev/null; }

e2e_main "$@"
