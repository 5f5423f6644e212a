#include "app/devices/device_follower.h"

#include <utility>

#include "app/devices/name_tables.h"
#include "app/devices/services.h"

namespace brisca {

std::string device_name_of(const std::string& entry) {
  for (const std::string_view suffix : {kCompatibleSuffix, kIncompatibleSuffix, kNotUsedSuffix})
    if (entry.size() > suffix.size() &&
        entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) == 0)
      return entry.substr(0, entry.size() - suffix.size());
  return entry;
}

DeviceFollower::DeviceFollower(DeviceChoices& choices, MidiService& midi, AudioService& audio,
                               Clock& clock, Ports ports)
    : choices_(choices), clock_(clock), ports_(std::move(ports)) {
  watches_ = watch_devices(midi, audio, clock, *this);
}

// The watches stop first, so nothing is told after this.
DeviceFollower::~DeviceFollower() {
  watches_ = {};
}

void DeviceFollower::device_changed(const DeviceEvent& event) {
  (event.kind == DeviceKind::AudioOut ? audio_due_ : midi_due_) = true;
  if (settle_.armed()) return;
  settle_.after(clock_, kSettle, [this] {
    settle_.ran();
    relist();
  });
}

void DeviceFollower::relist() {
  const GoneDevices before = choices_.gone();
  // Asked before the audio output is relisted: an output that went is closed there, and what it
  // played stops with it.
  const std::string playing = audio_due_ && ports_.playing ? ports_.playing() : std::string();
  bool relisted = false;
  if (std::exchange(midi_due_, false)) {
    choices_.relist_midi();
    relisted = true;
  }
  if (std::exchange(audio_due_, false)) {
    choices_.relist_audio();
    relisted = true;
  }
  if (!relisted) return;
  const GoneDevices& now = choices_.gone();
  const DeviceIndices& current = choices_.current();
  tell("MIDI out", before.midi_out, now.midi_out, current.midi_out);
  tell("MIDI in", before.midi_in, now.midi_in, current.midi_in);
  tell("Audio out", before.audio_out, now.audio_out, current.audio_out, playing);
  if (ports_.relisted) ports_.relisted();
}

void DeviceFollower::tell(const std::string& what, const std::string& gone_before,
                          const std::string& gone_now, int current, const std::string& playing) {
  if (!ports_.status) return;
  if (!gone_now.empty() && gone_now != gone_before)
    ports_.status(what + " \"" + device_name_of(gone_now) + "\" " +
                      (playing.empty() ? "unplugged" : "was unplugged while playing " + playing),
                  true);
  else if (!gone_before.empty() && gone_now.empty() && current > 0)
    ports_.status(what + " \"" + device_name_of(gone_before) + "\" reconnected", false);
}

}  // namespace brisca
