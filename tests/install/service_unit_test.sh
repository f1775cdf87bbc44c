#!/usr/bin/env bash
# The gateway's service unit: it reaches a serial adapter by its device class
# (so that one plugged in after the start, or back under another number,
# opens), it restarts whatever ended it, and its sandbox stays tight by
# systemd's own measure.
# Usage: service_unit_test.sh UNIT_FILE
set -euo pipefail
unit_file=$1
limit=2.5
fail=0
say() { echo "service unit: $*" >&2; fail=1; }

grep -q '^DeviceAllow=char-ttyUSB rw$' "$unit_file" || say "no DeviceAllow for the ttyUSB class"
grep -q '^DeviceAllow=%f' "$unit_file" && say "DeviceAllow names the device at start"
grep -q '^Restart=always$' "$unit_file" || say "Restart is not always"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$unit_file" "$work/orbel-gateway@dev-ttyUSB0.service"
report=$(cd "$work" && systemd-analyze security --offline=true --no-pager \
  orbel-gateway@dev-ttyUSB0.service 2>&1) || true
level=$(printf '%s\n' "$report" | sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
if [ -z "$level" ]; then
  printf '%s\n' "$report" >&2
  say "systemd-analyze gave no exposure level"
elif ! awk -v l="$level" -v m="$limit" 'BEGIN { exit !(l < m) }'; then
  printf '%s\n' "$report" | grep '✗' >&2
  say "exposure $level, not under $limit"
fi
exit $fail
