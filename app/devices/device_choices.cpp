#include "app/devices/device_choices.h"

#include <algorithm>
#include <utility>

namespace brisca {
namespace {

// Where entry `index` of `before` stands in `now`: at the entry of the same text (the same one of
// several namesakes as before, or the last of them when fewer are left); 0 when it is gone.
int follow_entry(const std::vector<std::string>& before, const std::vector<std::string>& now,
                 int index) {
  if (index <= 0 || static_cast<std::size_t>(index) >= before.size()) return 0;
  const std::string& text = before[static_cast<std::size_t>(index)];
  auto rank = std::count(before.begin() + 1, before.begin() + index, text);
  int found = 0;
  for (std::size_t i = 1; i < now.size(); ++i) {
    if (now[i] != text) continue;
    found = static_cast<int>(i);
    if (rank-- == 0) break;
  }
  return found;
}

}  // namespace

DeviceChoices::DeviceChoices(MidiService& midi, AudioService& audio, SettingsStore* store)
    : midi_(midi), audio_(audio), store_(store) {}

void DeviceChoices::set_hooks(DeviceHooks* midi_in, DeviceHooks* midi_out, DeviceHooks* audio_out) {
  midi_in_ = midi_in ? midi_in : &none_;
  midi_out_ = midi_out ? midi_out : &none_;
  audio_out_ = audio_out ? audio_out : &none_;
}

int DeviceChoices::settings(int operation, int index) {
  return settings_operation(operation, index, store_, midi_table_, audio_table_);
}

void DeviceChoices::start_midi() {
  midi_table_ = fill_midi_table(midi_);
  current_.midi_in = midi_in_->open(settings(kReadMidiIn, 0));
  current_.midi_out = midi_out_->open(settings(kReadMidiOut, 0));
}

void DeviceChoices::start_audio() {
  audio_table_ = fill_audio_table(audio_);
  current_.audio_in = settings(kReadAudioIn, 0);
  current_.audio_out = audio_out_->open(settings(kReadAudioOut, 0));
}

void DeviceChoices::reopen(DeviceHooks& hooks, int& current, int pending, int write_operation) {
  if (current > 0) hooks.close();
  if (current != pending) settings(write_operation, pending);
  current = hooks.open(pending);
}

void DeviceChoices::apply_midi_setup(int pending_in, int pending_out) {
  if (pending_in != kKeepGone) {
    reopen(*midi_in_, current_.midi_in, pending_in, kWriteMidiIn);
    gone_.midi_in.clear();
  }
  if (pending_out != kKeepGone) {
    reopen(*midi_out_, current_.midi_out, pending_out, kWriteMidiOut);
    gone_.midi_out.clear();
  }
}

void DeviceChoices::apply_audio_setup(int pending_in, int pending_out) {
  if (pending_in != kKeepGone) {
    if (current_.audio_in != pending_in) settings(kWriteAudioIn, pending_in);
    current_.audio_in = pending_in;
    gone_.audio_in.clear();
  }
  if (pending_out != kKeepGone) {
    reopen(*audio_out_, current_.audio_out, pending_out, kWriteAudioOut);
    gone_.audio_out.clear();
  }
}

// `hooks` open and close the device; null for a choice that opens nothing (audio in).
bool DeviceChoices::follow(DeviceHooks* hooks, int& current, std::string& gone,
                           const std::vector<std::string>& before,
                           const std::vector<std::string>& now) {
  if (current == 0 && !gone.empty()) {  // back under its name?
    const int back = find_entry(now, gone);
    if (back == 0) return false;
    current = hooks != nullptr ? hooks->open(back) : back;
    if (current > 0) gone.clear();
    return current > 0;
  }
  const int moved = follow_entry(before, now, current);
  if (moved == current) return false;
  if (moved == 0) {
    if (hooks != nullptr) hooks->close();
    gone = before[static_cast<std::size_t>(current)];
  }
  current = moved;
  return true;
}

bool DeviceChoices::relist_midi() {
  const NameTable before = std::exchange(midi_table_, fill_midi_table(midi_));
  const bool in = follow(midi_in_, current_.midi_in, gone_.midi_in, before.in, midi_table_.in);
  const bool out =
      follow(midi_out_, current_.midi_out, gone_.midi_out, before.out, midi_table_.out);
  return in || out;
}

bool DeviceChoices::relist_audio() {
  const NameTable before = std::exchange(audio_table_, fill_audio_table(audio_));
  const bool in = follow(nullptr, current_.audio_in, gone_.audio_in, before.in, audio_table_.in);
  const bool out =
      follow(audio_out_, current_.audio_out, gone_.audio_out, before.out, audio_table_.out);
  return in || out;
}

void DeviceChoices::close_devices() {
  if (current_.midi_in > 0) midi_in_->close();
  if (current_.midi_out > 0) midi_out_->close();
  if (current_.audio_out > 0) audio_out_->close();
  current_ = {};
}

}  // namespace brisca
