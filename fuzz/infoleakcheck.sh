#!/usr/bin/env bash
# Runs kestrin-info, built with the sanitizers, over generated files and fails on any report:
# a leak, a bad memory access, undefined behaviour, or an exit status other than 0 (read) or
# 1 (refused with an error report).
#
#   infoleakcheck.sh KESTRIN-INFO KESTRIN-FUZZ-SEEDS KESTRIN-DEMODATA WORKFOLDER
#
# The files are the fuzz seeds, every data folder seed, the demo data, and each archive, model and
# effect among them cut short at eight places, so that the error paths are walked as well as the
# good ones.
set -uo pipefail
info="$1"
seeds="$2"
demodata="$3"
work="$4"

rm -rf "$work"
mkdir -p "$work/cut"
"$seeds" "$work/seeds" && "$seeds" --data-folders "$work/folders" && "$demodata" "$work/demo" || {
    echo "infoleakcheck: cannot write the files" >&2
    exit 1
}

export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0"
export LSAN_OPTIONS="exitcode=23"
# Mesa's drivers, loaded for the native renderer's verdict in "effect", keep allocations that
# LeakSanitizer reports from their unloaded library. With no EGL vendor that verdict is skipped
# (as on a machine without OpenGL); the rest of "effect" runs as always.
export __EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

runs=0
failures=0
check() {
    runs=$((runs + 1))
    "$info" "$@" >/dev/null 2>"$work/stderr"
    local status=$?
    if { [ "$status" -ne 0 ] && [ "$status" -ne 1 ]; } || grep -q -E 'Sanitizer|runtime error' "$work/stderr"; then
        failures=$((failures + 1))
        echo "infoleakcheck: kestrin-info $* exited with $status" >&2
        head -n 40 "$work/stderr" >&2
    fi
}

# Every file, and the same file cut at eighths of its length.
variants() {
    local file="$1"
    echo "$file"
    local size
    size=$(stat -c %s "$file")
    local name
    name="$(echo "$file" | tr '/' '_')"
    for i in 1 2 3 4 5 6 7; do
        head -c $((size * i / 8)) "$file" >"$work/cut/$i-$name"
        echo "$work/cut/$i-$name"
    done
}

mapfile -t archives < <(find "$work/seeds/mega" "$work/demo" "$work/folders" -type f -iname '*.meg' | sort)
mapfile -t models < <(find "$work/seeds/model" "$work/demo" -type f -iname '*.alo' | sort)
mapfile -t effects < <(find "$work/seeds/effect" -type f | sort)
for archive in "${archives[@]}"; do
    while read -r file; do
        check archive "$file"
        check find "$file" 'data\art\models\ship.alo'
        check model "$file" 'Data\Art\Models\Ship.alo'
        check model "$file" 'Data\Art\Models\Demo_Planet.alo'
        check effect "$file" 'DATA\ART\SHADERS\MeshGloss.FXO'
    done < <(variants "$archive")
done
for model in "${models[@]}"; do
    while read -r file; do
        check model "$file"
    done < <(variants "$model")
done
for effect in "${effects[@]}"; do
    while read -r file; do
        check effect "$file"
    done < <(variants "$effect")
done
for folder in "$work/demo" "$work/folders"/*; do
    for path in 'Data\Art\Loose.txt' 'Data\Art\Models\X.alo' 'Data\Art\Textures\Overridden.txt' 'Missing.txt'; do
        check resolve "$folder/" "$path"
    done
done

echo "infoleakcheck: $runs runs of kestrin-info, $failures with a sanitizer report or an unexpected status"
[ "$failures" -eq 0 ]
