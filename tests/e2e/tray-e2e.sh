#!/bin/bash
# The tray program on a real X desktop: it comes up with its icon in a tray, a second start leaves
# the first alone and exits, and the tray menu is photographed. Then drives arrive as tmpfs mounts:
# a known drive opens its window, a drive-insertion schedule runs a backup on arrival (its window
# with the finished tab is photographed) and a two-way sync asks its conflicts in the conflict
# window (photographed too); a termination signal then cancels the waiting sync and ends cleanly.
# Usage: tray-e2e.sh <drivlet program> <drivlet-cli> <screenshot folder>. Exit 77: the desktop
# tools are missing, or mounting is refused (after the parts that need no mount have passed).
set -u

program=${1:?the drivlet program}
cli=${2:?the drivlet-cli program}
shots=${3:?a folder for the screenshots}

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
    exec dbus-run-session -- xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

work=$(mktemp -d)
pids=()
mounts=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
    for point in "${mounts[@]}"; do
        umount -l "$point" 2>/dev/null
    done
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
# A sysfs tree of the test's own for the Open Drive dialog: filled once the drives are mounted.
export DRIVLET_SYS_ROOT=$work/sys
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

# A small window manager, so that titles and decorations show as a user sees them.
if command -v openbox >/dev/null 2>&1; then
    openbox >"$work/openbox.log" 2>&1 &
    pids+=($!)
fi
trayer --edge bottom --align right --widthtype request --height 32 --transparent false --SetDockType true --SetPartialStrut true >"$work/trayer.log" 2>&1 &
pids+=($!)
timeout 60 xdotool search --sync --classname panel >/dev/null || fail "trayer did not come up"

"$program" -autorun >"$work/first.log" 2>&1 &
first=$!
pids+=("$first")
# The splash shows until the start is complete, two seconds on; then the icon is docked.
mkdir -p "$shots"
splash=$(timeout 60 xdotool search --sync --onlyvisible --name "^Drivlet splash$" | head -n 1)
[ -n "$splash" ] || fail "no splash appeared"
import -window root "$shots/splash.png" || fail "the screenshot could not be taken"
echo "splash: window $splash; screenshot $shots/splash.png"
timeout 60 bash -c "while xdotool search --onlyvisible --name '^Drivlet splash$' >/dev/null; do sleep 0.1; done" ||
    fail "the splash did not go"
# The ready balloon comes with it, a bigger window of the program: the icon is the smallest.
smallest_window() {
    for w in $(timeout 60 xdotool search --sync --onlyvisible --classname drivlet); do
        xdotool getwindowgeometry "$w" | awk -v w="$w" '/Geometry/ { split($2, a, "x"); print a[1] * a[2], w }'
    done | sort -n | head -n 1 | cut -d' ' -f2
}
icon=$(smallest_window)
[ -n "$icon" ] || fail "no tray icon appeared"
echo "tray icon: window $icon"
# The balloon saying the program is ready, beside the icon.
if timeout 20 bash -c 'until [ "$(xdotool search --onlyvisible --classname drivlet | wc -l)" -ge 2 ]; do sleep 0.1; done'; then
    import -window root "$shots/ready-balloon.png" || fail "the screenshot could not be taken"
    echo "ready balloon: screenshot $shots/ready-balloon.png"
else
    fail "no ready balloon appeared"
fi

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
# The ready balloon is a window of the program too: the icons are the windows of the icon's size.
icon_size=$(xdotool getwindowgeometry "$icon" | awk '/Geometry/ { print $2 }')
icons=$(for w in $(xdotool search --onlyvisible --classname drivlet); do
    xdotool getwindowgeometry "$w" | awk -v s="$icon_size" '/Geometry/ && $2 == s { print }'
done | wc -l)
[ "$icons" -eq 1 ] || fail "$icons icons ($icon_size) after the second start, not 1"

# Opens the tray menu with a right click on the icon. A click that lands while the window manager
# is still moving the focus opens the menu and closes it at once, and one on the ready balloon only
# closes the balloon, so a missing menu is clicked for again.
open_menu() {
    for _ in 1 2 3; do
        xdotool mousemove --window "$icon" 8 8 click 3
        timeout 10 xdotool search --sync --onlyvisible --name "^Drivlet menu$" >/dev/null && return 0
    done
    return 1
}
# Minimises a window and waits until it is off the screen.
minimise() {
    xdotool windowminimize "$1"
    timeout 60 bash -c "while xdotool search --onlyvisible --name '$2' >/dev/null; do sleep 0.1; done" ||
        fail "the window $2 did not go"
}

# The tray menu: a right click on the icon opens it as a second window of the program.
open_menu || fail "the tray menu did not open"
menu=$(xdotool search --onlyvisible --name "^Drivlet menu$" | head -n 1)
mkdir -p "$shots"
import -window root "$shots/tray-menu.png" || fail "the screenshot could not be taken"
echo "tray menu: window $menu; screenshot $shots/tray-menu.png"

# A click beside the menu closes it.
xdotool mousemove 500 600 click 1
timeout 60 bash -c "while xdotool search --onlyvisible --name '^Drivlet menu$' >/dev/null; do sleep 0.1; done" ||
    fail "the tray menu did not close"

# The menu's Options (the second item) opens the Options window, and About (the sixth) the About
# window; each is minimised again afterwards.
open_menu || fail "the tray menu did not open again"
xdotool key Down Down Return
options=$(timeout 60 xdotool search --sync --onlyvisible --name "^Options$" | head -n 1)
[ -n "$options" ] || fail "the Options window did not open"
import -window root "$shots/options.png" || fail "the screenshot could not be taken"
echo "options: window $options; screenshot $shots/options.png"
minimise "$options" "^Options$"

open_menu || fail "the tray menu did not open again"
xdotool key Down Down Down Down Down Down Return
about=$(timeout 60 xdotool search --sync --onlyvisible --name "^About Drivlet$" | head -n 1)
[ -n "$about" ] || fail "the About window did not open"
import -window root "$shots/about.png" || fail "the screenshot could not be taken"
echo "about: window $about; screenshot $shots/about.png"
minimise "$about" "^About Drivlet$"

# Drives are tmpfs mounts, so the program sees each arrive in the mount table as a stick would.
# Each is filled at a staging point first and then bound where it "arrives", whole.
mkdir -p "$work/stage"
if ! mount -t tmpfs -o size=64m drivlet-e2e "$work/stage" 2>/dev/null; then
    echo "SKIP: mounting a tmpfs as a drive is refused here (needs root); the drive arrivals were not tried"
    kill -TERM "$first"
    exit 77
fi
mounts+=("$work/stage")

id=$("$cli" id) || fail "drivlet-cli id failed"
home=$work/home
mkdir -p "$home/Documents/Letters" "$home/Synced"
echo "Dear Alice," >"$home/Documents/Letters/alice.txt"
echo "Shopping: milk, bread" >"$home/Documents/notes.txt"

# A drive folder (on the staging tmpfs) that knows this computer, with one job given as JSON.
stage_drive() { # name job-file-name job-json
    local drive=$work/stage/$1
    mkdir -p "$drive/Config" "$drive/Backups" "$drive/Docs"
    printf '{"class": "TDiskConfigFile", "properties": {"PCList": ["%s"]}}' "$id" |
        "$cli" write "$drive/Config/Drive Config.cfg" >/dev/null || fail "the drive config of $1 could not be written"
    printf '%s' "$3" | "$cli" write "$drive/Config/$2" >/dev/null || fail "the job $2 could not be written"
}
backup_json() { # name
    printf '{"class": "TArchiveData", "properties": {"BackupName": "%s", "FolderList": ["%s/"],
      "ArchiveDir": "amPcToUsb", "Destination": "/Backups/", "PCID": "%s", "Port": 21, "Path": "/"}}' \
        "$1" "$home/Documents" "$id"
}
arrive() { # name: the staged drive appears at $work/drives/name
    mkdir -p "$work/drives/$1"
    mount --bind "$work/stage/$1" "$work/drives/$1" || fail "the drive $1 could not be mounted"
    mounts=("$work/drives/$1" "${mounts[@]}")
}
wait_window() { # title pattern; prints the first visible window's id
    timeout 60 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1
}

# A: a known drive with a job and no schedule opens its window.
stage_drive A Documents.Ubk "$(backup_json Documents)"
arrive A
window=$(wait_window "^New Drive Detected. $work/drives/A/\$")
[ -n "$window" ] || fail "the window of the known drive A did not open"
echo "drive A: window $window"
[ -z "$(ls "$work/drives/A/Backups")" ] || fail "a job of drive A ran without a schedule"

# Open Drive lists the drives on USB: the drives' tmpfs stands on a USB stick in the test's sysfs
# tree. The first item of the menu opens it; the first drive is chosen to show its space.
majmin=$(awk -v m="$work/drives/A" '$5 == m { print $3 }' /proc/self/mountinfo | head -n 1)
usb=devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb
mkdir -p "$DRIVLET_SYS_ROOT/$usb" "$DRIVLET_SYS_ROOT/dev/block"
echo 1 >"$DRIVLET_SYS_ROOT/$usb/removable"
ln -s "../../$usb" "$DRIVLET_SYS_ROOT/dev/block/$majmin"
open_menu || fail "the tray menu did not open again"
xdotool key Down Return
dialog=$(timeout 60 bash -c "until xdotool search --onlyvisible --name '^Drivlet\$' 2>/dev/null | grep -vx '$icon'; do sleep 0.1; done" | head -n 1)
[ -n "$dialog" ] || fail "the Open Drive dialog did not open"
xdotool key Down
import -window root "$shots/open-drive.png" || fail "the screenshot could not be taken"
echo "open drive: window $dialog; screenshot $shots/open-drive.png"
xdotool key Escape
timeout 60 bash -c "while xdotool search --onlyvisible --name '^Drivlet\$' 2>/dev/null | grep -vqx '$icon'; do sleep 0.1; done" ||
    fail "the Open Drive dialog did not close"

# B: a drive-insertion schedule runs its backup on arrival, on a tab of the drive's window.
stage_drive B Photos.Ubk "$(backup_json Photos)"
"$cli" schedule add "$work/stage/B/Config/Photos.Ubk" --mode=insertion >/dev/null ||
    fail "the drive-insertion schedule could not be added"
arrive B
window=$(wait_window "^New Drive Detected. $work/drives/B/\$")
[ -n "$window" ] || fail "the window of drive B did not open"
target=$work/drives/B/Backups$home/Documents
timeout 60 bash -c "until [ -f '$target/Letters/alice.txt' ]; do sleep 0.1; done" ||
    fail "the scheduled backup did not copy the files to drive B"
cmp -s "$home/Documents/notes.txt" "$target/notes.txt" || fail "the backup copy of notes.txt differs"
# The finish message ("Job Completed.") is a box of its own, captioned "Drivlet", over the window;
# it is left open (a key sent to it could land in the next window).
box=$(timeout 60 bash -c "until xdotool search --onlyvisible --name '^Drivlet\$' 2>/dev/null | grep -vx '$icon'; do sleep 0.1; done" | head -n 1)
[ -n "$box" ] || fail "no finish message after the scheduled backup"
import -window root "$shots/new-drive-finished-job.png" || fail "the screenshot could not be taken"
echo "drive B: the scheduled backup ran; screenshot $shots/new-drive-finished-job.png"

# C: a two-way sync whose files differ on both sides asks in the conflict window.
sync_json=$(printf '{"class": "TSyncData", "properties": {"SyncName": "Synced", "FolderAList": ["/Docs/"],
  "FolderBList": ["%s/"], "PCID": "%s", "SyncDirection": "sdBidi", "SyncDefaultAction": "sdaAsk"}}' \
    "$home/Synced" "$id")
stage_drive C Synced.Usy "$sync_json"
for name in plan.txt budget.txt; do
    echo "drive copy of $name" >"$work/stage/C/Docs/$name"
    touch -d "2026-01-01 10:00" "$work/stage/C/Docs/$name"
    echo "computer copy of $name" >"$home/Synced/$name"
    touch -d "2026-02-01 10:00" "$home/Synced/$name"
done
"$cli" schedule add "$work/stage/C/Config/Synced.Usy" --mode=insertion >/dev/null ||
    fail "the sync's schedule could not be added"
arrive C
conflicts=$(wait_window "^File Conflicts\$")
[ -n "$conflicts" ] || fail "the conflict window did not open for the sync on drive C"
import -window root "$shots/conflict-window.png" || fail "the screenshot could not be taken"
echo "drive C: conflict window $conflicts; screenshot $shots/conflict-window.png"

# The menu's Schedules (the third item) lists the two drive-insertion schedules.
open_menu || fail "the tray menu did not open again"
xdotool key Down Down Down Return
schedules=$(wait_window "^Schedules\$")
[ -n "$schedules" ] || fail "the Schedules window did not open"
import -window root "$shots/schedules.png" || fail "the screenshot could not be taken"
echo "schedules: window $schedules; screenshot $shots/schedules.png"

# A termination signal cancels the sync waiting on its question and ends in order, with exit
# code 0; neither side's files were touched.
kill -TERM "$first"
timeout 60 tail --pid="$first" -f /dev/null || fail "the program did not end after SIGTERM"
wait "$first"
code=$?
[ "$code" -eq 0 ] || fail "the program ended with $code after SIGTERM"
for name in plan.txt budget.txt; do
    [ "$(cat "$home/Synced/$name")" = "computer copy of $name" ] || fail "the computer's $name changed"
    [ "$(cat "$work/drives/C/Docs/$name")" = "drive copy of $name" ] || fail "the drive's $name changed"
done
echo "PASS"
