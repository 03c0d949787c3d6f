#!/usr/bin/env bash
# Starts the GUI program as root on a fresh data folder under a virtual display, manual and all, as
# the README's first command does in a container. Passes when the main window is on the screen and
# the data folder is complete. Without root, a user namespace's root stands in: the web engine's
# sandbox refuses that just the same. Exit 77 (skipped) when neither is to be had.
set -euo pipefail
program=$1

if [ "${ROOT_START_INSIDE:-}" != 1 ]; then
  # Its own network namespace where one can be made: nothing started here can reach beyond it.
  if [ "$(id -u)" -eq 0 ]; then
    namespace=(unshare -n)
  else
    namespace=(unshare -r -n)
  fi
  if "${namespace[@]}" true 2>/dev/null; then
    ROOT_START_INSIDE=1 exec "${namespace[@]}" "$0" "$@"
  fi
  # A container's root may not make namespaces; it is root all the same, and the program asks
  # nothing of the network at start-up (no DNS pre-check, no RDAP servers listed).
  if [ "$(id -u)" -ne 0 ]; then
    echo "no root and no user namespace here: skipped"
    exit 77
  fi
fi

[ "$(id -u)" -eq 0 ] || { echo "not root inside the namespace"; exit 1; }
home=$(mktemp -d)
config=$(mktemp -d)
trap 'rm -rf "$home" "$config"' EXIT
# No registry's RDAP server and no DNS resolver; everything else as on a first start.
printf '{"services": []}\n' > "$home/rdap-dns.json"
printf '[Brisquel]\nSettings\\chkDns=0\n' > "$home/settings.ini"
# The program has to turn the sandbox off by itself.
unset QTWEBENGINE_DISABLE_SANDBOX

export XDG_CONFIG_HOME=$config HOME=$config
timeout 120 xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  env -u QT_QPA_PLATFORM "$1" --home "$2" > "$2/program.log" 2>&1 &
  pid=$!
  for _ in $(seq 1 240); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" && status=0 || status=$?
      echo "the program ended before its window was seen (status $status):"
      cat "$2/program.log"
      exit 1
    fi
    if xwininfo -root -tree | grep -q "\"Brisquel by Velmorra\""; then
      # The manual of the first start opened too, beside it.
      sleep 2
      windows=$(xwininfo -root -tree)
      kill "$pid"
      wait "$pid" || true
      grep -q "\"Brisquel by Velmorra\"" <<< "$windows" || { echo "the main window went away"; exit 1; }
      exit 0
    fi
    sleep 0.25
  done
  kill "$pid"
  echo "no main window within a minute:"
  cat "$2/program.log"
  exit 1
' root-start "$program" "$home"

for f in registrars.txt Remembered.txt BrowserSearch.txt wordlists/FullWordList.txt backups; do
  [ -e "$home/$f" ] || { echo "missing $f"; exit 1; }
done
grep -q 'showHelp=0' "$home/settings.ini" || { echo "settings.ini does not record the first start"; exit 1; }
if grep -q -- "--no-sandbox" "$home/program.log"; then
  echo "the web engine refused to run as root:"
  cat "$home/program.log"
  exit 1
fi
echo "started as root and showed the main window"
