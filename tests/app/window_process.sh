#!/usr/bin/env bash
# The window as a process. Started without a usable display it prints one line and exits 1
# (never an abort); SIGTERM, SIGHUP and SIGINT close a running window and it exits 0.
#
#   window_process.sh BRISCATOOL EXAMPLES WORK
set -euo pipefail
bin=$1
examples=$2
work=$3
rm -rf "$work" && mkdir -p "$work"
export XDG_CONFIG_HOME=$work/config  # no remembered devices
export JACK_NO_START_SERVER=1
# shellcheck source=tests/support/e2e.sh
. "$(dirname "$0")/../support/e2e.sh"

expect_no_display() {
  local status=0 out
  out=$("$@" 2>&1 >/dev/null) || status=$?
  echo "$* -> exit $status: $out"
  [ "$status" -eq 1 ] || { echo "expected exit 1" >&2; return 1; }
  [ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || { echo "expected one line" >&2; return 1; }
  [[ $out == "no display: "*"; the commands work without one, see --help" ]] ||
    { echo "unexpected text" >&2; return 1; }
}

expect_no_display env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin" "$examples"
# A display named but not there (no X server listens on this number).
expect_no_display env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:9873 "$bin" "$examples"

for sig in TERM HUP INT; do
  QT_QPA_PLATFORM=offscreen "$bin" "$examples" 2>"$work/$sig.err" &
  pid=$!
  e2e_track "$pid"
  e2e_wait_for "the window catching signals" catches_term "$pid"
  sleep 0.5  # the window up and its command line gathered
  e2e_end_by_signal "$pid" "$sig" "the window"
  [ "$e2e_status" -eq 0 ] || { cat "$work/$sig.err" >&2; exit 1; }
done
