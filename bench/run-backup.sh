#!/bin/sh
# Backup benchmarks, every ratio measured in the same run on the same trees:
#   - a first folder-copy backup of 20,000 files (0 to 256 KiB) and four 64 MiB files against
#     `cp -a` and `rsync -a`;
#   - a no-change incremental re-run over 100,000 files against `rsync -a` over the unchanged
#     tree, and the peak memory of that re-run;
#   - a zip backup of the first tree against `zip -r -q` at the same compression level (the
#     library's default, which is zlib's 6).
#   - with "handoff": the first folder-copy backup of 20,000 files (no large files) with its
#     events queued and drained on another thread, as the tray program takes them, against the
#     same backup handling its events on the worker, alone.
# The trees live in a fresh folder below /tmp that is deleted afterwards. Each figure is the
# median of the rounds; the order of the contenders turns round by round.
#   bench/run-backup.sh [build folder] [rounds] [first|handoff]   ("first": the first backup alone)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-"$here/../build"}
rounds=${2:-3}
only=${3:-all}
. "$here/bench-common.sh"

src="$work/src"
first="$src/first"
many="$src/many"
out="$work/out"
echo "trees in $work, $rounds rounds, caches $caches"
if [ "$only" = handoff ]; then
    "$bench" tree "$first" 20000 262144
else
    "$bench" tree "$first" 20000 262144 4 64
fi
[ "$only" != all ] || "$bench" tree "$many" 100000 4096
sync

# contest <contender>...: each round runs every contender once on an empty output folder of its
# own. Outputs are deleted only after the last round: ext4 passes over recently deleted inodes
# when it allocates new ones, so deleting the last output right before a step would charge that
# step for its predecessor.
contest() {
    warm_up "$first" "$work/warm-up"
    r=0
    while [ "$r" -lt "$rounds" ]; do
        for who in $(turn "$r" "$@"); do
            out="$work/out/$r-$who"
            mkdir -p "$out"
            prepare "$first"
            contender "$who"
        done
        r=$((r + 1))
    done
    rm -rf "$work/out"
    sync
}

# --- the queued hand-off -------------------------------------------------------------------------
if [ "$only" = handoff ]; then
    contender() {
        case $1 in
        in-place) timed in-place copy "$first" "$out/Backup" "$out/Config/Job.Udb" ;;
        queued) timed queued copy-queued "$first" "$out/Backup" "$out/Config/Job.Udb" ;;
        esac
    }
    contest queued in-place
    echo
    echo "medians of $rounds rounds:"
    ratio queued in-place "<= 1.10x" "first backup, 20,000 files, events queued"
    exit 0
fi

# --- first backup ------------------------------------------------------------------------------
contender() {
    case $1 in
    drivlet) timed drivlet copy "$first" "$out/Backup" "$out/Config/Job.Udb" ;;
    cp) timed cp run cp -a "$first" "$out/Backup" ;;
    rsync) timed rsync run rsync -a "$first/" "$out/Backup/" ;;
    esac
}
contest drivlet cp rsync
if [ "$only" = first ]; then
    echo
    echo "medians of $rounds rounds:"
    ratio drivlet cp "<= 1.15x" "first backup, 20,000 files + 4 x 64 MiB"
    ratio drivlet rsync "< 1.00x" "first backup, 20,000 files + 4 x 64 MiB"
    exit 0
fi

# --- zip backup --------------------------------------------------------------------------------
contender() {
    case $1 in
    drivlet-zip) timed drivlet-zip zip "$first" "$out/Backup" "$out/Config/Job.Udb" ;;
    zip) timed zip run zip -r -q -6 "$out/Backup.zip" "$first" ;;
    esac
}
contest drivlet-zip zip

# --- no-change re-run --------------------------------------------------------------------------
mkdir -p "$work/ours" "$work/theirs"
"$bench" copy "$many" "$work/ours/Backup" "$work/ours/Config/Job.Udb" >/dev/null
rsync -a "$many/" "$work/theirs/"
r=0
while [ "$r" -lt "$rounds" ]; do
    for who in $(turn "$r" drivlet-rerun rsync-rerun); do
        prepare "$many"
        case $who in
        drivlet-rerun) timed drivlet-rerun copy "$many" "$work/ours/Backup" "$work/ours/Config/Job.Udb" ;;
        rsync-rerun) timed rsync-rerun run rsync -a "$many/" "$work/theirs/" ;;
        esac
    done
    r=$((r + 1))
done

echo
echo "medians of $rounds rounds:"
ratio drivlet cp "<= 1.15x" "first backup, 20,000 files + 4 x 64 MiB"
ratio drivlet rsync "< 1.00x" "first backup, 20,000 files + 4 x 64 MiB"
ratio drivlet-zip zip "<= 1.00x" "zip backup of the same tree, level 6"
ratio drivlet-rerun rsync-rerun "<= 1.00x" "no-change re-run, 100,000 files"
peak drivlet-rerun "<= 64 MiB" "peak memory of the re-run"
