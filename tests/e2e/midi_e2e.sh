#!/usr/bin/env bash
# End-to-end runs of `briscatool send` and `briscatool monitor` against a JACK server, with
# jack_midi_tool at the far end.
#
#   midi_e2e.sh send BUILD SOURCE          files down-loaded byte for byte, chunk by chunk; a
#                                          send waiting for its port; devices --watch
#   midi_e2e.sh server-loss BUILD SOURCE   a server killed mid-file ends the send promptly
#   midi_e2e.sh monitor BUILD SOURCE       messages sent in appear as monitor lines
#   midi_e2e.sh send-faults BUILD SOURCE   a cut-short file fails the send; a second sender
#                                          to the port is refused; Ctrl-C twice mid-message
#                                          leaves the far end with a lone F7; an output
#                                          that vanishes mid-file is told
#   midi_e2e.sh signals BUILD SOURCE       SIGTERM, SIGHUP, SIGINT end monitor and the window
#                                          with their JACK ports closed; the server answers on
#   midi_e2e.sh stalled-server BUILD SOURCE
#                                          SIGTERM ends monitor, send and the window while
#                                          their server does not answer
#
# The scenarios use the server of the jack_server test fixture; server-loss and stalled-server
# start one of their own, as they kill or stop it.
set -euo pipefail
scenario=$1
build=$(cd "$2" && pwd)
source_dir=$(cd "$3" && pwd)
tool=$build/tests/e2e/jack_midi_tool
briscatool=$build/app/briscatool
work=$build/e2e-midi/$scenario
rm -rf "$work" && mkdir -p "$work"
export JACK_NO_START_SERVER=1
# shellcheck source=tests/support/e2e.sh
. "$source_dir/tests/support/e2e.sh"
e2e_keep_on_failure "$build" "e2e_midi_$scenario" "$work"

# Sends signal $2 to process $1 (named $3) whose JACK ports start with $4; it must end with exit
# ${5:-0}, the server must still answer another client, and its ports must go (a close given up
# on leaves them to the server, which drops them once it sees the process gone).
end_by_signal() {
  local pid=$1 sig=$2 what=$3 ports=$4 expected=${5:-0} start
  e2e_track "$pid"
  e2e_wait_for "$what opening $ports" has_port_starting "$ports"
  e2e_end_by_signal "$pid" "$sig" "$what"
  [ "$e2e_status" -eq "$expected" ] || return 1
  start=$(now_ms)
  timeout "$E2E_HANG_S" jack_lsp >/dev/null || { echo "the server no longer answers" >&2; return 1; }
  echo "  jack_lsp answered after $(($(now_ms) - start)) ms"
  e2e_wait_for "the server dropping $ports" no_port_starting "$ports"
  echo "  $ports gone $(($(now_ms) - start)) ms after that"
}

# The window on the examples with its MIDI in and out remembered (JACK port names); its pid in
# $window.
start_window() {
  export XDG_CONFIG_HOME=$work/config
  mkdir -p "$XDG_CONFIG_HOME/Osmira"
  printf '[General]\nMIDIin=JACK: %s\nMIDIout=JACK: %s\n' "$1" "$2" \
    >"$XDG_CONFIG_HOME/Osmira/Pelorin.conf"
  QT_QPA_PLATFORM=offscreen "$briscatool" "$source_dir/examples" 2>"$work/window.err" &
  window=$!
  e2e_track "$window"
}

# True once the receiver's record holds as many chunks as FILES make.
far_end_has_all() {
  { "$tool" check "$work/record.txt" 44100 "$@" || true; } |
    awk '/chunks received/ { found = 1; ok = $1 >= $4 } END { exit !(found && ok) }'
}

# True once the last event recorded at the far end is a lone F7.
far_end_ended_message() { [ "$(tail -n 1 "$work/record.txt" | cut -d' ' -f2-)" = "f7" ]; }

# Sends FILES to a receiving port and checks what arrived; prints the pace.
send_and_check() {
  "$tool" receive e2e-recv "$work/record.txt" &
  local receiver=$!
  e2e_track "$receiver"
  wait_for_port e2e-recv:in
  local start end status=0
  start=$(now_ms)
  "$briscatool" send --midi-out "e2e-recv:in" "$@" 2>"$work/send.err" || status=$?
  end=$(now_ms)
  [ "$status" -ne 0 ] || e2e_wait_for "every chunk at the far end" far_end_has_all "$@"
  kill -TERM "$receiver"
  wait "$receiver"
  cat "$work/send.err"
  [ "$status" -eq 0 ] || { echo "briscatool send exited $status" >&2; return 1; }
  "$tool" check "$work/record.txt" 44100 "$@" | tee "$work/check.txt"
  local chunks
  chunks=$(wc -l <"$work/record.txt")
  awk -v ms=$((end - start)) -v n="$chunks" 'BEGIN {
    printf "pace: %d chunks in %.3f s, chunks x 70 ms = %.3f s, ratio %.4f\n",
      n, ms / 1000, n * 0.07, ms / 1000 / (n * 0.07) }'
}

case $scenario in
  send)
    e2e_use_jack "$build/servers"
    "$tool" make-sysex "$work/odd.mid" 200 201 400 5 1173
    send_and_check "$source_dir/examples/hat.mid" "$work/odd.mid"

    # `devices --watch --json` and `send --wait` started before the port exists: once the port
    # appears the send goes whole; the watch tells of the port coming and going.
    "$briscatool" devices --watch --json >"$work/watch.out" 2>"$work/watch.err" &
    watcher=$!
    e2e_track "$watcher"
    e2e_wait_for "the watch starting" grep -q "^Watching" "$work/watch.err"
    "$briscatool" send --wait="$E2E_HANG_S" --midi-out e2e-late:in \
      "$source_dir/examples/hat.mid" 2>"$work/late.err" &
    late=$!
    e2e_track "$late"
    e2e_wait_for "the send waiting" grep -q "waiting for the MIDI output" "$work/late.err"
    "$tool" receive e2e-late "$work/late.txt" &
    receiver=$!
    e2e_track "$receiver"
    status=0
    wait "$late" || status=$?
    cat "$work/late.err"
    [ "$status" -eq 0 ] || { echo "send --wait exited $status" >&2; exit 1; }
    late_whole() {
      { "$tool" check "$work/late.txt" 44100 "$source_dir/examples/hat.mid" || true; } |
        awk '/chunks received/ { found = 1; ok = $1 >= $4 } END { exit !(found && ok) }'
    }
    e2e_wait_for "every chunk at the late port" late_whole
    "$tool" check "$work/late.txt" 44100 "$source_dir/examples/hat.mid"
    kill -TERM "$receiver"
    wait "$receiver"
    line() { printf '{"change": "%s", "kind": "midi_out", "name": "JACK: e2e-late:in"}' "$1"; }
    e2e_wait_for "the watch telling of the port's going" grep -qxF "$(line removed)" "$work/watch.out"
    grep -qxF "$(line added)" "$work/watch.out"
    e2e_end_by_signal "$watcher" INT "briscatool devices --watch"
    cat "$work/watch.out"
    [ "$e2e_status" -eq 0 ] || { echo "devices --watch exited $e2e_status" >&2; exit 1; }
    ;;

  server-loss)
    e2e_start_jack "$work/server"
    "$tool" receive e2e-recv "$work/record.txt" &
    e2e_track $!
    wait_for_port e2e-recv:in
    "$briscatool" send --midi-out "e2e-recv:in" "$source_dir/examples/kick.mid" \
      2>"$work/send.err" &
    sender=$!
    e2e_track "$sender"
    e2e_wait_for "the send starting" grep -q "Total Blocks" "$work/send.err"
    kill -KILL "$(cat "$work/server/jack.pid")"
    killed=$(now_ms)
    e2e_wait_for "briscatool send ending after the server was killed" e2e_ended "$sender"
    status=0
    wait "$sender" || status=$?
    echo "briscatool send ended $(($(now_ms) - killed)) ms after the server was killed" \
      "(checked every 50 ms), exit $status"
    cat "$work/send.err"
    [ "$status" -ne 0 ] || { echo "a send cut short exited 0" >&2; exit 1; }
    grep -q "kick.mid: cut short, not sent completely" "$work/send.err"
    ! grep -q "kick.mid: sent" "$work/send.err"
    ;;

  send-faults)
    e2e_use_jack "$build/servers"
    export XDG_RUNTIME_DIR=$work/run  # the send locks of this run only
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    "$tool" receive e2e-recv "$work/record.txt" &
    receiver=$!
    e2e_track "$receiver"
    wait_for_port e2e-recv:in

    # A sound cut in half on disk: the send names it before a byte goes out and fails.
    "$tool" make-sound "$work/whole.mid" 10
    head -c $(($(stat -c %s "$work/whole.mid") / 2)) "$work/whole.mid" >"$work/cut.mid"
    status=0
    "$briscatool" send --midi-out e2e-recv:in "$work/cut.mid" 2>"$work/cut.err" || status=$?
    cat "$work/cut.err"
    [ "$status" -eq 1 ] || { echo "a cut-short file: exit $status" >&2; exit 1; }
    grep -q "^cut.mid: ends after 4 of 10 blocks; damaged$" "$work/cut.err"
    grep -q "nothing sent (--skip-damaged" "$work/cut.err"
    ! grep -q "cut.mid: sent" "$work/cut.err"

    # Long messages, so that the stop below falls inside one.
    "$tool" make-sysex "$work/long.mid" 5000 5000 5000 5000
    "$briscatool" send --midi-out e2e-recv:in "$work/long.mid" 2>"$work/first.err" &
    first=$!
    e2e_track "$first"
    e2e_wait_for "the first send starting" grep -q "Total Blocks" "$work/first.err"
    status=0
    "$briscatool" send --midi-out e2e-recv:in "$work/whole.mid" 2>"$work/second.err" || status=$?
    cat "$work/second.err"
    [ "$status" -eq 1 ] || { echo "a second sender: exit $status" >&2; exit 1; }
    grep -q "Another BriscaTool (process $first) is sending to \"JACK: e2e-recv:in\"" \
      "$work/second.err"

    # Ctrl-C twice: the first send stops at once, inside a message, and ends it with a lone F7.
    kill -INT "$first"
    e2e_wait_for "the first send taking the first Ctrl-C" grep -q "Stopping after" "$work/first.err"
    kill -INT "$first"
    status=0
    wait "$first" || status=$?
    cat "$work/first.err"
    [ "$status" -ne 0 ] || { echo "a send stopped at once exited 0" >&2; exit 1; }
    e2e_wait_for "a lone F7 at the far end" far_end_ended_message || true
    kill -TERM "$receiver"
    wait "$receiver"
    last=$(tail -n 1 "$work/record.txt" | cut -d' ' -f2-)
    echo "last event at the far end: $last"
    [ "$last" = "f7" ] || { echo "the far end was left inside a message" >&2; exit 1; }

    # An output that vanishes mid-file: the send stops at once, says after how many of the
    # file's blocks, and does not count the file as sent.
    "$tool" receive e2e-gone "$work/gone.txt" &
    gone=$!
    e2e_track "$gone"
    wait_for_port e2e-gone:in
    "$briscatool" send --midi-out e2e-gone:in "$work/whole.mid" 2>"$work/gone.err" &
    sender=$!
    e2e_track "$sender"
    e2e_wait_for "the send starting" grep -q "Total Blocks" "$work/gone.err"
    kill -TERM "$gone"
    wait "$gone"
    vanished=$(now_ms)
    e2e_wait_for "the send ending after its output vanished" e2e_ended "$sender"
    status=0
    wait "$sender" || status=$?
    echo "briscatool send ended $(($(now_ms) - vanished)) ms after its output vanished" \
      "(checked every 50 ms), exit $status"
    cat "$work/gone.err"
    [ "$status" -eq 1 ] || { echo "a send whose output vanished: exit $status" >&2; exit 1; }
    grep -qE "^JACK: e2e-gone:in was unplugged after block [0-9]+ of 10 of whole.mid$" \
      "$work/gone.err"
    ! grep -q "whole.mid: sent" "$work/gone.err"
    grep -q "^Sent 0 of 1 file" "$work/gone.err"
    ;;

  monitor)
    e2e_use_jack "$build/servers"
    "$tool" send e2e-src "90 3c 00" "c5 07" "f0 01 02 03 04 05 06 07 08 f7" "fe" "e3 00 40" &
    sender=$!
    e2e_track "$sender"
    wait_for_port e2e-src:out
    "$briscatool" monitor --midi-in "e2e-src:out" --count 5 --seconds "$E2E_HANG_S" \
      >"$work/monitor.out"
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
    e2e_use_jack "$build/servers"
    "$tool" receive e2e-sig-recv "$work/record.txt" &
    e2e_track $!
    wait_for_port e2e-sig-recv:in
    for sig in TERM HUP INT; do
      "$tool" thru "e2e-sig-$sig" &  # a source that stays, so the input is never lost
      e2e_track $!
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
    "$tool" thru e2e-sig-win &
    e2e_track $!
    wait_for_port e2e-sig-win:out
    start_window e2e-sig-win:out e2e-sig-recv:in
    e2e_wait_for "the window opening its MIDI out" has_port_starting "BriscaTool out"
    end_by_signal "$window" TERM "the window" "BriscaTool"
    ;;

  stalled-server)
    # A server that stops answering (stopped with SIGSTOP) while the window, `monitor` and
    # `send` have clients on it: each still ends soon after SIGTERM, with exit 0 (1 for the send
    # cut short); the server, once it goes on, answers and drops their ports. Each program gets
    # a server of its own: one that was stopped under clients spends seconds dropping them.
    # stall_server NAME: a fresh server, and a client e2e-stall passing its input to its output.
    stall_server() {
      [ -z "${thru:-}" ] || { kill -TERM "$thru"; wait "$thru" || true; }
      [ -z "${stall_dir:-}" ] || bash "$source_dir/scripts/jack-server" stop "$stall_dir" >/dev/null
      stall_dir=$work/server-$1
      JACK_CLIENT_TIMEOUT_MS=500 e2e_start_jack "$stall_dir"
      "$tool" thru e2e-stall &
      thru=$!
      e2e_track "$thru"
      wait_for_port e2e-stall:out
    }
    # end_stalled PID WHAT PORTS EXPECTED OURS...: once each of the program's ports OURS is
    # connected to e2e-stall (the last step of opening a device: a program still opening one
    # waits on the server, and a stopped server keeps it waiting), stops the server, ends PID by
    # SIGTERM, goes on.
    end_stalled() {
      local jackd status=0 port
      for port in "${@:5}"; do
        case $port in
          *:in) wait_for_connection "$port" e2e-stall:out ;;
          *) wait_for_connection "$port" e2e-stall:in ;;
        esac
      done
      e2e_wait_for "$2 catching signals" catches_term "$1"
      jackd=$(cat "$stall_dir/jack.pid")
      kill -STOP "$jackd"
      e2e_end_by_signal "$1" TERM "$2 (server stopped)" || status=$?
      kill -CONT "$jackd"
      [ "$status" -eq 0 ] && [ "$e2e_status" -eq "$4" ] || return 1
      echo "stalled server: $2 ended $e2e_ms ms after SIGTERM" >>"$work/figures.txt"
      start=$(now_ms)
      timeout "$E2E_HANG_S" jack_lsp >/dev/null || { echo "the server no longer answers" >&2; exit 1; }
      echo "  jack_lsp answered after $(($(now_ms) - start)) ms"
      e2e_wait_for "the server dropping $3" no_port_starting "$3"
      echo "  $3 gone $(($(now_ms) - start)) ms after that"
    }
    stall_server monitor
    "$briscatool" monitor --midi-in e2e-stall:out >"$work/monitor.out" &
    end_stalled $! "briscatool monitor" "BriscaTool in" 0 "BriscaTool in:in"
    stall_server send
    "$briscatool" send --midi-out e2e-stall:in "$source_dir"/examples/{kick,clap,tom}.mid \
      2>"$work/send.err" &
    sender=$!
    e2e_wait_for "the send starting" grep -q "Total Blocks" "$work/send.err"
    end_stalled "$sender" "briscatool send" "BriscaTool out" 1 "BriscaTool out:out"
    stall_server window
    start_window e2e-stall:out e2e-stall:in
    e2e_wait_for "the window opening its MIDI in" has_port_starting "BriscaTool in"
    end_stalled "$window" "the window" "BriscaTool" 0 "BriscaTool in:in" "BriscaTool out:out"
    cat "$work/figures.txt"
    ;;

  *)
    echo "unknown scenario $scenario" >&2
    exit 2
    ;;
esac
