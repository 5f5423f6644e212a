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

# True once the process catches SIGTERM (its handler is in place).
catches_term() {
  local mask
  mask=$(awk '/^SigCgt:/ { print $2 }' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$mask" ] && (((0x$mask >> 14) & 1))
}

for sig in TERM HUP INT; do
  QT_QPA_PLATFORM=offscreen "$bin" "$examples" 2>"$work/$sig.err" &
  pid=$!
  for _ in $(seq 200); do
    catches_term "$pid" && break
    sleep 0.05
  done
  sleep 0.5  # the window up and its command line gathered
  start=$(date +%s%3N)
  kill -"$sig" "$pid"
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "the window still runs 5 s after SIG$sig" >&2
    kill -KILL "$pid"
    exit 1
  fi
  status=0
  wait "$pid" || status=$?
  echo "SIG$sig: the window ended after $(($(date +%s%3N) - start)) ms (checked every 50 ms), exit $status"
  [ "$status" -eq 0 ] || { cat "$work/$sig.err" >&2; exit 1; }
done
