#!/usr/bin/env bash
# End-to-end runs of `briscatool receive` against the JACK server of the jack_server fixture,
# with jack_midi_tool as the module at the far end.
#
#   receive_e2e.sh dumps BUILD SOURCE       sounds dumped whole come out as files with the same
#                                           messages; a repeated sound goes beside the first; a
#                                           lost block gives exit 1 and a partial file
#   receive_e2e.sh round-trip BUILD SOURCE  `send` into a port whose far end is `receive`
#   receive_e2e.sh server-loss BUILD SOURCE a private server killed mid-dump: `receive` says the
#                                           input was lost, writes the part as partial, exit 1;
#                                           `receive --wait` receives again once it is back
set -euo pipefail
scenario=$1
build=$(cd "$2" && pwd)
source_dir=$(cd "$3" && pwd)
tool=$build/tests/e2e/jack_midi_tool
briscatool=$build/app/briscatool
work=$build/e2e-receive/$scenario
rm -rf "$work" && mkdir -p "$work/out"
export JACK_NO_START_SERVER=1
# shellcheck source=tests/support/e2e.sh
. "$source_dir/tests/support/e2e.sh"
e2e_keep_on_failure "$build" "e2e_receive_$scenario" "$work"
if [ "$scenario" = server-loss ]; then
  e2e_start_jack "$work/server"
else
  e2e_use_jack "$build/servers"
fi

# True once the input port of `briscatool receive` is connected to $1.
receive_listens() { grep -qx "   $1" <<<"$(jack_ports -c "BriscaTool in:in")"; }
# The same for the receive of pid $1; one that has ended fails the script with what it said.
receive_listening() {
  receive_listens "$2" && return 0
  kill -0 "$1" 2>/dev/null && return 1
  echo "receive ended before it listened to $2:" >&2
  cat "$work/receive.out" "$work/receive.err" >&2
  exit 1
}

# Waits until a line of file $1 holds the text $2 (a hang fails).
wait_for_line() {
  for _ in $(seq 600); do
    grep -qF "$2" "$1" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "no line \"$2\" in $1 after 30 s" >&2
  cat "$1" >&2
  return 1
}

# Waits for process $1 to end and returns its status; one still running after 60 s has hung.
wait_exit() {
  for _ in $(seq 1200); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$1" 2>/dev/null; then
    echo "process $1 still runs after 60 s" >&2
    kill -KILL "$1"
  fi
  wait "$1"
}

# Same System Exclusive messages in both files (the received file may differ in MIDI layout).
same_messages() {
  diff <("$tool" messages "$1") <("$tool" messages "$2") >/dev/null ||
    { echo "messages of $2 differ from $1" >&2; return 1; }
}

# receive_from NAME EXPECTED_EXIT RECEIVE_ARGS... -- PLAY_ITEMS...: a module called NAME plays
# the items 30 ms apart while `briscatool receive` listens to it.
receive_from() {
  local name=$1 expected=$2
  shift 2
  local args=()
  while [ "$1" != "--" ]; do args+=("$1"); shift; done
  shift
  "$tool" play "$name" 30 "$@" >"$work/play.out" &
  local module=$!
  e2e_track "$module"
  wait_for_port "$name:out"
  local status=0
  "$briscatool" receive --midi-in "$name:out" -o "$work/out" "${args[@]}" \
    >>"$work/receive.out" 2>>"$work/receive.err" || status=$?
  wait "$module"
  [ "$status" -eq "$expected" ] ||
    { cat "$work/receive.out" "$work/receive.err"; echo "receive exited $status" >&2; return 1; }
}

case $scenario in
  dumps)
    "$tool" make-sound "$work/tom.mid" 30 "Big/Tom"
    "$tool" make-sound "$work/rim.mid" 5 ".."
    start=$(date +%s%3N)
    receive_from e2e-module 0 --count 4 --seconds 60 -- \
      "$source_dir/examples/hat.mid" "$work/tom.mid" "$source_dir/examples/hat.mid" "$work/rim.mid"
    echo "4 sounds (73 blocks) received in $(($(date +%s%3N) - start)) ms"
    same_messages "$source_dir/examples/hat.mid" "$work/out/Example Closed Hat.mid"
    same_messages "$source_dir/examples/hat.mid" "$work/out/Example Closed Hat (2).mid"
    same_messages "$work/tom.mid" "$work/out/Big_Tom.mid"
    same_messages "$work/rim.mid" "$work/out/_.mid"
    # Block 7 of Tom is lost: the dump goes quiet and the module leaves (the input is lost), and
    # the sound is written as partial at whichever comes first.
    start=$(date +%s%3N)
    receive_from e2e-module 1 --seconds 60 --count 1 -- "$work/tom.mid@7"
    echo "partial sound written $(($(date +%s%3N) - start)) ms after the dump began"
    "$tool" messages "$work/tom.mid" | sed 8d >"$work/expected.txt"
    diff "$work/expected.txt" <("$tool" messages "$work/out/Big_Tom (partial).mid")
    grep -qxE 'Wrote .*/Big_Tom \(partial\).mid: incomplete, (nothing arrived for 3 s|the input was lost); missing block 7' \
      "$work/receive.out"
    # SIGTERM in the middle of a dump: the part that arrived is written, the port closed.
    "$tool" play e2e-module 100 "$work/tom.mid" >"$work/play.out" &
    module=$!
    e2e_track "$module"
    wait_for_port e2e-module:out
    "$briscatool" receive --midi-in "e2e-module:out" -o "$work/out" >>"$work/receive.out" \
      2>>"$work/receive.err" &
    receiver=$!
    e2e_track "$receiver"
    e2e_wait_for "receive listening" receive_listening "$receiver" e2e-module:out
    # Part of the dump arrives: the header and a few blocks are out, each 100 ms after the last.
    e2e_wait_for "the module sending part of the dump" grep -qx "sent 4" "$work/play.out"
    kill -TERM "$receiver"
    status=0
    wait "$receiver" || status=$?
    wait "$module"  # a client killed mid-cycle would stall the server for seconds
    [ "$status" -eq 1 ] || { echo "receive ended by SIGTERM exited $status" >&2; exit 1; }
    grep -q 'Wrote .*/Big_Tom (partial) (2).mid: incomplete, receiving stopped; missing blocks' \
      "$work/receive.out"
    cat "$work/receive.out"
    [ "$(ls -A "$work/out" | wc -l)" -eq 6 ] || { ls -la "$work/out"; exit 1; }
    ;;

  round-trip)
    "$tool" thru e2e-thru &
    e2e_track $!
    wait_for_port e2e-thru:out
    "$briscatool" receive --midi-in "e2e-thru:out" -o "$work/out" --count 1 --seconds 60 \
      >"$work/receive.out" 2>"$work/receive.err" &
    receiver=$!
    e2e_track "$receiver"
    e2e_wait_for "receive listening" receive_listening "$receiver" e2e-thru:out
    "$briscatool" send --midi-out "e2e-thru:in" "$source_dir/examples/hat.mid" 2>"$work/send.err"
    status=0
    wait "$receiver" || status=$?
    cat "$work/receive.out"
    [ "$status" -eq 0 ] || { cat "$work/receive.err"; echo "receive exited $status" >&2; exit 1; }
    same_messages "$source_dir/examples/hat.mid" "$work/out/Example Closed Hat.mid"
    ;;

  server-loss)
    "$tool" make-sound "$work/tom.mid" 30 "Tom"
    # The hat without its block 1, then Tom: the hat is written as partial the moment Tom's
    # header arrives, which tells that Tom's dump is under way.
    kill_mid_dump() {
      "$tool" play e2e-module 100 "$source_dir/examples/hat.mid@1" "$work/tom.mid" &
      e2e_track $!
      wait_for_port e2e-module:out
      "$briscatool" receive --midi-in e2e-module:out -o "$work/out" "$@" >"$work/receive.out" \
        2>"$work/receive.err" &
      receiver=$!
      e2e_track "$receiver"
      wait_for_line "$work/receive.out" 'Example Closed Hat (partial).mid: incomplete'
      kill -KILL "$(cat "$work/server/jack.pid")"
      killed=$(date +%s%3N)
    }
    kill_mid_dump
    status=0
    wait_exit "$receiver" || status=$?
    echo "receive ended $(($(date +%s%3N) - killed)) ms after its server was killed, exit $status"
    cat "$work/receive.out" "$work/receive.err"
    [ "$status" -eq 1 ] || { echo "receive whose server died exited $status" >&2; exit 1; }
    grep -qx 'briscatool receive: the MIDI input "JACK: e2e-module:out" was lost' "$work/receive.err"
    grep -q '^Wrote .*/Tom (partial).mid: incomplete, the input was lost; missing block' \
      "$work/receive.out"

    # With --wait it goes on once a server and the module are back.
    rm -rf "$work/out" && mkdir "$work/out"
    bash "$source_dir/scripts/jack-server" start "$work/server" >/dev/null
    kill_mid_dump --wait --count 3
    wait_for_line "$work/receive.err" 'was lost; waiting for it to come back'
    bash "$source_dir/scripts/jack-server" start "$work/server" >/dev/null
    # The module gives up after 10 s unconnected, the input is tried again after 2, 4, 8, 16 s.
    for _ in 1 2 3 4 5; do
      "$tool" play e2e-module 30 "$source_dir/examples/hat.mid" 2>/dev/null && break
    done
    status=0
    wait_exit "$receiver" || status=$?
    echo "receive --wait ended $(($(date +%s%3N) - killed)) ms after its server was killed," \
      "exit $status"
    cat "$work/receive.out" "$work/receive.err"
    [ "$status" -eq 1 ] || { echo "receive --wait exited $status" >&2; exit 1; }
    grep -qx 'briscatool receive: the MIDI input "JACK: e2e-module:out" is back' "$work/receive.err"
    grep -q '^Wrote .*/Tom (partial).mid: incomplete, the input was lost' "$work/receive.out"
    same_messages "$source_dir/examples/hat.mid" "$work/out/Example Closed Hat.mid"
    ;;

  *)
    echo "unknown scenario $scenario" >&2
    exit 2
    ;;
esac
