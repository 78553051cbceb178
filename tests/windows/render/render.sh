#!/usr/bin/env bash
# kestrin-render.exe under Wine on the demo data, as a user or a script runs it, and
# scripts/compare-renderers on the demo models: one case per run.
#   render.sh batch | errors | compare | compare_differs
# Settings: KESTRIN_RENDER_EXE, KESTRIN_WINE_RUN, KESTRIN_HOST_BUILD, KESTRIN_DEMO (the demo data
# folder), WORK (a folder of the build tree for the pictures).
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
fail() { echo "render.sh: $*" >&2 && exit 1; }
windows() { local p; p="$(realpath -m -- "$1")" && printf 'Z:%s' "${p//\//\\}"; }
render() { "$KESTRIN_WINE_RUN" "$KESTRIN_RENDER_EXE" "$@" 2>"$WORK/err"; }
rm -rf "${WORK:?}/$1" && mkdir -p "$WORK/$1" && cd "$WORK/$1" || exit 1

case "$1" in
batch)
    render --batch "$(windows pictures)" --size 160x120 "$(windows "$KESTRIN_DEMO")" \
        "$(windows "$KESTRIN_DEMO/Data/Art.meg")" || fail "batch: status $?: $(cat "$WORK/err")"
    for name in DATA_ART_MODELS_DEMO_PLANET DATA_ART_MODELS_DEMO_SHIP; do
        [ "$(identify -format '%m %wx%h' "pictures/$name.png" 2>&1)" = "PNG 160x120" ] || fail "no picture $name.png"
    done
    [ "$(ls pictures | wc -l)" = 2 ] || fail "batch: $(ls pictures)"
    ;;
errors)
    render "$(windows "$KESTRIN_DEMO")" "$(windows "$KESTRIN_DEMO/Data/Art/Models/Missing.alo")" "$(windows a.png)"
    [ $? = 1 ] && grep -q '^Caught exception from managers/' "$WORK/err" || fail "missing model: $(cat "$WORK/err")"
    render "$(windows "$KESTRIN_DEMO")" "$(windows "$KESTRIN_DEMO/Data/Art/Models/Demo_Ship.alo")" 'Q:\none\a.png'
    [ $? = 1 ] && grep -q '^kestrin-render: cannot write' "$WORK/err" || fail "unwritable: $(cat "$WORK/err")"
    render --size 0x10 "$(windows "$KESTRIN_DEMO")" a.alo a.png
    [ $? = 2 ] && grep -q '^usage: kestrin-render' "$WORK/err" || fail "usage: $(cat "$WORK/err")"
    ;;
compare | compare_differs)
    # A renderer turned by 40 pixels stands for one that draws the models wrongly.
    if [ "$1" = compare_differs ]; then
        printf '#!/bin/sh\nexec "%s" --orbit 40,0 "$@"\n' "$KESTRIN_HOST_BUILD/tools/kestrin-render" >turned
        chmod +x turned && export KESTRIN_RENDER="$PWD/turned"
    fi
    KESTRIN_RENDER_EXE="$KESTRIN_RENDER_EXE" "$root/scripts/compare-renderers" --out "$PWD" --size 320x240 --fit \
        "$KESTRIN_DEMO" "$KESTRIN_DEMO/Data/Art/Models/Demo_Ship.alo" \
        "$KESTRIN_DEMO/Data/Art.meg:DATA/ART/MODELS/DEMO_PLANET.ALO" "$KESTRIN_DEMO/Data/Art/Models/Demo_Oddities.alo" >out
    status=$?
    cat out
    if [ "$1" = compare ]; then
        [ $status = 0 ] && grep -q '^3 of 3 models agree' out || fail "the renderers differ on the demo models"
    else
        [ $status = 1 ] && [ "$(grep -c 'DIFFERS$' out)" = 3 ] || fail "a turned picture passed"
    fi
    ;;
*) fail "no case $1" ;;
esac
