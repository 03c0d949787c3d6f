#!/usr/bin/env bash
# The web engine's own log (Qt's report of its GL set-up, Chromium's ERROR lines, the sandbox
# notice) stays off the terminal unless --verbose asks for it. A first start opens the manual in
# the program's browser window, which starts the engine.
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run NAME [ARGUMENT...]: a first start in a data folder of its own; its standard error in $work/NAME.
run() {
  local name=$1
  shift
  mkdir -p "$work/$name/home" "$work/$name/config"
  # No registry's RDAP server and no DNS resolver.
  printf '{"services": []}\n' > "$work/$name/home/rdap-dns.json"
  printf '[Brisquel]\nSettings\\chkDns=0\n' > "$work/$name/home/settings.ini"
  local status=0
  XDG_CONFIG_HOME=$work/$name/config timeout 90 xvfb-run -a -s "-screen 0 1280x800x24" \
    env -u QT_QPA_PLATFORM "$program" --home "$work/$name/home" --quit-after 6000 "$@" \
    2> "$work/$name.err" || status=$?
  [ "$status" -eq 0 ] || { echo "$name: exit status $status"; cat "$work/$name.err"; exit 1; }
  [ -f "$work/$name/home/Help.html" ] || { echo "$name: no manual to open"; exit 1; }
}

run quiet
if grep -E -q 'qt\.webengine|ERROR:|Sandboxing disabled|Init Parameters' "$work/quiet.err"; then
  echo "the web engine's log reached the terminal:"
  cat "$work/quiet.err"
  exit 1
fi
echo "quiet without --verbose"

run verbose --verbose
grep -q 'qt.webenginecontext' "$work/verbose.err" || { echo "--verbose shows nothing:"; cat "$work/verbose.err"; exit 1; }
echo "--verbose shows the web engine's log"
