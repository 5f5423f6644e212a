# shellcheck shell=bash
# What the end-to-end scripts share (sourced, after `set -euo pipefail`): whatever way a script
# ends (done, failed, timed out and killed by SIGTERM), the processes it started in the
# background end with it and the JACK servers it started stop, so nothing is left holding ports,
# locks or servers for the tests after it. Waits poll for an event and fail only when it clearly
# hung (E2E_HANG_S seconds), never on slowness: the machines that run them are busy.
#
#   e2e_track PID...             ends PID with the script
#   e2e_start_jack DIR           a private JACK server, stopped with the script; its variables set
#   e2e_use_jack DIR             the variables of a running server's DIR/jack.env
#   e2e_wait_for WHAT CMD...     runs CMD until it succeeds; fails naming WHAT after the limit
#   wait_for_port NAME           until the JACK port NAME is listed
#   e2e_end_by_signal PID SIG WHAT
#                                sends SIG once PID catches it; sets e2e_status (its exit) and
#                                e2e_ms (how long it took to end); fails only on a hang
: "${E2E_HANG_S:=30}"
e2e_lib_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
e2e_jack_server=$e2e_lib_dir/../../scripts/jack-server
e2e_pids=()
e2e_servers=()
e2e_status=0
e2e_ms=0

now_ms() { date +%s%3N; }

e2e_track() { e2e_pids+=("$@"); }

e2e_cleanup() {
  local pid dir deadline
  trap - EXIT TERM INT HUP
  for pid in "${e2e_pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  deadline=$(($(now_ms) + 5000))
  for pid in "${e2e_pids[@]}"; do
    while kill -0 "$pid" 2>/dev/null && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.05; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  for dir in "${e2e_servers[@]}"; do
    kill -CONT "$(cat "$dir/jack.pid" 2>/dev/null)" 2>/dev/null || true  # a server stopped by a test
    bash "$e2e_jack_server" stop "$dir" >/dev/null || true
  done
}
trap e2e_cleanup EXIT
# ctest ends a test that runs too long with SIGTERM: the EXIT trap still runs.
trap 'exit 143' TERM
trap 'exit 130' INT
trap 'exit 129' HUP

e2e_use_jack() {
  set -a
  # shellcheck disable=SC1091
  . "$1/jack.env"
  set +a
}

e2e_start_jack() {
  e2e_servers+=("$1")
  bash "$e2e_jack_server" start "$1" >/dev/null
  e2e_use_jack "$1"
}

e2e_wait_for() {
  local what=$1 deadline
  shift
  deadline=$(($(now_ms) + E2E_HANG_S * 1000))
  until "$@"; do
    if [ "$(now_ms)" -ge "$deadline" ]; then
      echo "$what: not after ${E2E_HANG_S} s" >&2
      return 1
    fi
    sleep 0.05
  done
}

# The server's ports, one a line (nothing while no server answers). Read whole before matching:
# `jack_lsp | grep -q` fails under pipefail when grep leaves early.
# shellcheck disable=SC2120
jack_ports() { timeout 10 jack_lsp "$@" 2>/dev/null || true; }
# shellcheck disable=SC2119
has_port() { grep -qx -- "$1" <<<"$(jack_ports)"; }
# shellcheck disable=SC2119
has_port_starting() { grep -q -- "^$1" <<<"$(jack_ports)"; }
no_port_starting() { ! has_port_starting "$1"; }
wait_for_port() { e2e_wait_for "port $1" has_port "$1"; }

# True once process $1 catches SIGTERM (its handler is in place).
catches_term() {
  local mask
  mask=$(awk '/^SigCgt:/ { print $2 }' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$mask" ] && (((0x$mask >> 14) & 1))
}

e2e_ended() { ! kill -0 "$1" 2>/dev/null; }

e2e_end_by_signal() {
  local pid=$1 sig=$2 what=$3 start
  e2e_track "$pid"
  e2e_wait_for "$what catching signals" catches_term "$pid"
  start=$(now_ms)
  kill -"$sig" "$pid"
  if ! e2e_wait_for "$what ending after SIG$sig" e2e_ended "$pid"; then
    kill -KILL "$pid" 2>/dev/null || true
    return 1
  fi
  e2e_ms=$(($(now_ms) - start))
  e2e_status=0
  wait "$pid" || e2e_status=$?
  echo "SIG$sig: $what ended after $e2e_ms ms (checked every 50 ms), exit $e2e_status"
}
