#!/bin/sh
# Sync benchmarks, every ratio measured in the same run on the same trees:
#   - a no-change two-way sync of 100,000 file pairs against `unison -batch` on the same two
#     trees after the first run of each, with the page cache dropped before each run where
#     the system lets us and then with warm caches, and the peak memory of that sync;
#   - a first sync of 20,000 files (0 to 256 KiB) present on one side only against `cp -a`.
# The trees live in a fresh folder below /tmp that is deleted afterwards. Each figure is the
# median of the rounds; the order of the contenders turns round by round.
#   bench/run-sync.sh [build folder] [rounds] [first]   ("first": the first sync alone)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-"$here/../build"}
rounds=${2:-3}
only=${3:-all}
. "$here/bench-common.sh"

echo "trees in $work, $rounds rounds, caches $caches"
if [ "$only" != first ]; then
    "$bench" tree "$work/stick/Docs" 100000 4096
    mkdir -p "$work/pc"
    cp -a "$work/stick/Docs" "$work/pc/Docs"
fi
"$bench" tree "$work/stick2/First" 20000 262144
sync

if [ "$only" != first ]; then
# --- no-change sync --------------------------------------------------------------------------
export UNISON="$work/unison"
mkdir -p "$UNISON"
unison_run() { # <bench label or "">
    if [ -n "$1" ]; then
        timed "$1" run unison "$work/stick/Docs" "$work/pc/Docs" -batch -silent
    else
        unison "$work/stick/Docs" "$work/pc/Docs" -batch -silent >/dev/null 2>&1
    fi
}
"$bench" sync "$work/stick" /Docs/ "$work/pc/Docs" >/dev/null
unison_run ""
r=0
while [ "$r" -lt "$rounds" ]; do
    for who in $(turn "$r" drivlet-sync unison); do
        prepare "$work/stick/Docs" "$work/pc/Docs"
        case $who in
        drivlet-sync) timed drivlet-sync sync "$work/stick" /Docs/ "$work/pc/Docs" ;;
        unison) unison_run unison ;;
        esac
    done
    r=$((r + 1))
done

# The same with warm caches, as when a sync runs again soon after the last one (only where the
# rounds above dropped them; otherwise those rounds were warm already).
if [ "$caches" = cold ]; then
    "$bench" sync "$work/stick" /Docs/ "$work/pc/Docs" >/dev/null
    unison_run ""
    r=0
    while [ "$r" -lt "$rounds" ]; do
        for who in $(turn "$r" drivlet-warm unison-warm); do
            case $who in
            drivlet-warm) timed drivlet-warm sync "$work/stick" /Docs/ "$work/pc/Docs" ;;
            unison-warm) unison_run unison-warm ;;
            esac
        done
        r=$((r + 1))
    done
fi
fi

# --- first sync, one side only ----------------------------------------------------------------
warm_up "$work/stick2/First" "$work/warm-up"
r=0
while [ "$r" -lt "$rounds" ]; do
    for who in $(turn "$r" drivlet-first cp); do
        # A fresh folder each step, deleted at the end (see run-backup.sh's contest).
        rm -rf "$work/stick2/Config"
        pc2="$work/pc2/$r-$who"
        mkdir -p "$pc2/First"
        prepare "$work/stick2/First"
        case $who in
        drivlet-first) timed drivlet-first sync "$work/stick2" /First/ "$pc2/First" ;;
        cp) timed cp run cp -a "$work/stick2/First" "$pc2/cp-First" ;;
        esac
    done
    r=$((r + 1))
done
rm -rf "$work/pc2"

echo
echo "medians of $rounds rounds:"
if [ "$only" != first ]; then
    ratio drivlet-sync unison "<= 0.50x" "no-change sync, 100,000 pairs"
    if [ "$caches" = cold ]; then
        ratio drivlet-warm unison-warm "<= 0.50x" "the same, warm caches"
    fi
    peak drivlet-sync "<= 96 MiB" "peak memory of the no-change sync"
fi
ratio drivlet-first cp "<= 1.20x" "first sync, 20,000 files on one side"
