#include "platform/rtmidi/rtmidi_service.h"

#include <alsa/asoundlib.h>
#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>

#include "platform/alsa/alsa_midi_in.h"
#include "platform/alsa/alsa_midi_out.h"
#include "platform/api/own_clients.h"
#include "platform/core/watch_group.h"
#include "platform/jack/jack_client.h"
#include "platform/jack/jack_midi_in.h"
#include "platform/jack/jack_midi_out.h"
#include "platform/jack/jack_watch.h"
#include "platform/rtmidi/alsa_watch.h"

namespace brisca {

namespace {

void ignore_rtmidi_error(RtMidiError::Type, const std::string&, void*) {}
void ignore_alsa_error(const char*, int, const char*, int, const char*, ...) {}

bool compiled(RtMidi::Api api) {
  std::vector<RtMidi::Api> apis;
  RtMidi::getCompiledApi(apis);
  return std::find(apis.begin(), apis.end(), api) != apis.end();
}

// The library throws when the sequencer device is missing, after printing about it; checking
// first keeps a machine without ALSA MIDI quiet.
bool alsa_sequencer_present() {
  return access("/dev/snd/seq", R_OK | W_OK) == 0;
}

template <class Midi>
std::vector<PortRef> list_alsa() {
  std::vector<PortRef> ports;
  if (!compiled(RtMidi::LINUX_ALSA) || !alsa_sequencer_present()) return ports;
  try {
    Midi midi(RtMidi::LINUX_ALSA, "BriscaTool list");
    midi.setErrorCallback(ignore_rtmidi_error, nullptr);
    const unsigned count = midi.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
      const std::string name = midi.getPortName(i);
      if (name.empty() || is_own_client(client_of_port(name))) continue;  // gone, or ours
      ports.push_back({MidiApi::Alsa, entry_text(MidiApi::Alsa, name), name, i});
    }
  } catch (const RtMidiError&) {
    ports.clear();
  }
  return ports;
}

std::vector<PortRef> list_jack(bool for_output) {
  std::vector<PortRef> ports;
  for (const std::string& name : jack_midi_ports(for_output))
    if (!is_own_client(client_of_port(name)))
      ports.push_back({MidiApi::Jack, entry_text(MidiApi::Jack, name), name, 0});
  return ports;
}

std::vector<std::string> entries(const std::vector<PortRef>& ports) {
  std::vector<std::string> texts;
  for (const PortRef& port : ports) texts.push_back(port.entry);
  return texts;
}

std::vector<PortRef> list_all(bool for_output) {
  std::vector<PortRef> ports = list_ports(MidiApi::Alsa, for_output);
  std::vector<PortRef> jack = list_ports(MidiApi::Jack, for_output);
  ports.insert(ports.end(), jack.begin(), jack.end());
  return ports;
}

}  // namespace

std::vector<PortRef> list_ports(MidiApi api, bool for_output) {
  if (api == MidiApi::Jack) return list_jack(for_output);
  return for_output ? list_alsa<RtMidiOut>() : list_alsa<RtMidiIn>();
}

RtMidiService::RtMidiService() {
  quiet_jack_messages();
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(ignore_alsa_error); });
}

std::vector<std::string> RtMidiService::input_names() {
  inputs_ = list_all(false);
  inputs_listed_ = true;
  return entries(inputs_);
}

std::vector<std::string> RtMidiService::output_names() {
  outputs_ = list_all(true);
  outputs_listed_ = true;
  return entries(outputs_);
}

std::unique_ptr<MidiInDevice> RtMidiService::open_input(int device,
                                                        MidiInDeviceListener& listener) {
  if (!inputs_listed_) input_names();
  if (device < 0 || static_cast<std::size_t>(device) >= inputs_.size()) return nullptr;
  const PortRef& chosen = inputs_[static_cast<std::size_t>(device)];
  if (chosen.api == MidiApi::Jack) return JackMidiIn::open(chosen.system_name, listener);
  const std::vector<PortRef> present = list_ports(MidiApi::Alsa, false);
  const PortRef* now = find_again(inputs_, static_cast<std::size_t>(device), present);
  if (now == nullptr) return nullptr;
  return AlsaMidiIn::open(now->index, listener);
}

std::unique_ptr<MidiOutDevice> RtMidiService::open_output(int device,
                                                          MidiOutDeviceListener& listener) {
  if (!outputs_listed_) output_names();
  if (device < 0 || static_cast<std::size_t>(device) >= outputs_.size()) return nullptr;
  const PortRef& chosen = outputs_[static_cast<std::size_t>(device)];
  if (chosen.api == MidiApi::Jack) return JackMidiOut::open(chosen.system_name, listener);
  const std::vector<PortRef> present = list_ports(MidiApi::Alsa, true);
  const PortRef* now = find_again(outputs_, static_cast<std::size_t>(device), present);
  if (now == nullptr) return nullptr;
  const auto address = alsa_address(now->system_name);
  if (!address) return nullptr;
  return AlsaMidiOut::open(address->client, address->port, listener);
}

std::unique_ptr<DeviceWatch> RtMidiService::watch(Clock& clock, DeviceWatchListener& listener) {
  auto group = std::make_unique<WatchGroup>();
  if (compiled(RtMidi::LINUX_ALSA))
    group->add(watch_alsa(clock, listener, open_seq_announcements()));
  if (compiled(RtMidi::UNIX_JACK)) {
    JackWatchNames names;
    names.midi = [](std::string_view port) { return entry_text(MidiApi::Jack, port); };
    group->add(watch_jack(clock, listener, std::move(names)));
  }
  return group_or_null(std::move(group));
}

std::unique_ptr<MidiService> make_rtmidi_service() {
  return std::make_unique<RtMidiService>();
}

}  // namespace brisca
