#!/usr/bin/env bash
# Starts the GUI program on a virtual display in an empty data folder and lets it quit through
# its normal close path; fails on a crash, a hang or a missing start-up file.
set -euo pipefail
program=$1
home=$(mktemp -d)
config=$(mktemp -d)
trap 'rm -rf "$home" "$config"' EXIT
# No first-start help: a browser must not open during tests.
printf '[Brisquel]\nSettings\\showHelp=0\n' > "$home/settings.ini"
XDG_CONFIG_HOME=$config timeout 60 xvfb-run -a -s "-screen 0 1280x800x24" \
  env -u QT_QPA_PLATFORM "$program" --home "$home" --quit-after 1500
for f in registrars.txt Remembered.txt BrowserSearch.txt wordlists/FullWordList.txt; do
  [ -f "$home/$f" ] || { echo "missing $f"; exit 1; }
done
echo "started and quit cleanly"

# An empty --home would make the current folder the data folder: refused before any window.
current=$(mktemp -d)
trap 'rm -rf "$home" "$config" "$current"' EXIT
status=0
(cd "$current" && XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=offscreen timeout 60 \
  "$program" --home '' --quit-after 1500) 2> "$config/err" || status=$?
[ "$status" -eq 2 ] || { echo "--home '': exit status $status, not 2"; exit 1; }
grep -q -- "--home needs the path of a folder" "$config/err" || { echo "--home '': no message"; cat "$config/err"; exit 1; }
[ -z "$(ls -A "$current")" ] || { echo "--home '' wrote into the current folder"; exit 1; }
echo "an empty --home is refused"
