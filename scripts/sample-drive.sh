#!/usr/bin/env bash
# Makes a sample drive folder with a "Config" folder, a "Drive Config.cfg" that knows this
# computer, and a backup job of a sample folder, shows the job as the program reads it, and runs
# it: the copies land in the drive's "Backups" folder.
# Usage: scripts/sample-drive.sh [FOLDER]   (default: a new folder below /tmp)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${DRIVLET_CLI:-build/src/cli/drivlet-cli}
[ -x "$cli" ] || { echo "build first: bash scripts/setup.sh" >&2; exit 1; }

base=${1:-$(mktemp -d /tmp/drivlet-sample-XXXXXX)}
drive="$base/STICK"
source="$base/Documents"
mkdir -p "$drive/Config" "$drive/Backups" "$source/Letters"
echo "Dear Alice," > "$source/Letters/alice.txt"
echo "Shopping: milk, bread" > "$source/notes.txt"
export ProgramData="$base/ProgramData"
# The folder stands for a mounted drive, which job files must otherwise be on.
export DRIVLET_DRIVE_FOLDERS="$drive"

id=$("$cli" id)
printf '{"class": "TDiskConfigFile", "properties": {"PCList": ["%s"]}}' "$id" |
  "$cli" write "$drive/Config/Drive Config.cfg"
printf '{"class": "TArchiveData", "properties": {"BackupName": "Documents", "FolderList": ["%s/"],
  "ArchiveDir": "amPcToUsb", "Destination": "/Backups/", "PCID": "%s", "Port": 21, "Path": "/"}}' \
  "$source" "$id" | "$cli" write "$drive/Config/Documents.Ubk"

echo "computer: $id"
echo "drive:    $drive/"
ls -la "$drive/Config"
"$cli" show "$drive/Config/Documents.Ubk"
echo "--- running the job"
"$cli" run "$drive/Config/Documents.Ubk"
echo "--- the backup on the drive"
find "$drive/Backups" -type f | sort
