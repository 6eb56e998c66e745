#!/bin/sh
# Two builds of the program against each other, in the same run on the same trees: the first
# folder-copy backup of 20,000 files (0 to 256 KiB) and four 64 MiB files, and the first sync of
# 20,000 files present on the drive only. For telling what a change costs (e.g. an older commit's
# build as the reference). Each figure is the median of the rounds; the order turns round by round.
#   bench/run-compare.sh <build> <reference build> [rounds]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$1
reference=$2
rounds=${3:-5}
. "$here/bench-common.sh"
ref_bench="$reference/bench/bench_backup"
cmake --build "$reference" -j1 --target bench_backup >"$work/build-reference.log" 2>&1 ||
    { cat "$work/build-reference.log" >&2; exit 1; }

# timed_with <driver> <label> <driver arguments...>
timed_with() {
    driver=$1
    label=$2
    shift 2
    line=$("$driver" "$@") || { echo "failed: $label: $line" >&2; exit 1; }
    echo "$line" | awk '{ print $2, $4 }' >>"$work/times.$label"
}

first="$work/src/first"
"$bench" tree "$first" 20000 262144 4 64
mkdir -p "$work/stick/Config"
"$bench" tree "$work/stick/First" 20000 262144
sync
echo "trees in $work, $rounds rounds, caches $caches"

warm_up "$first" "$work/warm-up"
r=0
while [ "$r" -lt "$rounds" ]; do
    for who in $(turn "$r" new old); do
        out="$work/out/$r-$who"
        mkdir -p "$out"
        prepare "$first"
        driver=$bench
        [ "$who" = old ] && driver=$ref_bench
        timed_with "$driver" "backup-$who" copy "$first" "$out/Backup" "$out/Config/Job.Udb"
    done
    r=$((r + 1))
done
rm -rf "$work/out"
sync

r=0
while [ "$r" -lt "$rounds" ]; do
    for who in $(turn "$r" new old); do
        rm -rf "$work/stick/Config"
        mkdir -p "$work/stick/Config"
        pc="$work/pc/$r-$who"
        mkdir -p "$pc/First"
        prepare "$work/stick/First"
        driver=$bench
        [ "$who" = old ] && driver=$ref_bench
        timed_with "$driver" "sync-$who" sync "$work/stick" /First/ "$pc/First"
    done
    r=$((r + 1))
done
rm -rf "$work/pc"

echo
echo "medians of $rounds rounds:"
ratio backup-new backup-old "<= 1.03x" "first folder-copy backup"
ratio sync-new sync-old "<= 1.03x" "first sync, 20,000 files on the drive only"
