# What the end-to-end suites of both programs share (sourced by each suite's e2elib.sh): the
# flow's log, failing with a report (each suite defines e2e_diagnose), plain checks, the running
# program's pid in KPID and exit code in KRC, and comparing screenshots (each suite defines shoot,
# lit_pixels and drawn).

now_ms() {
    local t=${EPOCHREALTIME/./}
    echo $((t / 1000))
}

say() {
    local ms=$(($(now_ms) - ${FLOW_START_MS:-$(now_ms)}))
    local line
    printf -v line '[%3d.%01ds] %s' $((ms / 1000)) $(((ms % 1000) / 100)) "$*"
    echo "$line"
    if [ -n "${FLOW_DIR:-}" ] && [ -d "$FLOW_DIR" ]; then
        echo "$line" >>"$FLOW_DIR/flow.log"
    fi
}

# Ends the flow (its subshell) with what went wrong and what the screen and the program showed.
fail() {
    say "FAIL: $*"
    if [ -z "${E2E_FAILING:-}" ]; then
        E2E_FAILING=1
        e2e_diagnose
    fi
    exit 1
}

check() {
    local what=$1
    shift
    "$@" || fail "$what"
}

expect_eq() {
    local what=$1 expected=$2 actual=$3
    if [ "$expected" != "$actual" ]; then
        fail "$what: expected [$expected], got [$actual]"
    fi
}

joined() {
    local IFS='|'
    echo "$*"
}

click_at() {
    xdotool mousemove "$1" "$2" click "${3:-1}"
}

# difference A B: how many pixels differ by more than 3%; very many when the sizes differ.
difference() {
    local ae
    ae=$(compare -metric AE -fuzz 3% "$1" "$2" null: 2>&1)
    awk -v v="$ae" 'BEGIN { if (v ~ /^[0-9.e+]+$/) printf "%d\n", v; else print 999999999 }'
}

picture_passes() {
    local name=$1
    shift
    SHOT=$((SHOT + 1))
    local file="$FLOW_DIR/shot$SHOT.png"
    shoot "shot$SHOT" || return 1
    if "$@" "$file"; then
        mv "$file" "$FLOW_DIR/$name.png"
        rm -f "${LAST_SHOT:-}"
        LAST_SHOT=""
        return 0
    fi
    # The last shot that did not pass stays for a failure's report.
    rm -f "${LAST_SHOT:-}"
    LAST_SHOT=$file
    return 1
}

# steady FILE: drawn, and the same as the shot before it (no frame was still coming).
steady() {
    drawn "$1" && [ -f "${LAST_SHOT:-}" ] && [ "$(difference "$LAST_SHOT" "$1")" -eq 0 ]
}

# differs BASE FILE: more than 100 pixels changed.
differs() {
    [ "$(difference "$1" "$2")" -gt 100 ]
}

# same_as BASE FILE: at most 20 pixels changed (rounding at edges).
same_as() {
    [ "$(difference "$1" "$2")" -le 20 ]
}

kestrin_running() {
    [ -n "$KPID" ] && kill -0 "$KPID" 2>/dev/null
}

kestrin_gone() {
    ! kestrin_running
}

expect_exit_code() {
    wait_exit
    expect_eq "exit code" "$1" "$KRC"
}
