# The end-to-end flows (sourced by e2e.sh). Each starts kestrin.exe one or more times, drives it
# and ends it itself; every start is checked to end with exit code 0 and only the message boxes
# the flow expects (an error report would be one more).

E2E_FLOWS=(
    loose_model_lists_meshes_and_draws_the_selected_ones
    mouse_orbits_pans_and_zooms_the_picture
    archive_entry_is_picked_in_select_a_file
    broken_model_is_reported_and_the_viewer_goes_on
    wrong_data_folder_prompts_and_cancel_ends_quietly
    data_folder_comes_from_the_registry_then_program_files
    about_box_from_f1_and_the_help_menu
    resizing_and_minimising_keep_the_picture
    file_exit_and_the_close_box_end_the_program
)

ODDITIES_ROWS=("<unnamed>" NoMaterial NoGeometry)
SHIP_ROWS=(Hull Bow EngineLeft EngineRight Bridge)
ABOUT_TEXT=$'Kestrin\nA viewer for Alamo models, by the Kestrin developers'
FOLDER_PROMPT="Please select the GameData folder in the Star Wars Empire at War installation directory."
CANNOT_OPEN="Unable to open the specified model"

oddities() { echo "$DEMO_WIN\\Data\\Art\\Models\\Demo_Oddities.alo"; }
ship() { echo "$DEMO_WIN\\Data\\Art\\Models\\Demo_Ship.alo"; }
art_meg() { echo "$DEMO_WIN\\Data\\Art.meg"; }

# Starts on the demo data and waits for the main window with an empty list.
start_on_demo() {
    start_kestrin "$DEMO_WIN"
    wait_main_window
    read_rows "$LIST"
    expect_eq "mesh list at start" 0 "${#ROWS[@]}"
}

# open_model PATH ROWS...: File > Open of a loose model; the list must then show ROWS, none
# selected.
open_model() {
    local path=$1
    shift
    open_file "$path"
    wait_until 10 "the mesh list [$(joined "$@")]" rows_are "$LIST" "$@"
    local none=()
    local row
    for row in "$@"; do none+=(0); done
    expect_eq "selection after opening" "$(joined "${none[@]}")" "$(joined "${SELECTED[@]}")"
}

all_ones() {
    local ones=() row
    for row in "${ROWS[@]}"; do ones+=(1); done
    joined "${ones[@]}"
}

all_zeros() {
    local zeros=() row
    for row in "${ROWS[@]}"; do zeros+=(0); done
    joined "${zeros[@]}"
}

# Ends the program through File > Exit; exit code 0 and only the boxes named.
exit_by_menu() {
    menu alt+f e
    expect_exit_code 0
    expect_message_boxes "$@"
}

# The box in front has the keyboard: the active window of its thread, and the X input focus.
box_has_keyboard() {
    read_focus "$1" && [ "$ACTIVE" = "$1" ] && ask xwindow "$1" &&
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "${ANSWER[0]}" ]
}

# dismiss TITLE: Return on the box of that title, which must then go.
dismiss() {
    local box=$WIN
    wait_until 10 "\"$1\" to have the keyboard" box_has_keyboard "$box"
    keys Return
    wait_no_window "$1"
}

# expect_box TITLE TEXT: a message box of that title is up and its text is TEXT.
expect_box() {
    wait_window "$1"
    local box=$WIN
    child_by_id "$box" 65535 Static || fail "no text in the box \"$1\""
    expect_eq "text of the box \"$1\"" "$2" "$CHILD_TEXT"
    say "box \"$1\": ${2//$'\n'/ / }"
    WIN=$box
}

# ---------------------------------------------------------------------------------------------

flow_loose_model_lists_meshes_and_draws_the_selected_ones() {
    start_on_demo
    open_model "$(oddities)" "${ODDITIES_ROWS[@]}"
    wait_picture 10 "a black picture while nothing is selected" nothing_selected black

    toggle_rows "$(all_ones)"
    wait_picture 10 "the model drawn with every mesh selected" all_selected drawn
    toggle_rows "$(all_zeros)"
    wait_picture 10 "a black picture once nothing is selected again" none_selected black

    # Another model replaces the list, and draws nothing until rows are selected.
    toggle_rows "$(all_ones)"
    wait_picture 10 "the model drawn again" reselected drawn
    open_model "$(ship)" "${SHIP_ROWS[@]}"
    wait_picture 10 "a black picture after the next model came" next_model black
    toggle_rows "$(all_ones)"
    wait_picture 10 "the next model drawn" next_model_drawn drawn

    exit_by_menu
}

# press BUTTON X Y: the button goes down there, in the render window, which takes the pointer.
press() {
    POINTER=("$2" "$3")
    xdotool mousemove "$2" "$3" mousedown "$1"
    wait_until 5 "the render window to capture the pointer" capture_is "$RENDER"
}

# drag_to X Y: the pointer moves there from where it is, in four steps, as a hand would.
drag_to() {
    local step
    for step in 1 2 3 4; do
        xdotool mousemove $((POINTER[0] + ($1 - POINTER[0]) * step / 4)) $((POINTER[1] + ($2 - POINTER[1]) * step / 4))
    done
    POINTER=("$1" "$2")
}

release() {
    xdotool mouseup "$1"
    wait_until 5 "the drag to end" capture_is 0
}

# lit_middle FILE: the middle of the lit part of a picture, "X Y".
lit_middle() {
    convert "$1" -colorspace gray -threshold 3% -trim -format '%[fx:page.x+w/2] %[fx:page.y+h/2]' info: 2>/dev/null
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
    toggle_rows "$(all_ones)"
    wait_picture 10 "a steady picture of the ship" start steady
    local start=$PICTURE
    geometry "$RENDER"
    local left=${CLIENT[0]} middleX=$(((CLIENT[0] + CLIENT[2]) / 2)) middleY=$(((CLIENT[1] + CLIENT[3]) / 2))

    # Orbit with the right button. Every step comes from the press, so going back to the press
    # point gives the start picture again; at half a degree a pixel, so does a whole turn of 720
    # pixels to the right.
    press 3 $((left + 20)) "$middleY"
    drag_to $((left + 140)) $((middleY + 60))
    wait_picture 10 "the picture to turn" orbit differs "$start"
    drag_to $((left + 20)) "$middleY"
    wait_picture 10 "the start picture back at the press point" orbit_back same_as "$start"
    drag_to $((left + 380)) "$middleY"
    wait_picture 10 "the picture half way round" half_turn differs "$start"
    drag_to $((left + 740)) "$middleY"
    wait_picture 10 "the start picture after a whole turn" whole_turn same_as "$start"
    release 3

    # Pan with the left button: the model follows the pointer, and comes back with it.
    press 1 "$middleX" "$middleY"
    drag_to $((middleX - 90)) $((middleY + 70))
    wait_picture 10 "the model to follow the pointer left and down" pan moved "$start" -1 1
    drag_to "$middleX" "$middleY"
    wait_picture 10 "the start picture back at the press point" pan_back same_as "$start"
    release 1

    # The presses gave the render window the keyboard focus, which the wheel goes to. Away from
    # the user comes closer.
    xdotool click 4
    wait_picture 10 "a bigger picture after a wheel turn away" zoomed_in bigger_than "$start"
    local closer=$PICTURE
    xdotool click 5
    xdotool click 5
    wait_picture 10 "a smaller picture after two turns back" zoomed_out smaller_than "$closer"

    exit_by_menu
}

flow_archive_entry_is_picked_in_select_a_file() {
    start_on_demo
    local picker_rows=('DATA\ART\MODELS\DEMO_PLANET.ALO' 'DATA\ART\MODELS\DEMO_SHIP.ALO')

    # Only the archive's models are offered, sorted; Escape picks nothing.
    open_file "$(art_meg)"
    wait_window "Select a file"
    local picker=$WIN
    child_by_id "$picker" 1003 ListBox || fail "no list in \"Select a file\""
    local entries=$CHILD
    wait_until 5 "the archive's models in the picker" rows_are "$entries" "${picker_rows[@]}"
    wait_until 5 "the picker's list to have the keyboard" focus_is "$picker" "$entries"
    keys Escape
    wait_no_window "Select a file"
    read_rows "$LIST"
    expect_eq "mesh list after the picker was cancelled" 0 "${#ROWS[@]}"

    # A double-click picks an entry.
    open_file "$(art_meg)"
    wait_window "Select a file"
    picker=$WIN
    child_by_id "$picker" 1003 ListBox || fail "no list in \"Select a file\""
    entries=$CHILD
    wait_until 5 "the archive's models in the picker" rows_are "$entries" "${picker_rows[@]}"
    double_click_row "$entries" 1
    wait_no_window "Select a file"
    wait_until 10 "the ship's meshes" rows_are "$LIST" "${SHIP_ROWS[@]}"
    toggle_rows "$(all_ones)"
    wait_picture 10 "the ship from the archive drawn" archive_ship drawn

    # So does a row clicked and OK; the list refills with the other model.
    open_file "$(art_meg)"
    wait_window "Select a file"
    picker=$WIN
    child_by_id "$picker" 1003 ListBox || fail "no list in \"Select a file\""
    entries=$CHILD
    wait_until 5 "the archive's models in the picker" rows_are "$entries" "${picker_rows[@]}"
    click_row "$entries" 0
    wait_until 5 "the planet's row to be chosen" chosen_row "$entries" 0
    child_by_id "$picker" 1 Button || fail "no OK button in \"Select a file\""
    expect_eq "OK button" OK "$CHILD_TEXT"
    click_window "$CHILD"
    wait_no_window "Select a file"
    wait_until 10 "the planet's meshes" rows_are "$LIST" Globe
    toggle_rows 1
    wait_picture 10 "the planet from the archive drawn" archive_planet drawn

    exit_by_menu
}

chosen_row() {
    read_rows "$1" && [ "$CURSEL" = "$2" ]
}

flow_broken_model_is_reported_and_the_viewer_goes_on() {
    # Five bytes: not even a whole chunk header.
    printf '\x01\x02\x03\xfe\xff' >"$FLOW_DIR/broken.alo"
    start_on_demo
    open_model "$(oddities)" "${ODDITIES_ROWS[@]}"
    toggle_rows "$(all_ones)"
    wait_picture 10 "the model drawn" before drawn

    open_file "$(winpath "$FLOW_DIR/broken.alo")"
    expect_box Error "$CANNOT_OPEN"
    dismiss Error
    expect_running "after the broken model's box"

    # The model shown before stays, with its selection and its picture.
    read_rows "$LIST"
    expect_eq "mesh list after the broken model" "$(joined "${ODDITIES_ROWS[@]}")" "$(joined "${ROWS[@]}")"
    expect_eq "selection after the broken model" 1\|1\|1 "$(joined "${SELECTED[@]}")"
    wait_picture 10 "the model still drawn" after drawn

    # And the viewer still opens models.
    open_model "$(ship)" "${SHIP_ROWS[@]}"
    exit_by_menu "$CANNOT_OPEN"
}

flow_wrong_data_folder_prompts_and_cancel_ends_quietly() {
    # A folder that exists but holds no Data\MegaFiles.xml, then one that does not exist.
    local folder
    for folder in "$(winpath "$FLOW_DIR")" "$DEMO_WIN\\Missing"; do
        start_kestrin "$folder"
        wait_window "Browse for Folder" 60
        local prompt=$WIN
        child_by_id "$prompt" 14146 Static || fail "no title text in the folder prompt"
        expect_eq "folder prompt" "$FOLDER_PROMPT" "$CHILD_TEXT"
        no_window Kestrin || fail "the main window is shown while the folder is asked for"
        wait_until 10 "the folder prompt to have the keyboard" box_has_keyboard "$prompt"
        keys Escape
        expect_exit_code 0
        expect_message_boxes
    done
}

flow_data_folder_comes_from_the_registry_then_program_files() {
    # No folder given and none in the registry: the Program Files folder is shown, then the
    # default folder under it is tried, which is missing here, so the prompt comes.
    ask noexepath || fail "cannot remove ExePath"
    start_kestrin
    expect_box Error 'C:\Program Files'
    dismiss Error
    wait_window "Browse for Folder" 30
    wait_until 10 "the folder prompt to have the keyboard" box_has_keyboard "$WIN"
    keys Escape
    expect_exit_code 0
    expect_message_boxes 'C:\Program Files'

    # The game's ExePath names the demo folder: the viewer starts on it, no box, no prompt.
    ask exepath "$DEMO_WIN\\sweaw.exe" || fail "cannot set ExePath"
    start_kestrin
    wait_main_window
    read_message_boxes
    expect_eq "message boxes at start" "" "$(joined "${MESSAGE_BOXES[@]}")"
    open_model "$(oddities)" "${ODDITIES_ROWS[@]}"
    exit_by_menu
    ask noexepath || fail "cannot remove ExePath"
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

    # F1 reaches the program wherever the focus is: here in the render window.
    open_model "$(oddities)" "${ODDITIES_ROWS[@]}"
    geometry "$RENDER"
    click_at $(((CLIENT[0] + CLIENT[2]) / 2)) $(((CLIENT[1] + CLIENT[3]) / 2))
    wait_until 5 "the render window to take the focus" focus_is "$MAIN" "$RENDER"
    keys F1
    expect_box About "$ABOUT_TEXT"
    dismiss About

    exit_by_menu "$ABOUT_TEXT" "$ABOUT_TEXT" "$ABOUT_TEXT"
}

# The list takes a 200-pixel strip at the left, the render window the rest, both full height. In
# a client area narrower than the list, the render window is left with no width at all.
layout_follows() {
    geometry "$MAIN" || return 1
    local client=("${CLIENT[@]}")
    geometry "$LIST" || return 1
    local list=("${RECT[@]}")
    geometry "$RENDER" || return 1
    local render=("${RECT[@]}")
    local right=${client[2]}
    [ "$right" -lt $((client[0] + 200)) ] && right=$((client[0] + 200))
    [ "$(joined "${list[@]}")" = "$(joined "${client[0]}" "${client[1]}" $((client[0] + 200)) "${client[3]}")" ] &&
        [ "$(joined "${render[@]}")" = "$(joined $((client[0] + 200)) "${client[1]}" "$right" "${client[3]}")" ]
}

window_size_is() {
    geometry "$MAIN" && [ $((RECT[2] - RECT[0])) -eq "$1" ] && [ $((RECT[3] - RECT[1])) -eq "$2" ]
}

not_sizing() {
    read_focus "$MAIN" && [ "$MOVESIZE" = 0 ]
}

# resize_to WIDTH HEIGHT: drags the main window's bottom-right border in four steps, each waited for.
resize_to() {
    local width=$1 height=$2 step
    geometry "$MAIN"
    local left=${RECT[0]} top=${RECT[1]} w0=$((RECT[2] - RECT[0])) h0=$((RECT[3] - RECT[1]))
    say "resize ${w0}x${h0} to ${width}x${height}"
    xdotool mousemove $((left + w0 - 2)) $((top + h0 - 2)) mousedown 1
    for step in 1 2 3 4; do
        local w=$((w0 + (width - w0) * step / 4)) h=$((h0 + (height - h0) * step / 4))
        xdotool mousemove $((left + w - 2)) $((top + h - 2))
        wait_until 10 "the window to be ${w}x${h}" window_size_is "$w" "$h"
    done
    xdotool mouseup 1
    wait_until 10 "the sizing to end" not_sizing
    wait_until 10 "the children laid out for ${width}x${height}" layout_follows
}

iconic_is() {
    geometry "$MAIN" && [ "$ICONIC" = "$1" ]
}

# restored_to RECT: the main window is no longer minimised and is back in its place. The window
# stops being minimised before it is moved out of the icon's place, and the children are laid out
# after that, so each is awaited; reading them at once can catch the restore half done.
restored_to() {
    geometry "$MAIN" && [ "$ICONIC" = 0 ] && [ "$(joined "${RECT[@]}")" = "$1" ]
}

# The system menu by Alt+Space, then an item; the minimised window keeps the keyboard.
system_menu() {
    wait_until 10 "the main window to be active" active_is "$MAIN"
    keys alt+space
    wait_until 5 "the system menu" in_menu
    keys "$1"
}

active_is() {
    read_focus "$1" && [ "$ACTIVE" = "$1" ]
}

# redrawn_centered NAME: two fresh frames (the first row of the mesh list off, then on again);
# the model, which sits at the origin the camera looks at, must be in the middle of the area.
# Under Wine the first frame after a window shrinks can land lower in the off-screen window than
# it was drawn (Wine's drawable is resized after the frame); the next ones are in place.
redrawn_centered() {
    read_rows "$LIST"
    local on off
    on=$(joined "${SELECTED[@]}")
    SELECTED[0]=0
    off=$(joined "${SELECTED[@]}")
    click_row "$LIST" 0
    wait_until 5 "the first row off" selection_is "$LIST" "$off"
    click_row "$LIST" 0 40
    wait_until 5 "the first row on again" selection_is "$LIST" "$on"
    wait_picture 10 "the model drawn in the middle, not stretched ($1)" "$1" centered_unstretched
}

centered_unstretched() {
    centered "$1" && same_shape "$START_PICTURE" "$1"
}

flow_resizing_and_minimising_keep_the_picture() {
    start_on_demo
    open_model "$(oddities)" "${ODDITIES_ROWS[@]}"
    toggle_rows "$(all_ones)"
    wait_picture 10 "the model drawn in the middle" start centered
    START_PICTURE=$PICTURE
    check "layout at start" layout_follows

    # Sizes of other shapes than the first: a picture stretched to them would show.
    resize_to 1200 560
    wait_picture 10 "the model drawn in the wide window" wide drawn_somewhere
    redrawn_centered wide_redrawn
    resize_to 560 700
    wait_picture 10 "the model drawn in the tall window" tall drawn_somewhere
    redrawn_centered tall_redrawn
    # Narrower than the list: nothing to draw in, and the program stays up.
    resize_to 180 300
    expect_running "with a window narrower than the list"
    resize_to 800 600
    wait_picture 10 "the model drawn after the narrow window" widened drawn_somewhere
    redrawn_centered widened_redrawn

    geometry "$MAIN"
    local before
    before=$(joined "${RECT[@]}")
    system_menu n
    wait_until 10 "the window to be minimised" iconic_is 1
    expect_running "minimised"
    system_menu r
    wait_until 10 "the window to be restored to [$before]" restored_to "$before"
    wait_until 10 "the children laid out after restore" layout_follows
    wait_picture 10 "the model drawn in the middle after restore" restored centered_unstretched
    read_rows "$LIST"
    expect_eq "selection after restore" "$(all_ones)" "$(joined "${SELECTED[@]}")"

    exit_by_menu
}

flow_file_exit_and_the_close_box_end_the_program() {
    start_on_demo
    exit_by_menu

    start_on_demo
    open_model "$(oddities)" "${ODDITIES_ROWS[@]}"
    wait_keyboard
    keys alt+F4
    expect_exit_code 0
    expect_message_boxes
}
