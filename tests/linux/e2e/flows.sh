# The end-to-end flows of the Linux viewer (sourced by e2e.sh). Each starts kestrin one or more
# times, drives it and ends it itself; every start is checked to end with exit code 0. A message
# box nobody expects keeps the program up, so it fails the flow at its next wait.

E2E_FLOWS=(
    loose_model_lists_meshes_and_draws_the_selected_ones
    mouse_orbits_pans_and_zooms_the_picture
    archive_entry_is_picked_in_select_a_file
    file_that_is_no_model_is_reported_and_the_viewer_goes_on
    wrong_data_folder_prompts_and_cancel_ends_quietly
    data_folder_comes_from_a_wine_prefix
    about_box_from_f1_and_the_help_menu
    resizing_keeps_the_picture_in_the_middle_unstretched
    file_exit_and_closing_the_window_end_the_program
)

ODDITIES_ROWS=("<unnamed>" NoMaterial NoGeometry)
SHIP_ROWS=(Hull Bow EngineLeft EngineRight Bridge)
ABOUT_TEXT=$'Kestrin\nA viewer for Alamo models, by the Kestrin developers'
FOLDER_PROMPT="Please select the GameData folder in the Star Wars Empire at War installation directory."
CANNOT_OPEN="Unable to open the specified model"
PICKER_ROWS=('DATA\ART\MODELS\DEMO_PLANET.ALO' 'DATA\ART\MODELS\DEMO_SHIP.ALO')

oddities() { echo "$DEMO/Data/Art/Models/Demo_Oddities.alo"; }
ship() { echo "$DEMO/Data/Art/Models/Demo_Ship.alo"; }
art_meg() { echo "$DEMO/Data/Art.meg"; }

# Starts on the demo data and waits for the main window with an empty list and a black picture.
start_on_demo() {
    start_kestrin "$DEMO"
    wait_main_window
    expect_list_empty "at start"
}

# The mesh list shows no row: nothing but its empty colour inside its frame.
expect_list_empty() {
    local file="$FLOW_DIR/empty-list.png" marks
    shoot_window "$file"
    marks=$(convert "$file" -crop "$((LIST_WIDTH - 8))x$((WINDOW_H - AREA_TOP - 8))+4+$((AREA_TOP + 4))" +repage \
        -fuzz 3% -fill white -opaque "rgb(${BASE// /,})" -negate -colorspace gray -threshold 3% \
        -format '%[fx:round(mean*w*h)]' info: 2>/dev/null)
    [ "$marks" = 0 ] || fail "the mesh list $1 is not empty ($marks pixels of rows): $file"
}

expect_rows() {
    read_rows
    expect_eq "mesh list $1" "$(joined "${@:2}")" "$(joined "${ROWS[@]}")"
}

# open_model PATH ROWS...: File > Open of a loose model; the list must then show ROWS, none
# selected, and the drawing area nothing.
open_model() {
    local path=$1
    shift
    open_file "$path"
    wait_keyboard
    wait_until 10 "the mesh list to have the keyboard" list_has_keyboard
    expect_rows "after opening ${path##*/}" "$@"
    expect_none_selected $#
}

expect_none_selected() {
    if [ -n "${ROW_HEIGHT:-}" ]; then
        wait_until 10 "no row selected" selection_is "$1" "$(zeros "$1")"
    else
        # Before the first row was ever selected: no row is highlighted anywhere in the list.
        local file="$FLOW_DIR/unselected.png" runs
        shoot_window "$file"
        runs=$(list_runs "$file")
        [ -z "$runs" ] || fail "a row of the list is highlighted (from the list's top: ${runs//$'\n'/, })"
    fi
    wait_picture 20 "a black picture while nothing is selected" "unselected$SHOT" black
}

ones() {
    local n out=()
    for ((n = 0; n < $1; n++)); do out+=(1); done
    joined "${out[@]}"
}

zeros() {
    local n out=()
    for ((n = 0; n < $1; n++)); do out+=(0); done
    joined "${out[@]}"
}

# Ends the program through File > Exit; exit code 0.
exit_by_menu() {
    menu alt+f e
    expect_exit_code 0
}

# expect_box TITLE TEXT: a message box of that title is up, its text is TEXT.
expect_box() {
    wait_window "$1" 20 DIALOG
    local box=$WIN
    keep_shot "$box" "box-$1"
    read_box "$box"
    expect_eq "title of the box" "$1" "$BOX_TITLE"
    expect_eq "text of the box \"$1\"" "$2" "$BOX_TEXT"
    expect_eq "buttons of the box \"$1\"" "OK" "$(echo $BOX_BUTTONS)"
    say "box \"$1\": ${2//$'\n'/ / }"
    WIN=$box
}

# dismiss TITLE: Return on the box in WIN, which must then go.
dismiss() {
    give_keyboard "$WIN"
    keys Return
    wait_no_window "$1"
}

# ---------------------------------------------------------------------------------------------

flow_loose_model_lists_meshes_and_draws_the_selected_ones() {
    start_on_demo
    open_model "$(oddities)" "${ODDITIES_ROWS[@]}"

    set_selection 3 "$(ones 3)"
    wait_picture 20 "the model drawn with every mesh selected" all_selected drawn
    local all=$PICTURE
    # One row off: the picture changes (the first row holds the model's visible geometry).
    set_selection 3 "0|1|1"
    wait_picture 20 "a different picture with the first mesh off" first_off differs "$all"
    set_selection 3 "1|0|0"
    wait_picture 20 "the first mesh alone drawn" first_only drawn
    set_selection 3 "0|0|0"
    wait_picture 20 "a black picture once nothing is selected again" none_selected black

    # Another model replaces the list, and draws nothing until rows are selected.
    set_selection 3 "$(ones 3)"
    wait_picture 20 "the model drawn again" reselected same_as "$all"
    open_model "$(ship)" "${SHIP_ROWS[@]}"
    set_selection 5 "$(ones 5)"
    wait_picture 20 "the ship drawn" ship_all drawn
    local ship_all=$PICTURE
    # Each mesh of the ship shows: turning the rows off one by one changes the picture each time,
    # down to nothing; all on again gives the whole ship back.
    local i previous=$ship_all off=(1 1 1 1 1)
    for i in 0 1 2 3 4; do
        off[i]=0
        set_selection 5 "$(joined "${off[@]}")"
        wait_picture 20 "the picture without ${SHIP_ROWS[i]} as well" "ship_off_to_$i" differs "$previous"
        previous=$PICTURE
    done
    check "nothing drawn with every row off" black "$previous"
    set_selection 5 "$(ones 5)"
    wait_picture 20 "the whole ship again" ship_again same_as "$ship_all"

    exit_by_menu
}

# drag_to X Y: the pointer moves there from where it is, in four steps, as a hand would.
drag_to() {
    local step
    for step in 1 2 3 4; do
        xdotool mousemove $((POINTER[0] + ($1 - POINTER[0]) * step / 4)) $((POINTER[1] + ($2 - POINTER[1]) * step / 4))
    done
    POINTER=("$1" "$2")
}

press() {
    POINTER=("$2" "$3")
    xdotool mousemove "$2" "$3" mousedown "$1"
}

# lit_middle FILE: the middle of the lit part of a picture, "X Y".
lit_middle() {
    lit_box "$1" | awk '{ print $3 + $1 / 2, $4 + $2 / 2 }'
}

# moved BASE SX SY FILE: from BASE to FILE the model went at least 10 pixels right (SX 1) or left
# (SX -1), and down (SY 1) or up (SY -1).
moved() {
    local base=$1 sx=$2 sy=$3 file=$4 x0 y0 x1 y1
    read -r x0 y0 <<<"$(lit_middle "$base")"
    read -r x1 y1 <<<"$(lit_middle "$file")"
    [ -n "$x1" ] && [ -n "$x0" ] || return 1
    awk -v x0="$x0" -v y0="$y0" -v x1="$x1" -v y1="$y1" -v sx="$sx" -v sy="$sy" \
        'BEGIN { exit !((x1 - x0) * sx >= 10 && (y1 - y0) * sy >= 10) }'
}

flow_mouse_orbits_pans_and_zooms_the_picture() {
    start_on_demo
    open_model "$(ship)" "${SHIP_ROWS[@]}"
    set_selection 5 "$(ones 5)"
    wait_picture 20 "a steady picture of the ship" start steady
    local start=$PICTURE
    geometry "$MAIN"
    local left=$((GX + AREA_LEFT)) middleX=$((GX + (AREA_LEFT + WINDOW_W) / 2)) middleY=$((GY + (AREA_TOP + WINDOW_H) / 2))

    # Orbit with the right button. Every step comes from the press, so going back to the press
    # point gives the start picture again; at half a degree a pixel, so does a whole turn of 720
    # pixels to the right.
    press 3 $((left + 20)) "$middleY"
    drag_to $((left + 140)) $((middleY + 60))
    wait_picture 20 "the picture to turn" orbit differs "$start"
    drag_to $((left + 20)) "$middleY"
    wait_picture 20 "the start picture back at the press point" orbit_back same_as "$start"
    drag_to $((left + 380)) "$middleY"
    wait_picture 20 "the picture half way round" half_turn differs "$start"
    drag_to $((left + 740)) "$middleY"
    wait_picture 20 "the start picture after a whole turn" whole_turn same_as "$start"
    xdotool mouseup 3
    # The button is up: moving the pointer turns nothing any more.
    xdotool mousemove $((left + 300)) $((middleY + 100))
    wait_picture 20 "the picture unchanged by a move without a button" after_orbit steady
    check "the picture after the orbit ended is the start picture" same_as "$start" "$PICTURE"

    # Pan with the left button: the model follows the pointer, and comes back with it.
    press 1 "$middleX" "$middleY"
    drag_to $((middleX - 90)) $((middleY + 70))
    wait_picture 20 "the model to follow the pointer left and down" pan moved "$start" -1 1
    drag_to $((middleX + 90)) $((middleY - 70))
    wait_picture 20 "the model to follow the pointer right and up" pan_up moved "$start" 1 -1
    drag_to "$middleX" "$middleY"
    wait_picture 20 "the start picture back at the press point" pan_back same_as "$start"
    xdotool mouseup 1

    # The wheel over the drawing area: away from the user comes closer, and back goes away.
    xdotool click 4
    wait_picture 20 "a bigger picture after a wheel turn away" zoomed_in bigger_than "$start"
    local closer=$PICTURE
    xdotool click 5
    xdotool click 5
    wait_picture 20 "a smaller picture after two turns back" zoomed_out smaller_than "$closer"
    wait_picture 20 "the picture steady after the wheel" zoomed_out_steady steady
    check "two turns back go further than the start" smaller_than "$start" "$PICTURE"

    exit_by_menu
}

# expect_picker ROWS...: the "Select a file" picker is up with these entries, in this order; PICKER
# is its window.
expect_picker() {
    wait_window "Select a file" 30 DIALOG
    PICKER=$WIN
    give_keyboard "$PICKER"
    read_rows
    expect_eq "entries of \"Select a file\"" "$(joined "$@")" "$(joined "${ROWS[@]}")"
}

# picker_row_point N: X Y on the screen, the middle of row N of the picker's list. The row under
# the keyboard's cursor is selected in this list: Home selects the first, which shows where the
# rows are.
picker_row_point() {
    keys Home
    wait_until 10 "the picker's first row to be selected" picker_rows_measured
    X=$((PICKER_ROW_X)) Y=$((PICKER_ROW_Y + $1 * PICKER_ROW_H))
}

picker_rows_measured() {
    local file="$FLOW_DIR/picker.png"
    geometry "$PICKER" || return 1
    import -window "$PICKER" "$file" 2>/dev/null || return 1
    # Down the middle of the window: the first run of the selection's colour (as in the mesh list).
    local top height
    read -r top height < <(highlight_runs "$file" "1x${GH}+$((GW / 2))+0")
    [ -n "${top:-}" ] || return 1
    [ "$height" -ge 8 ] && [ "$height" -le 60 ] || return 1
    PICKER_ROW_X=$((GX + GW / 2)) PICKER_ROW_Y=$((GY + top + height / 2)) PICKER_ROW_H=$height
}

flow_archive_entry_is_picked_in_select_a_file() {
    start_on_demo

    # Only the archive's models are offered, sorted; Escape picks nothing.
    open_file "$(art_meg)"
    expect_picker "${PICKER_ROWS[@]}"
    keys Escape
    wait_no_window "Select a file"
    expect_list_empty "after the picker was cancelled"
    wait_picture 20 "nothing drawn after the picker was cancelled" cancelled black

    # A double-click picks an entry.
    open_file "$(art_meg)"
    expect_picker "${PICKER_ROWS[@]}"
    picker_row_point 1
    xdotool mousemove "$X" "$Y" click --repeat 2 --delay 80 1
    wait_no_window "Select a file"
    wait_keyboard
    wait_until 10 "the mesh list to have the keyboard" list_has_keyboard
    expect_rows "after the ship was picked" "${SHIP_ROWS[@]}"
    set_selection 5 "$(ones 5)"
    wait_picture 20 "the ship from the archive drawn" archive_ship drawn
    local ship=$PICTURE

    # So does the row under the cursor with Return; the list refills with the other model.
    open_file "$(art_meg)"
    expect_picker "${PICKER_ROWS[@]}"
    keys Home Return
    wait_no_window "Select a file"
    wait_keyboard
    wait_until 10 "the mesh list to have the keyboard" list_has_keyboard
    expect_rows "after the planet was picked" Globe
    wait_picture 20 "nothing drawn before the planet's mesh is selected" planet_unselected black
    set_selection 1 1
    wait_picture 20 "the planet from the archive drawn" archive_planet differs "$ship"
    check "the planet drawn" drawn "$PICTURE"

    # An archive a modding tool wrote, with names in mixed case: only the entries whose extension
    # is ALO in any case are offered, sorted as Windows sorts them, ignoring case, whatever their
    # order in the archive; each row opens its own entry.
    local models="$DEMO/Data/Art/Models" mixed="$FLOW_DIR/Mixed.meg"
    "$KESTRIN_E2E_ARCHIVE" "$mixed" \
        'DATA\ART\MODELS\Zeta_Ship.alo' "$models/Demo_Ship.alo" \
        'data\art\models\alpha.ALO' "$models/Demo_Oddities.alo" \
        'DATA\ART\MODELS\BETA_SHIP.ALO' "$models/Demo_Ship.alo" \
        'Data\Art\Models\Readme.txt' "$DEMO/Data/MegaFiles.xml" \
        'DATA\ART\MODELS\NOEXTENSION' "$models/Demo_Ship.alo" \
        'data\art\models\gamma.alo.bak' "$models/Demo_Ship.alo" \
        'Data\Art\Models\delta.Alo' "$models/Demo_Oddities.alo" || fail "the mixed archive was not written"
    local sorted=('data\art\models\alpha.ALO' 'DATA\ART\MODELS\BETA_SHIP.ALO' 'Data\Art\Models\delta.Alo'
        'DATA\ART\MODELS\Zeta_Ship.alo')
    open_file "$mixed"
    expect_picker "${sorted[@]}"
    picker_row_point 1
    xdotool mousemove "$X" "$Y" click --repeat 2 --delay 80 1
    wait_no_window "Select a file"
    wait_keyboard
    wait_until 10 "the mesh list to have the keyboard" list_has_keyboard
    expect_rows "after BETA_SHIP.ALO was picked" "${SHIP_ROWS[@]}"
    open_file "$mixed"
    expect_picker "${sorted[@]}"
    keys Home Down Down Return
    wait_no_window "Select a file"
    wait_keyboard
    wait_until 10 "the mesh list to have the keyboard" list_has_keyboard
    expect_rows "after delta.Alo was picked" "${ODDITIES_ROWS[@]}"

    exit_by_menu
}

flow_file_that_is_no_model_is_reported_and_the_viewer_goes_on() {
    # Five bytes: not even a whole chunk header. And a model cut short in the middle of a mesh, as
    # an interrupted copy leaves it.
    printf '\x01\x02\x03\xfe\xff' >"$FLOW_DIR/broken.alo"
    head -c 1000 "$(ship)" >"$FLOW_DIR/Cut_Short.alo"
    start_on_demo
    open_model "$(oddities)" "${ODDITIES_ROWS[@]}"
    set_selection 3 "$(ones 3)"
    wait_picture 20 "the model drawn" before steady
    local before=$PICTURE

    local file
    for file in "$FLOW_DIR/broken.alo" "$FLOW_DIR/Cut_Short.alo"; do
        open_file "$file"
        expect_box Error "$CANNOT_OPEN"
        dismiss Error
        expect_running "after the box for ${file##*/}"

        # The model shown before stays, with its selection and its picture.
        wait_keyboard
        read_selection 3
        expect_eq "selection after ${file##*/}" "$(ones 3)" "$(joined "${SELECTED[@]}")"
        wait_until 10 "the mesh list to have the keyboard" list_has_keyboard
        expect_rows "after ${file##*/}" "${ODDITIES_ROWS[@]}"
        wait_picture 20 "the model still drawn" "after_${file##*/}" same_as "$before"
    done

    # And the viewer still opens models.
    open_model "$(ship)" "${SHIP_ROWS[@]}"
    exit_by_menu
}

flow_wrong_data_folder_prompts_and_cancel_ends_quietly() {
    # A folder that exists but holds no Data/MegaFiles.xml, then one that does not exist.
    mkdir -p "$FLOW_DIR/nodata/Data"
    local folder
    for folder in "$FLOW_DIR/nodata" "$DEMO/Missing"; do
        start_kestrin "$folder"
        wait_window "$FOLDER_PROMPT" 30 DIALOG
        local prompt=$WIN
        keep_shot "$prompt" folder-prompt
        no_window Kestrin NORMAL || fail "the main window is shown while the folder is asked for"
        give_keyboard "$prompt"
        if [ "$folder" = "$FLOW_DIR/nodata" ]; then
            # Chosen at once: the prompt shows the folder that was tried and offers no other name,
            # so that folder is the choice; still without the game's files, it is asked for again.
            keys Return
            wait_until 10 "the folder prompt to come again, alone" prompt_again "$prompt"
            say "the folder prompt came again ($WIN)"
            prompt=$WIN
            give_keyboard "$prompt"
        fi
        keys Escape
        expect_exit_code 0
    done

    # A folder chosen in the prompt is taken: the viewer starts on it.
    start_kestrin "$FLOW_DIR/nodata"
    wait_window "$FOLDER_PROMPT" 30 DIALOG
    give_keyboard "$WIN"
    xdotool type --delay 10 "$DEMO"
    wait_until 10 "the folder box to read the path" name_box_reads "$DEMO"
    keys Return
    wait_main_window
    no_window "$FOLDER_PROMPT" || fail "the folder prompt is still up with the main window"
    open_model "$(ship)" "${SHIP_ROWS[@]}"
    exit_by_menu
}

# prompt_again OLD: the one window titled as the folder prompt is another one than OLD (in WIN).
prompt_again() {
    local ids
    ids=($(xdotool search --onlyvisible --name "$(exactly "$FOLDER_PROMPT")" 2>/dev/null))
    [ ${#ids[@]} -eq 1 ] && [ "${ids[0]}" != "$1" ] && WIN=${ids[0]}
}

# A Wine prefix as Wine makes one, in a home of its own: drive C: through dosdevices, and
# system.reg with KEY's ExePath, when KEY is given.
make_prefix() {
    local home=$1 exe=${2:-} key=${3:-}
    rm -rf "$home"
    mkdir -p "$home/.wine/dosdevices" "$home/.wine/drive_c/windows"
    ln -s ../drive_c "$home/.wine/dosdevices/c:"
    {
        # As Wine writes it: backslashes in key names and values doubled.
        echo 'WINE REGISTRY Version 2'
        echo ';; All keys relative to \\Machine'
        echo
        echo '#arch=win64'
        echo
        echo '[Software\\Microsoft\\Windows\\CurrentVersion] 1700000000'
        echo '"ProgramFilesDir"="C:\\Program Files"'
        echo
        if [ -n "$key" ]; then
            echo "[${key//\\/\\\\}] 1700000000"
            echo '#time=1d9a0b0c0d0e0f0'
            echo "\"ExePath\"=\"${exe//\\/\\\\}\""
            echo '"Installed"=dword:00000001'
            echo
        fi
    } >"$home/.wine/system.reg"
}

# start_in_home HOME: the viewer with no folder on the command line, HOME as given.
start_in_home() {
    KRUN=$((KRUN + 1))
    KERR="$FLOW_DIR/kestrin$KRUN.err"
    say "start kestrin with HOME=$1"
    (cd "$FLOW_DIR" && HOME="$1" exec "$KESTRIN_E2E_EXE") </dev/null >"$FLOW_DIR/kestrin$KRUN.out" 2>"$KERR" &
    KPID=$!
    MAIN=""
}

flow_data_folder_comes_from_a_wine_prefix() {
    local home="$FLOW_DIR/winehome" game
    # The registry's ExePath, spelled in other cases than the folders (Windows ignores case), in
    # the 32-bit view of a 64-bit prefix, where the game's installer writes it.
    make_prefix "$home" 'C:\GAMES\lucasarts\Empire At War\GameData\sweaw.exe' \
        'Software\Wow6432Node\LucasArts\Star Wars Empire at War\1.0'
    game="$home/.wine/drive_c/Games/LucasArts/Empire at War/GameData"
    mkdir -p "$(dirname "$game")"
    "$KESTRIN_E2E_DEMODATA" "$game" >/dev/null || fail "no demo data in the prefix"
    start_in_home "$home"
    wait_main_window
    open_model "$game/Data/Art/Models/Demo_Ship.alo" "${SHIP_ROWS[@]}"
    set_selection 5 "$(ones 5)"
    wait_picture 20 "the ship drawn, from the registry's folder" registry_ship steady
    exit_by_menu

    # Nothing in the registry: the default folder under Program Files of that prefix.
    make_prefix "$home"
    game="$home/.wine/drive_c/Program Files/LucasArts/Star Wars Empire at War/GameData"
    mkdir -p "$(dirname "$game")"
    "$KESTRIN_E2E_DEMODATA" "$game" >/dev/null || fail "no demo data in the prefix"
    start_in_home "$home"
    wait_main_window
    open_model "$game/Data/Art/Models/Demo_Oddities.alo" "${ODDITIES_ROWS[@]}"
    exit_by_menu

    # An ExePath whose folder is gone, and no game under Program Files: the folder prompt.
    make_prefix "$home" 'C:\Games\Gone\sweaw.exe' 'Software\LucasArts\Star Wars Empire at War\1.0'
    start_in_home "$home"
    wait_window "$FOLDER_PROMPT" 30 DIALOG
    give_keyboard "$WIN"
    keys Escape
    expect_exit_code 0
}

flow_about_box_from_f1_and_the_help_menu() {
    start_on_demo
    keys F1
    expect_box About "$ABOUT_TEXT"
    dismiss About
    expect_running "after the About box from F1"

    menu alt+h a
    expect_box About "$ABOUT_TEXT"
    dismiss About
    expect_running "after the About box from the menu"

    # F1 reaches the program wherever the focus is: here in the drawing area, after a click there.
    open_model "$(oddities)" "${ODDITIES_ROWS[@]}"
    set_selection 3 "$(ones 3)"
    wait_picture 20 "the model drawn" before_click steady
    local before=$PICTURE
    geometry "$MAIN"
    wait_keyboard
    click_at $((GX + (AREA_LEFT + WINDOW_W) / 2)) $((GY + (AREA_TOP + WINDOW_H) / 2))
    keys F1
    expect_box About "$ABOUT_TEXT"
    dismiss About
    # A click is no drag: the picture is as it was.
    wait_picture 20 "the picture unchanged by the click" after_click same_as "$before"

    exit_by_menu
}

window_size_is() {
    geometry "$MAIN" && [ "$GW" = "$1" ] && [ "$GH" = "$2" ]
}

# resize_to WIDTH HEIGHT: the main window takes that size (no window manager keeps it from any).
resize_to() {
    say "resize to $1x$2"
    xdotool windowsize "$MAIN" "$1" "$2"
    wait_until 10 "the window to be $1x$2" window_size_is "$1" "$2"
}

flow_resizing_keeps_the_picture_in_the_middle_unstretched() {
    start_on_demo
    local w0=$WINDOW_W h0=$WINDOW_H
    open_model "$(ship)" "${SHIP_ROWS[@]}"
    set_selection 5 "$(ones 5)"
    wait_picture 20 "a steady picture of the ship" start steady
    START_PICTURE=$PICTURE

    # Other shapes than the first: a picture stretched to them, or drawn off the middle, would
    # show in the model's box.
    local size
    for size in 1200x560 560x700 900x300 420x360; do
        resize_to "${size%x*}" "${size#*x}"
        wait_picture 20 "the ship in the middle, not stretched, at $size" "size_$size" placed_as_at_start
    done

    # Very small, down to nothing left of the drawing area; the program stays up, and the picture
    # comes back as it was. A key copies a row of the list only once the program has taken the
    # size before it (X delivers both in order): it is then up and answering.
    resize_to 260 120
    wait_picture 20 "the ship in the middle, not stretched, in a drawing area 60 pixels wide" size_260x120 placed_as_at_start
    for size in 200x60 120x40 1x1; do
        resize_to "${size%x*}" "${size#*x}"
        wait_until 10 "the program to answer at $size" list_has_keyboard
    done
    resize_to 700 500
    wait_picture 20 "the ship in the middle, not stretched, after the smallest sizes" back placed_as_at_start
    resize_to "$w0" "$h0"
    wait_picture 20 "the start picture at the start size" start_size_again same_as "$START_PICTURE"

    # Hidden (as a minimised window is) and shown again: drawn as before.
    xdotool windowunmap --sync "$MAIN"
    expect_running "hidden"
    xdotool windowmap --sync "$MAIN"
    wait_picture 20 "the start picture after the window came back" shown_again same_as "$START_PICTURE"
    read_selection 5
    expect_eq "selection after all that" "$(ones 5)" "$(joined "${SELECTED[@]}")"

    exit_by_menu
}

# close_main_window: the close box, as a window manager reports it.
close_main_window() {
    say "close the main window"
    "$KESTRIN_E2E_CLOSE" "$MAIN" || fail "the close message could not be sent"
}

flow_file_exit_and_closing_the_window_end_the_program() {
    start_on_demo
    exit_by_menu

    start_on_demo
    open_model "$(oddities)" "${ODDITIES_ROWS[@]}"
    set_selection 3 "$(ones 3)"
    wait_picture 20 "the model drawn" drawn drawn
    close_main_window
    expect_exit_code 0

    # Closed with nothing opened.
    start_on_demo
    close_main_window
    expect_exit_code 0
}
