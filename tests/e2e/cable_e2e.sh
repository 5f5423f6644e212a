#!/usr/bin/env bash
# The pace and `briscatool cable` against simulated MIDI interfaces (slow_midi_interface) on the
# JACK server of the jack_server test fixture, with byte checks at the far end (jack_midi_tool).
#
#   cable_e2e.sh healthy BUILD SOURCE  a 256-byte buffer on a 3 125 bytes/s wire: the default
#                                      pace delivers every block whole; cable keeps it
#   cable_e2e.sh poor BUILD SOURCE     a 192-byte buffer draining at 1 800 bytes/s: the default
#                                      pace loses data and send cannot know; cable finds a
#                                      slower pace, and send at that pace delivers every byte
#                                      (a 200-byte chunk never fits; a 100-byte chunk every
#                                      70 ms still fits when one comes up to 65 ms late, as the
#                                      dummy server's cycles do on a busy machine)
#   cable_e2e.sh flips BUILD SOURCE    a burst of flipped bits: cable reports damaged messages
#                                      and the pace it picks damaged none
#   cable_e2e.sh nothing BUILD SOURCE  IN not receiving from OUT: "nothing came back on IN",
#                                      exit 1, within seconds
#
# Waits end on the event they wait for; a limit of 30 s or more only catches a hang.
set -euo pipefail
scenario=$1
build=$(cd "$2" && pwd)
source_dir=$(cd "$3" && pwd)
tool=$build/tests/e2e/jack_midi_tool
interface=$build/tests/e2e/slow_midi_interface
briscatool=$build/app/briscatool
work=$build/e2e-cable/$scenario
rm -rf "$work" && mkdir -p "$work"
export JACK_NO_START_SERVER=1
export XDG_CONFIG_HOME=$work/config  # the paces remembered in this run only
export XDG_RUNTIME_DIR=$work/run     # the send locks of this run only
mkdir -p "$XDG_CONFIG_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
# shellcheck source=../support/e2e.sh
. "$source_dir/tests/support/e2e.sh"
e2e_keep_on_failure "$build" "e2e_cable_$scenario" "$work"
e2e_use_jack "$build/servers"

# start_interface NAME OPTIONS...: NAME:in and NAME:out, its state in $work/NAME.status.
start_interface() {
  local name=$1
  shift
  "$interface" "$name" --status "$work/$name.status" "$@" 2>"$work/$name.err" &
  e2e_track $!
  wait_for_port "$name:in"
  wait_for_port "$name:out"
}

# Waits until interface $1 has passed on everything it took (its buffer empty for a few cycles).
is_idle() {
  local idle
  [ -f "$work/$1.status" ] || return 1
  idle=$(awk '{ print $8 }' "$work/$1.status")
  [ "${idle:-0}" -ge 4 ]
}
wait_idle() { e2e_wait_for "interface $1 emptying its buffer" is_idle "$1"; }

# far_end INTERFACE RECORD: a receiver of what INTERFACE puts on its wire.
far_end() {
  "$tool" receive far "$2" &
  far=$!
  e2e_track "$far"
  wait_for_port far:in
  jack_connect "$1:out" far:in
}

stop_far() {
  kill -TERM "$far"
  wait "$far"
}

# send_through INTERFACE NAME FILE [OPTIONS...]: sends FILE into INTERFACE and compares what came
# out of it with FILE's messages; the comparison's status is in $arrived_status.
send_through() {
  local name=$1 label=$2 file=$3
  shift 3
  far_end "$name" "$work/$label.txt"
  "$briscatool" send --midi-out "$name:in" "$@" "$file" 2>"$work/$label.err"
  wait_idle "$name"
  stop_far
  head -n 1 "$work/$label.err"
  tail -n 1 "$work/$label.err"
  arrived_status=0
  "$tool" arrived "$work/$label.txt" "$file" || arrived_status=$?
}

# cable NAME [OPTIONS...]: runs the cable test on INTERFACE's loop; its status is in
# $cable_status and its output in $work/cable.out.
cable() {
  local name=$1 start
  shift
  start=$(now_ms)
  cable_status=0
  "$briscatool" cable --midi-out "$name:in" --midi-in "$name:out" "$@" >"$work/cable.out" \
    2>"$work/cable.err" || cable_status=$?
  cat "$work/cable.out" "$work/cable.err"
  echo "cable took $(($(now_ms) - start)) ms, exit $cable_status"
}

"$tool" make-sound "$work/sound.mid" 10 "Cable Test"

case $scenario in
  healthy)
    start_interface good --buffer 256 --rate 3125
    send_through good default "$work/sound.mid"
    [ "$arrived_status" -eq 0 ] || { echo "blocks were damaged at the default pace" >&2; exit 1; }
    cable good
    [ "$cable_status" -eq 0 ] || exit 1
    grep -q "^Pace found: 200-byte chunks every 70 ms (" "$work/cable.out"
    cat "$work/good.status"
    ;;

  poor)
    start_interface poor --buffer 192 --rate 1800
    send_through poor default "$work/sound.mid"
    grep -q "^Sent 1 of 1 file" "$work/default.err" || { echo "send did not finish" >&2; exit 1; }
    [ "$arrived_status" -ne 0 ] || { echo "the poor interface lost nothing" >&2; exit 1; }
    echo "send reported success; the far end shows the damage"
    cable poor
    [ "$cable_status" -eq 0 ] || exit 1
    found=$(grep "^Pace found: " "$work/cable.out")
    [[ $found != "Pace found: 200-byte"* ]] || { echo "a 200-byte pace passed" >&2; exit 1; }
    # send takes the pace cable remembered for the output.
    send_through poor found "$work/sound.mid"
    [ "$arrived_status" -eq 0 ] || { echo "the pace found still damaged blocks" >&2; exit 1; }
    chunk=$(sed -E 's/^Pace found: ([0-9]+)-byte chunks every ([0-9]+) ms.*/\1/' <<<"$found")
    head -n 1 "$work/found.err" | grep -q "$chunk-byte chunks" ||
      { echo "send did not use the pace found" >&2; exit 1; }
    cat "$work/poor.status"
    ;;

  flips)
    start_interface noisy --buffer 256 --rate 3125 --flip-every 2000 --flip-limit 3 --seed 7
    cable noisy
    grep -Eq ": [0-9]+ sent, [0-9]+ whole, [1-9][0-9]* damaged" "$work/cable.out" ||
      { echo "no damaged message was reported" >&2; exit 1; }
    ! grep -Eq " [1-9][0-9]* (damaged|lost).*passed$" "$work/cable.out" ||
      { echo "a pace that damaged or lost a message passed" >&2; exit 1; }
    if [ "$cable_status" -eq 0 ]; then
      passed=$(grep "  passed$" "$work/cable.out")
      grep -q " 0 damaged, 0 lost" <<<"$passed" || { echo "a damaging pace passed" >&2; exit 1; }
      grep -q "^Pace found: ${passed%%:*} (" "$work/cable.out"
    else
      grep -q "No pace passed" "$work/cable.err"
    fi
    cat "$work/noisy.status"
    ;;

  nothing)
    start_interface quiet
    "$tool" receive far "$work/far.txt" &
    e2e_track $!
    wait_for_port far:in
    start=$(now_ms)
    status=0
    "$briscatool" cable --midi-out far:in --midi-in quiet:out >"$work/cable.out" \
      2>"$work/cable.err" || status=$?
    took=$(($(now_ms) - start))
    cat "$work/cable.out" "$work/cable.err"
    echo "cable with nothing coming back ended after $took ms, exit $status"
    [ "$status" -eq 1 ] || exit 1
    grep -q "nothing came back on IN" "$work/cable.err"
    [ "$took" -lt $((E2E_HANG_S * 1000)) ] || { echo "cable took $took ms" >&2; exit 1; }
    ;;

  *)
    echo "unknown scenario $scenario" >&2
    exit 2
    ;;
esac
