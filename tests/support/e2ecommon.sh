# What the end-to-end suites of both programs share, sourced by each suite's e2e.sh: running the
# flows (e2e_main), waiting with deadlines, reports, the program's start and end, pictures, and the
# flows both programs go through alike. Nothing is trusted to a fixed delay: each step waits, up to
# a deadline, for something it can read back. Each suite defines how it sees and drives its program:
#   E2E_FLOWS, E2E_TOOLS, E2E_SETTINGS   its flows, the tools and environment variables it needs
#   E2E_LOCK                             what runs take turns on (default: the flows run)
#   e2e_setup, e2e_flow_setup            before each flow, in the run and in the flow's subshell
#   e2e_teardown                         once a run, at its end
#   e2e_after_failure, e2e_diagnose      what a failed flow leaves behind and reports
#   launch ARGS                          replaces the shell with the program
#   path_of PATH                         a Unix path as the program takes it
#   wait_main_window, wait_keyboard, keys, menu_open, list_is_empty, read_rows,
#   read_selection COUNT, click_row N, open_file PATH, expect_box TITLE TEXT, dismiss TITLE,
#   expect_picker ROWS..., picker_double_click N, area_rect (AREA: left top right bottom on the
#   screen), area_has_keyboard, shoot NAME, press BUTTON X Y, release BUTTON, close_window,
#   boxes_were BOXES..., drop_target (the X window a file is dropped on)
# Settings come from the environment (the suite's CMakeLists.txt sets them): KESTRIN_E2E_EXE (the
# program), KESTRIN_E2E_DEMODATA (kestrin-demodata), KESTRIN_E2E_ARCHIVE (kestrin-e2e-archive, which
# writes an archive of given entries), KESTRIN_E2E_DROP (kestrin-e2e-drop, which drops a file on a
# window as a file manager does), KESTRIN_E2E_WORK (a folder of the build tree: per flow, the logs
# and pictures of its last run), and E2E_SLOWER (a whole number that stretches every deadline).

E2E_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
ODDITIES_ROWS=("<unnamed>" NoMaterial NoGeometry)
SHIP_ROWS=(Hull Bow EngineLeft EngineRight Bridge)
PICKER_ROWS=('DATA\ART\MODELS\DEMO_PLANET.ALO' 'DATA\ART\MODELS\DEMO_SHIP.ALO')
ABOUT_TEXT=$'Kestrin\nA viewer for Alamo models, by the Kestrin developers'
FOLDER_PROMPT="Please select the GameData folder in the Star Wars Empire at War installation directory."
CANNOT_OPEN="Unable to open the specified model"

# e2e.sh FLOW... | all | list: each flow runs in a subshell of its own, so that a failure ends that
# flow only, in an Xvfb display of the run's own.
e2e_main() {
    [ $# -gt 0 ] || { echo "usage: e2e.sh FLOW... | all | list" >&2 && exit 2; }
    [ "$1" = list ] && printf '%s\n' "${E2E_FLOWS[@]}" && exit 0
    [ "$1" = all ] && set -- "${E2E_FLOWS[@]}"
    local flow name missing=()
    for flow; do
        declare -F "flow_$flow" >/dev/null || { echo "e2e: no flow named $flow" >&2 && exit 2; }
    done
    for name in Xvfb xdotool xwininfo import convert compare flock "${E2E_TOOLS[@]}"; do
        command -v "$name" >/dev/null 2>&1 || missing+=("$name")
    done
    [ ${#missing[@]} -eq 0 ] || { echo "e2e: skipped, missing ${missing[*]} (scripts/install-deps installs them)" >&2 && exit 77; }
    for name in KESTRIN_E2E_EXE KESTRIN_E2E_DEMODATA KESTRIN_E2E_ARCHIVE KESTRIN_E2E_DROP KESTRIN_E2E_WORK "${E2E_SETTINGS[@]}"; do
        [ -n "${!name:-}" ] || { echo "e2e: $name is not set" >&2 && exit 1; }
    done
    WORK=$KESTRIN_E2E_WORK
    # Runs of the same flows (two CTest runs, say) take turns on their folders. flock holds the
    # lock itself (-o), so that no program started here keeps it after the run.
    if [ -z "${KESTRIN_E2E_RUN:-}" ]; then
        mkdir -p "$WORK"
        local lock=${E2E_LOCK:-$(printf '%s\n' "$@" | md5sum | cut -c1-12)}
        KESTRIN_E2E_RUN=1 exec flock -o -w 600 "$WORK/$lock.lock" "$E2E_ROOT/scripts/with-xvfb" bash "$0" "$@"
    fi
    # Every wait has its own deadline; this one only makes sure that the run's programs go before
    # CTest would kill it. It polls, since CTest waits for whatever holds the test's output.
    (
        end=$((SECONDS + 280 * $# * ${E2E_SLOWER:-1}))
        while kill -0 $$ 2>/dev/null; do
            [ $SECONDS -lt "$end" ] || { echo "e2e: the run took too long" >&2 && kill -TERM $$ && exit 0; }
            sleep 1
        done
    ) >/dev/null &
    trap 'kill "${FLOW_PID:-}" 2>/dev/null; e2e_teardown' EXIT
    trap 'exit 1' TERM INT
    local status=0
    for flow; do
        e2e_setup || exit 1
        (e2e_run_flow "$flow") &
        FLOW_PID=$!
        wait "$FLOW_PID" || status=1
    done
    exit $status
}

e2e_run_flow() {
    FLOW=$1 FLOW_DIR="$WORK/$1" FLOW_START_MS=$(now_ms) KPID="" KRUN=0 SHOT=0
    rm -rf "$FLOW_DIR"
    mkdir -p "$FLOW_DIR"
    trap e2e_flow_end EXIT
    DEMO="$FLOW_DIR/demo"
    "$KESTRIN_E2E_DEMODATA" "$DEMO" >"$FLOW_DIR/demodata.log" 2>&1 || fail "kestrin-demodata failed"
    e2e_flow_setup
    say "flow $FLOW (display $DISPLAY)"
    "flow_$FLOW"
    [ -z "$KPID" ] || fail "the flow left the program running"
    say "PASS $FLOW"
}

e2e_flow_end() {
    local status=$?
    [ $status -eq 0 ] || e2e_after_failure
    [ -n "${KPID:-}" ] && kill "$KPID" 2>/dev/null && wait "$KPID" 2>/dev/null
    exit $status
}

# ---------------------------------------------------------------------------------------------
# Reports and waiting

now_ms() {
    local t=${EPOCHREALTIME/./}
    echo $((t / 1000))
}

say() {
    local ms=$(($(now_ms) - ${FLOW_START_MS:-$(now_ms)})) line
    printf -v line '[%3d.%01ds] %s' $((ms / 1000)) $(((ms % 1000) / 100)) "$*"
    echo "$line"
    [ -d "${FLOW_DIR:-}" ] && echo "$line" >>"$FLOW_DIR/flow.log"
}

# Ends the flow (its subshell) with what went wrong and what the screen and the program showed.
fail() {
    say "FAIL: $*"
    if [ -z "${E2E_FAILING:-}" ] && [ -d "${FLOW_DIR:-}" ]; then
        E2E_FAILING=1
        import -window root "$FLOW_DIR/failure-screen.png" 2>/dev/null && say "screen: $FLOW_DIR/failure-screen.png"
        e2e_diagnose
        if [ -s "${KERR:-}" ]; then
            say "the program's standard error ($KERR), last lines:"
            tail -n 15 "$KERR" | while IFS= read -r line; do say "    $line"; done
        fi
        say "logs and pictures: $FLOW_DIR"
    fi
    exit 1
}

check() { "${@:2}" || fail "$1"; }

expect_eq() { [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"; }

joined() {
    local IFS='|'
    echo "$*"
}

# ones N, zeros N: N ones or zeros, joined.
ones() {
    local out=()
    while [ ${#out[@]} -lt "$1" ]; do out+=("${2:-1}"); done
    joined "${out[@]}"
}

zeros() { ones "$1" 0; }

# wait_until SECONDS WHAT COMMAND...: runs COMMAND until it succeeds; the flow fails when it has
# not after SECONDS, or at once when the program ended (unless its end is awaited).
wait_until() {
    local what=$2 end=$(($(now_ms) + $1 * ${E2E_SLOWER:-1} * 1000))
    shift 2
    until "$@"; do
        [ "$(now_ms)" -le "$end" ] || fail "waited for $what"
        if [ "$1" != kestrin_gone ] && [ -n "${KPID:-}" ] && kestrin_gone; then
            fail "the program ended while waiting for $what"
        fi
        sleep 0.1
    done
}

# ---------------------------------------------------------------------------------------------
# The program

# start_kestrin ARGS...: starts the program in the flow's folder.
start_kestrin() {
    KRUN=$((KRUN + 1)) KERR="$FLOW_DIR/kestrin$KRUN.err" MAIN=""
    say "start the program $*"
    (cd "$FLOW_DIR" && launch "$@") </dev/null >"$FLOW_DIR/kestrin$KRUN.out" 2>"$KERR" &
    KPID=$!
}

kestrin_gone() { [ -z "$KPID" ] || ! kill -0 "$KPID" 2>/dev/null; }

expect_running() {
    kestrin_gone && fail "the program ended: $1"
    true
}

# expect_exit_code CODE [BOXES...]: the program ends by itself with CODE, having shown just these
# message boxes (where the suite can tell).
expect_exit_code() {
    wait_until 15 "the program to end" kestrin_gone
    wait "$KPID"
    local code=$?
    KPID=""
    say "the program ended with exit code $code"
    expect_eq "exit code" "$1" "$code"
    boxes_were "${@:2}"
}

# Starts on the demo data and waits for the main window with an empty list.
start_on_demo() {
    start_kestrin "$(path_of "$DEMO")"
    wait_main_window
    check "the mesh list at start is empty" list_is_empty
}

model() { path_of "$DEMO/Data/Art/Models/$1"; }

rows_are() { read_rows && [ "$(joined "${ROWS[@]}")" = "$(joined "$@")" ]; }

selection_is() { read_selection "$1" && [ "$(joined "${SELECTED[@]:0:$1}")" = "$2" ]; }

# open_model PATH ROWS...: File > Open of a loose model; the list then shows ROWS, none selected,
# and the drawing area nothing.
open_model() {
    open_file "$1"
    wait_until 10 "the mesh list [$(joined "${@:2}")]" rows_are "${@:2}"
    wait_until 10 "no row selected" selection_is $(($# - 1)) "$(zeros $(($# - 1)))"
    wait_picture 20 "a black picture while nothing is selected" "unselected$SHOT" black
}

# select_rows COUNT SELECTION: clicks the rows among the first COUNT of the mesh list that are not
# as SELECTION (0|1|...) has them, each flip waited for.
select_rows() {
    local want i
    IFS='|' read -r -a want <<<"$2"
    read_selection "$1" || fail "the selection cannot be read"
    local now=("${SELECTED[@]}")
    for ((i = 0; i < $1; i++)); do
        [ "${now[i]}" = "${want[i]}" ] && continue
        now[i]=${want[i]}
        click_row "$i"
        wait_until 10 "row $i to flip" selection_is "$1" "$(joined "${now[@]:0:$1}")"
    done
}

# menu KEY ITEMKEY: opens a menu with its Alt key, waits for it, then picks the item.
menu() {
    wait_keyboard
    keys "$1"
    wait_until 10 "the menu after $1" menu_open
    keys "$2"
}

# exit_by_menu [BOXES...]: File > Exit; exit code 0 and only these message boxes shown.
exit_by_menu() {
    menu alt+f e
    expect_exit_code 0 "$@"
}

click_at() { xdotool mousemove "$1" "$2" click "${3:-1}"; }

# drag_to X Y: the pointer moves there from where it is, in four steps, as a hand would.
drag_to() {
    local step
    for step in 1 2 3 4; do
        xdotool mousemove $((POINTER[0] + ($1 - POINTER[0]) * step / 4)) $((POINTER[1] + ($2 - POINTER[1]) * step / 4))
    done
    POINTER=("$1" "$2")
}

# ---------------------------------------------------------------------------------------------
# Pictures of the drawing area

# wait_picture SECONDS WHAT NAME TEST [ARGS]: shoots the drawing area until TEST ARGS FILE passes;
# the picture that passed is $FLOW_DIR/NAME.png (in PICTURE). The last shot that did not pass stays
# for a failure's report.
wait_picture() {
    local what=$2 name=$3 wait=$1
    shift 3
    PICTURE="$FLOW_DIR/$name.png" LAST_SHOT=""
    wait_until "$wait" "$what" picture_passes "$name" "$@"
    say "picture $name.png: $what"
}

picture_passes() {
    SHOT=$((SHOT + 1))
    local name=$1 file="$FLOW_DIR/shot$SHOT.png"
    shift
    shoot "shot$SHOT" || return 1
    if "$@" "$file"; then
        mv "$file" "$FLOW_DIR/$name.png"
        rm -f "$LAST_SHOT"
        LAST_SHOT=""
        return 0
    fi
    rm -f "$LAST_SHOT"
    LAST_SHOT=$file
    return 1
}

# lit_pixels FILE [CROP]: how many pixels are not black (above 3% grey).
lit_pixels() {
    local crop=()
    [ -n "${2:-}" ] && crop=(-crop "$2" +repage)
    convert "$1" "${crop[@]}" -colorspace gray -threshold 3% -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}

# difference A B: how many pixels differ by more than 3%; very many when the sizes differ.
difference() {
    local ae
    ae=$(compare -metric AE -fuzz 3% "$1" "$2" null: 2>&1)
    awk -v v="$ae" 'BEGIN { if (v ~ /^[0-9.e+]+$/) printf "%d\n", v; else print 999999999 }'
}

black() { [ "$(lit_pixels "$1")" -eq 0 ]; }

drawn() { [ "$(lit_pixels "$1")" -gt 100 ]; }

# steady FILE: drawn, and the same as the shot before it (no frame was still coming).
steady() { drawn "$1" && [ -f "$LAST_SHOT" ] && [ "$(difference "$LAST_SHOT" "$1")" -eq 0 ]; }

# differs BASE FILE: more than 100 pixels changed; same_as BASE FILE: at most 20 (rounding at edges).
differs() { [ "$(difference "$1" "$2")" -gt 100 ]; }

same_as() { [ "$(difference "$1" "$2")" -le 20 ]; }

bigger_than() { [ "$(lit_pixels "$2")" -gt "$(lit_pixels "$1")" ] && differs "$1" "$2"; }

smaller_than() { [ "$(lit_pixels "$2")" -lt "$(lit_pixels "$1")" ] && differs "$1" "$2"; }

# lit_box FILE: "W H X Y AW AH": the lit part's box and the picture's size.
lit_box() {
    convert "$1" -colorspace gray -threshold 3% -format '%@ %w %h' info: 2>/dev/null |
        sed 's/^\([0-9]*\)x\([0-9]*\)+\([0-9]*\)+\([0-9]*\)/\1 \2 \3 \4/'
}

# moved BASE SX SY FILE: from BASE to FILE the model went at least 10 pixels right (SX 1) or left
# (SX -1), and down (SY 1) or up (SY -1).
moved() {
    awk -v a="$(lit_box "$1")" -v b="$(lit_box "$4")" -v sx="$2" -v sy="$3" 'BEGIN {
        if (split(a, p, " ") < 4 || split(b, q, " ") < 4) exit 1
        exit !((q[3] + q[1] / 2 - p[3] - p[1] / 2) * sx >= 10 && (q[4] + q[2] / 2 - p[4] - p[2] / 2) * sy >= 10) }'
}

# placed_like BASE FILE: the model has the same place and shape in FILE as in BASE, measured from
# the middle of the drawing area in heights of it. The view keeps its vertical angle whatever the
# area's shape, so a picture that is neither off centre nor stretched keeps these numbers at any
# size; 1% of the height (and 2 pixels for rounding) is allowed.
placed_like() {
    awk -v a="$(lit_box "$1")" -v b="$(lit_box "$2")" 'function edges(s, e,   v) {
            split(s, v, " ")
            if (v[1] <= 1 || v[2] <= 1) return 0
            e[1] = (v[3] - v[5] / 2) / v[6]; e[2] = (v[3] + v[1] - v[5] / 2) / v[6]
            e[3] = (v[4] - v[6] / 2) / v[6]; e[4] = (v[4] + v[2] - v[6] / 2) / v[6]
            e[5] = v[6]
            return 1
        }
        BEGIN {
            if (!edges(a, p) || !edges(b, q)) exit 1
            for (i = 1; i <= 4; i++) if ((p[i] - q[i]) ^ 2 > (0.01 + 2 / q[5]) ^ 2) exit 1
        }'
}

placed_as_at_start() { steady "$1" && placed_like "$START_PICTURE" "$1"; }

# fills_height FILE: steady, and the lit part spans at least 80% of the picture's height.
fills_height() {
    steady "$1" && awk -v b="$(lit_box "$1")" 'BEGIN { exit !(split(b, q, " ") >= 6 && q[2] >= 0.8 * q[6]) }'
}

# drop_file PATH: drops the file on the middle of the drawing area, as a file manager would.
drop_file() {
    area_rect
    say "drop $1"
    "$KESTRIN_E2E_DROP" "$(drop_target)" $(((AREA[0] + AREA[2]) / 2)) $(((AREA[1] + AREA[3]) / 2)) "$1" ||
        fail "the window did not take the drop of $1"
}

# ---------------------------------------------------------------------------------------------
# The flows both programs go through alike

flow_loose_model_lists_meshes_and_draws_the_selected_ones() {
    start_on_demo
    open_model "$(model Demo_Oddities.alo)" "${ODDITIES_ROWS[@]}"
    select_rows 3 "$(ones 3)"
    wait_picture 20 "the model drawn with every mesh selected" all_selected drawn
    local all=$PICTURE
    # The first row holds the model's visible geometry.
    select_rows 3 "0|1|1"
    wait_picture 20 "a different picture with the first mesh off" first_off differs "$all"
    select_rows 3 "1|0|0"
    wait_picture 20 "the first mesh alone drawn" first_only drawn
    select_rows 3 "0|0|0"
    wait_picture 20 "a black picture once nothing is selected again" none_selected black
    select_rows 3 "$(ones 3)"
    wait_picture 20 "the model drawn again" reselected same_as "$all"

    # Another model replaces the list, and draws nothing until rows are selected. Each mesh of the
    # ship shows: turning the rows off one by one changes the picture each time, down to nothing.
    open_model "$(model Demo_Ship.alo)" "${SHIP_ROWS[@]}"
    select_rows 5 "$(ones 5)"
    wait_picture 20 "the ship drawn" ship_all drawn
    local ship_all=$PICTURE i previous=$PICTURE off=(1 1 1 1 1)
    for i in 0 1 2 3 4; do
        off[i]=0
        select_rows 5 "$(joined "${off[@]}")"
        wait_picture 20 "the picture without ${SHIP_ROWS[i]} as well" "ship_off_to_$i" differs "$previous"
        previous=$PICTURE
    done
    check "nothing drawn with every row off" black "$previous"
    select_rows 5 "$(ones 5)"
    wait_picture 20 "the whole ship again" ship_again same_as "$ship_all"
    exit_by_menu
}

flow_mouse_orbits_pans_and_zooms_the_picture() {
    start_on_demo
    open_model "$(model Demo_Ship.alo)" "${SHIP_ROWS[@]}"
    select_rows 5 "$(ones 5)"
    wait_picture 20 "a steady picture of the ship" start steady
    local start=$PICTURE
    area_rect
    local left=${AREA[0]} middleX=$(((AREA[0] + AREA[2]) / 2)) middleY=$(((AREA[1] + AREA[3]) / 2))

    # Orbit with the right button. Every step comes from the press, so going back to the press
    # point gives the start picture again; at half a degree a pixel, so does a whole turn of 720
    # pixels to the right. With the button up, moving the pointer turns nothing.
    press 3 $((left + 20)) "$middleY"
    drag_to $((left + 140)) $((middleY + 60))
    wait_picture 20 "the picture to turn" orbit differs "$start"
    drag_to $((left + 20)) "$middleY"
    wait_picture 20 "the start picture back at the press point" orbit_back same_as "$start"
    drag_to $((left + 380)) "$middleY"
    wait_picture 20 "the picture half way round" half_turn differs "$start"
    drag_to $((left + 740)) "$middleY"
    wait_picture 20 "the start picture after a whole turn" whole_turn same_as "$start"
    release 3
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
    release 1

    # The wheel over the drawing area (which the presses gave the focus): away from the user comes
    # closer, and back goes away, further than the start.
    xdotool click 4
    wait_picture 20 "a bigger picture after a wheel turn away" zoomed_in bigger_than "$start"
    local closer=$PICTURE
    xdotool click 5 click 5
    wait_picture 20 "a smaller picture after two turns back" zoomed_out smaller_than "$closer"
    wait_picture 20 "the picture steady after the wheel" zoomed_out_steady steady
    check "two turns back go further than the start" smaller_than "$start" "$PICTURE"
    exit_by_menu
}

# After a picker closes: the list shows ROWS, none selected, and nothing is drawn.
picked() {
    wait_no_window "Select a file"
    wait_until 10 "the mesh list [$(joined "$@")]" rows_are "$@"
    wait_picture 20 "nothing drawn before a mesh is selected" "picked$SHOT" black
}

flow_archive_entry_is_picked_in_select_a_file() {
    start_on_demo
    # Only the archive's models are offered, sorted; Escape picks nothing.
    local meg
    meg=$(path_of "$DEMO/Data/Art.meg")
    open_file "$meg"
    expect_picker "${PICKER_ROWS[@]}"
    keys Escape
    wait_no_window "Select a file"
    check "the mesh list is empty after the picker was cancelled" list_is_empty
    wait_picture 20 "nothing drawn after the picker was cancelled" cancelled black

    # A double-click picks an entry; so does Return on the row under the cursor.
    open_file "$meg"
    expect_picker "${PICKER_ROWS[@]}"
    picker_double_click 1
    picked "${SHIP_ROWS[@]}"
    select_rows 5 "$(ones 5)"
    wait_picture 20 "the ship from the archive drawn" archive_ship drawn
    local ship=$PICTURE
    open_file "$meg"
    expect_picker "${PICKER_ROWS[@]}"
    keys Home Return
    picked Globe
    select_rows 1 1
    wait_picture 20 "the planet from the archive drawn" archive_planet differs "$ship"
    check "the planet drawn" drawn "$PICTURE"

    # An archive a modding tool wrote, with names in mixed case: only the entries whose extension
    # is ALO in any case are offered, sorted as Windows sorts them, ignoring case, whatever their
    # order in the archive; each row opens its own entry.
    local models="$DEMO/Data/Art/Models" mixed="$FLOW_DIR/Mixed.meg"
    "$KESTRIN_E2E_ARCHIVE" "$mixed" 'DATA\ART\MODELS\Zeta_Ship.alo' "$models/Demo_Ship.alo" \
        'data\art\models\alpha.ALO' "$models/Demo_Oddities.alo" 'DATA\ART\MODELS\BETA_SHIP.ALO' "$models/Demo_Ship.alo" \
        'Data\Art\Models\Readme.txt' "$DEMO/Data/MegaFiles.xml" 'DATA\ART\MODELS\NOEXTENSION' "$models/Demo_Ship.alo" \
        'data\art\models\gamma.alo.bak' "$models/Demo_Ship.alo" 'Data\Art\Models\delta.Alo' "$models/Demo_Oddities.alo" ||
        fail "the mixed archive was not written"
    local sorted=('data\art\models\alpha.ALO' 'DATA\ART\MODELS\BETA_SHIP.ALO' 'Data\Art\Models\delta.Alo'
        'DATA\ART\MODELS\Zeta_Ship.alo')
    open_file "$(path_of "$mixed")"
    expect_picker "${sorted[@]}"
    picker_double_click 1
    picked "${SHIP_ROWS[@]}"
    open_file "$(path_of "$mixed")"
    expect_picker "${sorted[@]}"
    keys Home Down Down Return
    picked "${ODDITIES_ROWS[@]}"
    exit_by_menu
}

# Five bytes, not even a whole chunk header; and a model cut short in the middle of a mesh, as an
# interrupted copy leaves it. The model shown before stays, with its selection and picture.
flow_file_that_is_no_model_is_reported_and_the_viewer_goes_on() {
    printf '\x01\x02\x03\xfe\xff' >"$FLOW_DIR/broken.alo"
    head -c 1000 "$DEMO/Data/Art/Models/Demo_Ship.alo" >"$FLOW_DIR/Cut_Short.alo"
    start_on_demo
    open_model "$(model Demo_Oddities.alo)" "${ODDITIES_ROWS[@]}"
    select_rows 3 "$(ones 3)"
    wait_picture 20 "the model drawn" before steady
    local before=$PICTURE file
    for file in broken.alo Cut_Short.alo; do
        open_file "$(path_of "$FLOW_DIR/$file")"
        expect_box Error "$CANNOT_OPEN"
        dismiss Error
        expect_running "after the box for $file"
        wait_until 10 "the rows after $file" rows_are "${ODDITIES_ROWS[@]}"
        wait_until 10 "the selection after $file" selection_is 3 "$(ones 3)"
        wait_picture 20 "the model still drawn" "after_$file" same_as "$before"
    done
    # And the viewer still opens models.
    open_model "$(model Demo_Ship.alo)" "${SHIP_ROWS[@]}"
    exit_by_menu "$CANNOT_OPEN" "$CANNOT_OPEN"
}

# F1 reaches the program wherever the focus is: in the drawing area too, after a click there, which
# is no drag: the picture stays as it was.
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

    open_model "$(model Demo_Oddities.alo)" "${ODDITIES_ROWS[@]}"
    select_rows 3 "$(ones 3)"
    wait_picture 20 "the model drawn" before_click steady
    local before=$PICTURE
    area_rect
    wait_keyboard
    click_at $(((AREA[0] + AREA[2]) / 2)) $(((AREA[1] + AREA[3]) / 2))
    wait_until 5 "the drawing area to have the keyboard" area_has_keyboard
    keys F1
    expect_box About "$ABOUT_TEXT"
    dismiss About
    wait_picture 20 "the picture unchanged by the click" after_click same_as "$before"
    exit_by_menu "$ABOUT_TEXT" "$ABOUT_TEXT" "$ABOUT_TEXT"
}

# File > Exit; the close box with a model drawn, and with nothing opened.
flow_file_exit_and_closing_the_window_end_the_program() {
    start_on_demo
    exit_by_menu
    start_on_demo
    open_model "$(model Demo_Oddities.alo)" "${ODDITIES_ROWS[@]}"
    select_rows 3 "$(ones 3)"
    wait_picture 20 "the model drawn" drawn drawn
    close_window
    expect_exit_code 0
    start_on_demo
    close_window
    expect_exit_code 0
}

# The command line names a model: alone, it opens over the data folder it lies in; after the
# folder, an archive's entry opens at once and an archive brings up "Select a file". A file
# dropped on the window opens as File > Open opens it; one that is gone is reported.
flow_models_open_from_the_command_line_and_by_drops() {
    start_kestrin "$(model Demo_Ship.alo)"
    wait_main_window
    wait_until 10 "the ship's meshes" rows_are "${SHIP_ROWS[@]}"
    select_rows 5 "$(ones 5)"
    wait_picture 20 "the ship drawn with the effects of the folder it lies in" ship drawn
    drop_file "$DEMO/Data/Art/Models/Demo_Oddities.alo"
    wait_until 10 "the dropped model's meshes" rows_are "${ODDITIES_ROWS[@]}"
    drop_file "$DEMO/Data/Art.meg"
    expect_picker "${PICKER_ROWS[@]}"
    keys Home Return
    picked Globe
    exit_by_menu

    local meg
    meg=$(path_of "$DEMO/Data/Art.meg")
    start_kestrin "$(path_of "$DEMO")" "$meg:DATA/ART/MODELS/DEMO_PLANET.ALO"
    wait_main_window
    wait_until 10 "the planet's mesh" rows_are Globe
    exit_by_menu
    start_kestrin "$(path_of "$DEMO")" "$meg"
    expect_picker "${PICKER_ROWS[@]}"
    picker_double_click 1
    wait_no_window "Select a file"
    wait_main_window
    wait_until 10 "the ship's meshes" rows_are "${SHIP_ROWS[@]}"
    exit_by_menu
    start_kestrin "$(path_of "$DEMO")" "$(path_of "$FLOW_DIR/gone.alo")"
    expect_box Error "$CANNOT_OPEN"
    dismiss Error
    wait_main_window
    check "the mesh list is empty after the box" list_is_empty
    exit_by_menu "$CANNOT_OPEN"
}

# F in the drawing area brings the drawn model near enough to fill it, from wherever the camera
# looks and however far it is; Home brings the starting view back.
flow_f_frames_the_model_and_home_brings_the_starting_view_back() {
    start_kestrin "$(path_of "$DEMO")" "$(path_of "$DEMO/Data/Art.meg"):DATA/ART/MODELS/DEMO_PLANET.ALO"
    wait_main_window
    wait_until 10 "the planet's mesh" rows_are Globe
    select_rows 1 1
    wait_picture 20 "the planet, small from the starting view" start steady
    local start=$PICTURE
    area_rect
    click_at $(((AREA[0] + AREA[2]) / 2)) $(((AREA[1] + AREA[3]) / 2))
    wait_until 5 "the drawing area to have the keyboard" area_has_keyboard
    keys f
    wait_picture 20 "the planet filling the drawing area" framed fills_height
    local framed=$PICTURE
    xdotool click 5 click 5
    wait_picture 20 "the planet further away" farther smaller_than "$framed"
    keys f
    wait_picture 20 "the planet framed as before" reframed same_as "$framed"
    keys Home
    wait_picture 20 "the starting view again" home same_as "$start"
    exit_by_menu
}
