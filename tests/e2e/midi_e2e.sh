#!/usr/bin/env bash
# End-to-end runs of `briscatool send` and `briscatool monitor` against a JACK server, with
# jack_midi_tool at the far end.
#
#   midi_e2e.sh send BUILD SOURCE          files down-loaded byte for byte, chunk by chunk
#   midi_e2e.sh server-loss BUILD SOURCE   a server killed mid-file ends the send promptly
#   midi_e2e.sh monitor BUILD SOURCE       messages sent in appear as monitor lines
#   midi_e2e.sh send-faults BUILD SOURCE   a cut-short file fails the send; a second sender
#                                          to the port is refused; Ctrl-C twice mid-message
#                                          leaves the far end with a lone F7
#   midi_e2e.sh signals BUILD SOURCE       SIGTERM, SIGHUP, SIGINT end monitor and the window
#                                          with their JACK ports closed; the server answers on
#
# send and monitor use the server of the jack_server test fixture; server-loss starts one of
# its own, as it kills it.
set -euo pipefail
scenario=$1
build=$(cd "$2" && pwd)
source_dir=$(cd "$3" && pwd)
tool=$build/tests/e2e/jack_midi_tool
briscatool=$build/app/briscatool
work=$build/e2e-midi/$scenario
rm -rf "$work" && mkdir -p "$work"
export JACK_NO_START_SERVER=1

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

use_server_env() {
  set -a
  # shellcheck disable=SC1090
  . "$1"
  set +a
}

wait_for_port() {
  for _ in $(seq 200); do
    jack_lsp 2>/dev/null | grep -qx "$1" && return 0
    sleep 0.05
  done
  echo "port $1 never appeared" >&2
  return 1
}

now_ms() { date +%s%3N; }

# True once process $1 catches SIGTERM (its handler is in place).
catches_term() {
  local mask
  mask=$(awk '/^SigCgt:/ { print $2 }' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$mask" ] && (((0x$mask >> 14) & 1))
}

# Sends signal $2 to process $1 (named $3) whose JACK ports start with $4; it must end within
# 5 s with exit ${5:-0}, its ports gone, and the server must still answer another client at once.
end_by_signal() {
  local pid=$1 sig=$2 what=$3 ports=$4 expected=${5:-0} start status=0
  for _ in $(seq 200); do
    catches_term "$pid" && jack_lsp 2>/dev/null | grep -q "^$ports" && break
    sleep 0.05
  done
  jack_lsp | grep -q "^$ports" || { echo "$what never opened $ports" >&2; return 1; }
  start=$(now_ms)
  kill -"$sig" "$pid"
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "$what still runs 5 s after SIG$sig" >&2
    kill -KILL "$pid"
    return 1
  fi
  wait "$pid" || status=$?
  echo "SIG$sig: $what ended after $(($(now_ms) - start)) ms (checked every 50 ms), exit $status"
  [ "$status" -eq "$expected" ] || return 1
  start=$(now_ms)
  timeout 3 jack_lsp >"$work/after.txt" || { echo "the server no longer answers" >&2; return 1; }
  echo "  jack_lsp answered after $(($(now_ms) - start)) ms"
  ! grep -q "^$ports" "$work/after.txt" || { echo "$ports still open" >&2; return 1; }
}

# Sends FILES to a receiving port and checks what arrived; prints the pace.
send_and_check() {
  "$tool" receive e2e-recv "$work/record.txt" &
  local receiver=$!
  pids+=("$receiver")
  wait_for_port e2e-recv:in
  local start end status=0
  start=$(now_ms)
  "$briscatool" send --midi-out "e2e-recv:in" "$@" 2>"$work/send.err" || status=$?
  end=$(now_ms)
  sleep 0.2
  kill -TERM "$receiver"
  wait "$receiver"
  cat "$work/send.err"
  [ "$status" -eq 0 ] || { echo "briscatool send exited $status" >&2; return 1; }
  "$tool" check "$work/record.txt" 44100 "$@" | tee "$work/check.txt"
  local chunks
  chunks=$(wc -l <"$work/record.txt")
  awk -v ms=$((end - start)) -v n="$chunks" 'BEGIN {
    printf "pace: %d chunks in %.3f s, (chunks + 1) x 70 ms = %.3f s, ratio %.4f\n",
      n, ms / 1000, (n + 1) * 0.07, ms / 1000 / ((n + 1) * 0.07) }'
}

case $scenario in
  send)
    use_server_env "$build/servers/jack.env"
    "$tool" make-sysex "$work/odd.mid" 200 201 400 5 1173
    send_and_check "$source_dir/examples/hat.mid" "$work/odd.mid"
    ;;

  server-loss)
    bash "$source_dir/scripts/jack-server" start "$work/server" >/dev/null
    use_server_env "$work/server/jack.env"
    "$tool" receive e2e-recv "$work/record.txt" &
    pids+=($!)
    wait_for_port e2e-recv:in
    "$briscatool" send --midi-out "e2e-recv:in" "$source_dir/examples/kick.mid" \
      2>"$work/send.err" &
    sender=$!
    sleep 1.5
    kill -KILL "$(cat "$work/server/jack.pid")"
    killed=$(now_ms)
    status=0
    for _ in $(seq 100); do
      kill -0 "$sender" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$sender" 2>/dev/null; then
      echo "briscatool send still runs 10 s after the server was killed" >&2
      kill -KILL "$sender"
      exit 1
    fi
    wait "$sender" || status=$?
    echo "briscatool send ended $(($(now_ms) - killed)) ms after the server was killed" \
      "(checked every 100 ms), exit $status"
    bash "$source_dir/scripts/jack-server" stop "$work/server" >/dev/null
    cat "$work/send.err"
    [ "$status" -ne 0 ] || { echo "a send cut short exited 0" >&2; exit 1; }
    grep -q "kick.mid: cut short, not sent completely" "$work/send.err"
    ! grep -q "kick.mid: sent" "$work/send.err"
    ;;

  send-faults)
    use_server_env "$build/servers/jack.env"
    export XDG_RUNTIME_DIR=$work/run  # the send locks of this run only
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    "$tool" receive e2e-recv "$work/record.txt" &
    receiver=$!
    pids+=("$receiver")
    wait_for_port e2e-recv:in

    # A sound cut in half on disk: what it holds goes out, then the send names it and fails.
    "$tool" make-sound "$work/whole.mid" 10
    head -c $(($(stat -c %s "$work/whole.mid") / 2)) "$work/whole.mid" >"$work/cut.mid"
    status=0
    "$briscatool" send --midi-out e2e-recv:in "$work/cut.mid" 2>"$work/cut.err" || status=$?
    cat "$work/cut.err"
    [ "$status" -eq 1 ] || { echo "a cut-short file: exit $status" >&2; exit 1; }
    grep -q "^cut.mid: ends after 4 of 10 blocks; damaged, not sent completely" "$work/cut.err"
    ! grep -q "cut.mid: sent" "$work/cut.err"
    grep -q "^Sent 0 of 1 file" "$work/cut.err"

    # Long messages, so that the stop below falls inside one.
    "$tool" make-sysex "$work/long.mid" 5000 5000 5000 5000
    "$briscatool" send --midi-out e2e-recv:in "$work/long.mid" 2>"$work/first.err" &
    first=$!
    pids+=("$first")
    for _ in $(seq 200); do
      grep -q "Total Blocks" "$work/first.err" && break
      sleep 0.05
    done
    status=0
    "$briscatool" send --midi-out e2e-recv:in "$work/whole.mid" 2>"$work/second.err" || status=$?
    cat "$work/second.err"
    [ "$status" -eq 1 ] || { echo "a second sender: exit $status" >&2; exit 1; }
    grep -q "Another BriscaTool (process $first) is sending to \"JACK: e2e-recv:in\"" \
      "$work/second.err"

    # Ctrl-C twice: the first send stops at once, inside a message, and ends it with a lone F7.
    kill -INT "$first"
    sleep 0.3
    kill -INT "$first"
    status=0
    wait "$first" || status=$?
    cat "$work/first.err"
    [ "$status" -ne 0 ] || { echo "a send stopped at once exited 0" >&2; exit 1; }
    sleep 0.2
    kill -TERM "$receiver"
    wait "$receiver"
    last=$(tail -n 1 "$work/record.txt" | cut -d' ' -f2-)
    echo "last event at the far end: $last"
    [ "$last" = "f7" ] || { echo "the far end was left inside a message" >&2; exit 1; }
    ;;

  monitor)
    use_server_env "$build/servers/jack.env"
    "$tool" send e2e-src "90 3c 00" "c5 07" "f0 01 02 03 04 05 06 07 08 f7" "fe" "e3 00 40" &
    sender=$!
    pids+=("$sender")
    wait_for_port e2e-src:out
    "$briscatool" monitor --midi-in "e2e-src:out" --count 5 --seconds 20 >"$work/monitor.out"
    wait "$sender"
    cat "$work/monitor.out"
    diff - "$work/monitor.out" <<'LINES'
Note Off: 90 3c 00 
Prog Chg: c5 07 
System Exclusive: f0 01 02 03 04 05 06 ... f7   [10]
Real Time: fe 
Pitch Bend: e3 00 40 
LINES
    ;;

  signals)
    use_server_env "$build/servers/jack.env"
    "$tool" receive e2e-sig-recv "$work/record.txt" &
    pids+=($!)
    wait_for_port e2e-sig-recv:in
    for sig in TERM HUP INT; do
      "$tool" send "e2e-sig-$sig" "fe" &
      pids+=($!)
      wait_for_port "e2e-sig-$sig:out"
      "$briscatool" monitor --midi-in "e2e-sig-$sig:out" >"$work/monitor-$sig.out" &
      end_by_signal $! "$sig" "briscatool monitor" "BriscaTool in"
    done
    # A down-load stopped at once: the file is not sent completely (exit 1).
    "$briscatool" send --midi-out e2e-sig-recv:in "$source_dir/examples/kick.mid" \
      2>"$work/send.err" &
    end_by_signal $! TERM "briscatool send" "BriscaTool out" 1
    cat "$work/send.err"
    grep -q "kick.mid: cut short, not sent completely" "$work/send.err"
    # The window with its remembered MIDI in and out open.
    export XDG_CONFIG_HOME=$work/config
    mkdir -p "$XDG_CONFIG_HOME/Osmira"
    "$tool" send e2e-sig-win "fe" &
    pids+=($!)
    wait_for_port e2e-sig-win:out
    printf '[General]\nMIDIin=JACK: e2e-sig-win:out\nMIDIout=JACK: e2e-sig-recv:in\n' \
      >"$XDG_CONFIG_HOME/Osmira/Pelorin.conf"
    QT_QPA_PLATFORM=offscreen "$briscatool" "$source_dir/examples" 2>"$work/window.err" &
    window=$!
    for _ in $(seq 200); do
      jack_lsp 2>/dev/null | grep -q "^BriscaTool out" && break
      sleep 0.05
    done
    end_by_signal "$window" TERM "the window" "BriscaTool"
    ;;

  *)
    echo "unknown scenario $scenario" >&2
    exit 2
    ;;
esac
