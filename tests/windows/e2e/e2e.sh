#!/usr/bin/env bash
# End-to-end flows of kestrin.exe under Wine in an Xvfb display of their own, driven with the
# mouse and the keyboard through xdotool as a person would drive it.
#
#   e2e.sh FLOW...      (or "all"; "list" prints the flow names)
#
# Nothing is trusted to a fixed delay: each step waits, up to a deadline, for something it can
# read back. Window titles, list rows, control texts, focus and geometry come from
# kestrin-e2e-probe, a small Windows program running in the same Wine prefix (see probe.cpp);
# message boxes also from Wine's trace (WINEDEBUG=+msgbox prints each box's text on stderr); the
# picture from the off-screen X window that Wine draws the render window's Direct3D output into.
#
# Settings come from the environment (tests/windows/CMakeLists.txt sets them):
#   KESTRIN_E2E_EXE       kestrin.exe
#   KESTRIN_E2E_PROBE     kestrin-e2e-probe.exe
#   KESTRIN_E2E_WINE_RUN  scripts/wine-run
#   KESTRIN_E2E_DEMODATA  the host build's kestrin-demodata
#   KESTRIN_E2E_WORK      a folder of the build tree: the Wine prefix, the demo data and, per flow,
#                         the logs and pictures of the last run
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
# One run at a time in the prefix and on the files of KESTRIN_E2E_WORK, whoever started it (CTest
# keeps its own runs apart, not those of two CTest runs). flock holds the lock itself (-o), so
# that no program started here keeps it after the run.
if [ -z "${KESTRIN_E2E_LOCKED:-}" ] && [ -n "${KESTRIN_E2E_WORK:-}" ]; then
    mkdir -p "$KESTRIN_E2E_WORK"
    KESTRIN_E2E_LOCKED=1 exec flock -o -w 600 "$KESTRIN_E2E_WORK/e2e.lock" bash "${BASH_SOURCE[0]}" "$@"
fi
# Every wait below has its own deadline; this one only makes sure that the display and the Wine
# server go away even if something hangs past all of them, before CTest would kill the run.
limit=$((240 * ${#flows[@]}))
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
trap 'exit 1' TERM INT
e2e_setup || exit 1

status=0
for flow in "${flows[@]}"; do
    wine_restart_if_needed || exit 1
    # Each flow runs in a subshell of its own: a failure ends that flow only.
    (e2e_run_flow "$flow") &
    FLOW_PID=$!
    wait "$FLOW_PID" || status=1
    FLOW_PID=""
done
kill "$watchdog" 2>/dev/null
exit $status
