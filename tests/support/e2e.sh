# shellcheck shell=bash
# What the end-to-end scripts share (sourced, after `set -euo pipefail`): whatever way a script
# ends (done, failed, timed out and killed by SIGTERM), the processes it started in the
# background end with it and the JACK servers it started stop, so nothing is left holding ports,
# locks or servers for the tests after it. Waits poll for an event and fail only when it clearly
# hung (E2E_HANG_S seconds), never on slowness: the machines that run them are busy.
#
#   e2e_keep_on_failure BUILD NAME WORK
#                                keeps WORK (the script's output in WORK/output.log, its
#                                programs' files) and the logs of the servers it used in
#                                BUILD/e2e-failures/NAME-DATE-PID when the script fails
#   e2e_track PID...             ends PID with the script (only while it is still its child)
#   e2e_start_jack DIR           a private JACK server, stopped with the script; its variables set
#   e2e_use_jack DIR             the variables of a running server's DIR/jack.env, and a client
#                                that keeps its port list for jack_ports
#   e2e_wait_for WHAT CMD...     runs CMD until it succeeds; fails naming WHAT after the limit
#   wait_for_port NAME           until the JACK port NAME is listed
#   wait_for_connection A B      until the JACK port A is connected to the port B
#   e2e_end_by_signal PID SIG WHAT
#                                sends SIG once PID catches it; sets e2e_status (its exit) and
#                                e2e_ms (how long it took to end); fails only on a hang
: "${E2E_HANG_S:=30}"
e2e_lib_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
e2e_jack_server=$e2e_lib_dir/../../scripts/jack-server
e2e_pids=()
e2e_servers=()       # started here, stopped at the end
e2e_used_servers=()  # every server whose log is kept on failure
e2e_keep=()          # BUILD NAME WORK, once e2e_keep_on_failure ran
e2e_tee=
e2e_status=0
e2e_ms=0

now_ms() { date +%s%3N; }

e2e_track() { e2e_pids+=("$@"); }

# True while process $1 is a child of this shell not yet waited for: a pid that was waited for
# may since have gone to any other process on the machine.
e2e_own_child() { [ "$(ps -o ppid= -p "$1" 2>/dev/null | tr -d ' ')" = "$$" ]; }

e2e_cleanup() {
  local status=$? pid dir deadline
  trap - EXIT TERM INT HUP
  for pid in "${e2e_pids[@]}"; do
    if e2e_own_child "$pid"; then kill -TERM "$pid" 2>/dev/null || true; fi
  done
  deadline=$(($(now_ms) + 5000))
  for pid in "${e2e_pids[@]}"; do
    e2e_own_child "$pid" || continue
    while e2e_running "$pid" && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.05; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  for dir in "${e2e_servers[@]}"; do
    kill -CONT "$(cat "$dir/jack.pid" 2>/dev/null)" 2>/dev/null || true  # a server stopped by a test
    bash "$e2e_jack_server" stop "$dir" >/dev/null || true
  done
  [ "$status" -eq 0 ] || [ ${#e2e_keep[@]} -eq 0 ] || e2e_keep_run "$status"
  return "$status"
}

# Copies what a failed run saw to a folder of its own, which no later run overwrites.
e2e_keep_run() {
  local build=${e2e_keep[0]} name=${e2e_keep[1]} work=${e2e_keep[2]} kept dir deadline
  kept=$build/e2e-failures/$name-$(date +%Y%m%d-%H%M%S)-$$
  echo "$name failed (exit $1); what it saw is kept in $kept" >&2
  # The output log is whole once its tee has read everything: the script's own output ends here.
  exec >/dev/null 2>&1
  deadline=$(($(now_ms) + 5000))
  while [ -n "$e2e_tee" ] && kill -0 "$e2e_tee" 2>/dev/null && [ "$(now_ms)" -lt "$deadline" ]; do
    sleep 0.05
  done
  mkdir -p "$kept"
  cp -a "$work/." "$kept/" || true
  for dir in "${e2e_used_servers[@]}"; do
    case $dir/ in "$work"/*) continue ;; esac  # copied with the work folder
    mkdir -p "$kept/servers/$(basename "$dir")"
    cp -a "$dir"/*.log "$kept/servers/$(basename "$dir")/" || true
  done
}

e2e_keep_on_failure() {
  e2e_keep=("$1" "$2" "$3")
  exec > >(tee -a "$3/output.log") 2>&1
  e2e_tee=$!
}

trap e2e_cleanup EXIT
# ctest ends a test that runs too long with SIGTERM: the EXIT trap still runs.
trap 'exit 143' TERM
trap 'exit 130' INT
trap 'exit 129' HUP

e2e_use_jack() {
  e2e_used_servers+=("$1")
  set -a
  # shellcheck disable=SC1091
  . "$1/jack.env"
  set +a
  e2e_start_lister "$1"
}

# One client that stays, listing the server's ports into DIR/ports.txt for jack_ports (see
# tests/e2e/jack_port_lister.cpp for why the waits no longer start a jack_lsp each time).
declare -A e2e_listers
e2e_start_lister() {
  local lister=${build:-}/tests/e2e/jack_port_lister
  [ -x "$lister" ] || return 0
  e2e_lister_running || {
    rm -f "$1/ports.txt"
    "$lister" "$1/ports.txt" &
    e2e_listers[$JACK_DEFAULT_SERVER]="$! $1/ports.txt"
    e2e_track "$!"
  }
  e2e_wait_for "the port list of $1" eval "[ -f '$1/ports.txt' ] || ! e2e_lister_running"
}
# True while the current server's lister runs; sets e2e_lister_file.
e2e_lister_running() {
  local entry=${e2e_listers[${JACK_DEFAULT_SERVER:-}]:-}
  [ -n "$entry" ] && e2e_running "${entry%% *}" && e2e_lister_file=${entry#* }
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
# `jack_lsp | grep -q` fails under pipefail when grep leaves early. Only a hang is cut short: a
# client killed while the server adds or removes it leaves a synchronous server stalled for
# seconds and its engine disordered (seen on a busy machine with a 10 s limit). `jack_ports -c A`
# lists A and each port connected to it, as jack_lsp does. The lister's copy is at most 20 ms
# old, which a wait only takes as a little longer.
# shellcheck disable=SC2120
jack_ports() {
  if e2e_lister_running && [ -f "$e2e_lister_file" ]; then
    if [ "${1:-}" = -c ]; then
      awk -v port="$2" '!/^   / { on = $0 == port } on' "$e2e_lister_file"
    else
      grep -v '^   ' "$e2e_lister_file" || true
    fi
  else
    timeout "$E2E_HANG_S" jack_lsp "$@" 2>/dev/null || true
  fi
}
# shellcheck disable=SC2119
has_port() { grep -qx -- "$1" <<<"$(jack_ports)"; }
# shellcheck disable=SC2119
has_port_starting() { grep -q -- "^$1" <<<"$(jack_ports)"; }
no_port_starting() { ! has_port_starting "$1"; }
wait_for_port() { e2e_wait_for "port $1" has_port "$1"; }
# The last step of opening a device: until then its program may still wait on the server.
# `jack_lsp -c A` lists A, then each port connected to it indented by three spaces.
has_connection() { grep -qx -- "   $2" <<<"$(jack_ports -c "$1")"; }
wait_for_connection() { e2e_wait_for "$1 connected to $2" has_connection "$1" "$2"; }

# True once process $1 catches SIGTERM (its handler is in place).
catches_term() {
  local mask
  mask=$(awk '/^SigCgt:/ { print $2 }' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$mask" ] && (((0x$mask >> 14) & 1))
}

# A zombie (ended, not yet waited for) counts as ended.
e2e_running() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
  [[ $state != Z* ]]
}
e2e_ended() { ! e2e_running "$1"; }

# Writes where each thread of a hung process $1 is to the kept work folder (stacks-PID.txt), when
# gdb is there to ask.
e2e_stacks() {
  local out=${e2e_keep[2]:-/tmp}/stacks-$1.txt
  command -v gdb >/dev/null || return 0
  timeout 60 gdb -batch -p "$1" -ex 'thread apply all bt' >"$out" 2>&1 || true
  echo "  where its threads were: $out" >&2
}

e2e_end_by_signal() {
  local pid=$1 sig=$2 what=$3 start
  e2e_track "$pid"
  e2e_wait_for "$what catching signals" eval "catches_term $pid || e2e_ended $pid" || return 1
  if e2e_ended "$pid"; then
    wait "$pid" && e2e_status=0 || e2e_status=$?
    echo "$what ended by itself (exit $e2e_status) before SIG$sig" >&2
    return 1
  fi
  start=$(now_ms)
  kill -"$sig" "$pid"
  if ! e2e_wait_for "$what ending after SIG$sig" e2e_ended "$pid"; then
    e2e_stacks "$pid"
    kill -KILL "$pid" 2>/dev/null || true
    return 1
  fi
  e2e_ms=$(($(now_ms) - start))
  e2e_status=0
  wait "$pid" || e2e_status=$?
  echo "SIG$sig: $what ended after $e2e_ms ms (checked every 50 ms), exit $e2e_status"
}
