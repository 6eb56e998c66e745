# Shared by the benchmark scripts (sourced): the driver, the work folder below /tmp, the cache
# policy and the medians. Expects $build and $rounds.
bench="$build/bench/bench_backup"
work=$(mktemp -d /tmp/drivlet-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
if ! cmake --build "$build" -j1 --target bench_backup >"$work/build.log" 2>&1; then
    cat "$work/build.log" >&2
    exit 1
fi

# Cold caches where the system lets us drop them; otherwise every contender reads a tree that
# has just been read, so all of them start warm.
if (sync && echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; then
    caches=cold
else
    caches=warm
fi
prepare() { # <folder>...
    sync
    if [ "$caches" = cold ]; then
        echo 3 >/proc/sys/vm/drop_caches
    else
        for folder in "$@"; do find "$folder" -type f -exec cat {} + >/dev/null; done
    fi
}

# warm_up <tree> <scratch folder>: one untimed copy, so that the file system's first allocations
# after the trees were written (bitmaps to read, inodes deleted a moment ago to pass over) are
# charged to no contender.
warm_up() {
    prepare "$1"
    cp -a "$1" "$2"
    # Kept until the end: a deletion now would slow the next allocations of the first contender.
    sync
}

# timed <label> <driver arguments...>: one measurement, appended to the label's file.
timed() {
    label=$1
    shift
    line=$("$bench" "$@") || { echo "failed: $label: $line" >&2; exit 1; }
    echo "$line" | awk '{ print $2, $4 }' >>"$work/times.$label"
}
median() { # <label> <column: 1 seconds, 2 peak KiB>
    sort -n -k"$2","$2" "$work/times.$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}
ratio() { # <label> <reference label> <target text> <description>
    awk -v a="$(median "$1" 1)" -v b="$(median "$2" 1)" -v t="$3" -v d="$4" -v l1="$1" -v l2="$2" \
        'BEGIN { printf "  %-58s %8.3f s vs %8.3f s  %5.2fx   target %s\n", d " (" l1 " / " l2 ")", a, b, a / b, t }'
}
peak() { # <label> <target text> <description>
    awk -v k="$(median "$1" 2)" -v t="$2" -v d="$3" \
        'BEGIN { printf "  %-58s %8.1f MiB                     target %s\n", d, k / 1024, t }'
}
# The contenders of round r (from 0) in turn, so that none always runs first.
turn() { # <round> <contender>...
    _turn=$(($1 % ($# - 1)))
    shift
    while [ "$_turn" -gt 0 ]; do
        _head=$1
        shift
        set -- "$@" "$_head"
        _turn=$((_turn - 1))
    done
    echo "$@"
}
