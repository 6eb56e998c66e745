#!/bin/bash
# The tray program on a real X desktop: it comes up with its icon in a tray, a second start leaves
# the first alone and exits, and the tray menu is photographed.
# Usage: tray-e2e.sh <drivlet program> <screenshot folder>. Exit 77: the desktop tools are missing.
set -u

program=${1:?the drivlet program}
shots=${2:?a folder for the screenshots}

if [ "${TRAY_E2E_INNER:-}" != 1 ]; then
    for tool in xvfb-run xauth trayer xdotool import dbus-run-session; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is missing (scripts/setup.sh installs the desktop test tools)"
            exit 77
        fi
    done
    # A private session bus and a private X server; the program finds no status-notifier host
    # there, so its icon docks into trayer.
    export TRAY_E2E_INNER=1
    exec dbus-run-session -- xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    [ -f "$work/first.log" ] && sed 's/^/  drivlet: /' "$work/first.log"
    exit 1
}

# Everything the program keeps goes below the temporary folder.
export ProgramData=$work/data
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

trayer --edge bottom --align right --widthtype request --height 32 --transparent false >"$work/trayer.log" 2>&1 &
pids+=($!)
timeout 60 xdotool search --sync --classname panel >/dev/null || fail "trayer did not come up"

"$program" -autorun >"$work/first.log" 2>&1 &
first=$!
pids+=("$first")
# The icon is shown two seconds after the start; wait for its window to be docked.
icon=$(timeout 60 xdotool search --sync --onlyvisible --classname drivlet | head -n 1)
[ -n "$icon" ] || fail "no tray icon appeared"
echo "tray icon: window $icon"

root="$ProgramData/Quorvane/Drivlet"
for folder in AutoFill ErrorLogs ConfigData Tmp Deleted; do
    [ -d "$root/$folder" ] || fail "the folder $folder was not created"
done
[ -f "$root/ConfigData/ProgramData.udb" ] || fail "the program database was not created"

# A second start asks the first to come to the front and ends; the first runs on.
timeout 60 "$program" >"$work/second.log" 2>&1
code=$?
[ "$code" -eq 0 ] || fail "the second start ended with $code"
kill -0 "$first" 2>/dev/null || fail "the first copy ended"
icons=$(xdotool search --onlyvisible --classname drivlet | wc -l)
[ "$icons" -eq 1 ] || fail "$icons icons after the second start, not 1"

# The tray menu: a right click on the icon opens it as a second window of the program.
xdotool mousemove --window "$icon" 8 8 click 3
menu=$(timeout 60 xdotool search --sync --onlyvisible --name "^Drivlet menu$" | head -n 1)
[ -n "$menu" ] || fail "the tray menu did not open"
mkdir -p "$shots"
import -window root "$shots/tray-menu.png" || fail "the screenshot could not be taken"
echo "tray menu: window $menu; screenshot $shots/tray-menu.png"

# A termination signal ends it in order, with exit code 0 (no jobs to wait for here).
kill -TERM "$first"
timeout 60 tail --pid="$first" -f /dev/null || fail "the program did not end after SIGTERM"
wait "$first"
code=$?
[ "$code" -eq 0 ] || fail "the program ended with $code after SIGTERM"
echo "PASS"
