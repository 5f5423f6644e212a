#include "platform/alsa/alsa_midi_in.h"

#include <rtmidi/RtMidi.h>

namespace brisca {

namespace {
void ignore_error(RtMidiError::Type, const std::string&, void*) {}
}  // namespace

AlsaMidiIn::AlsaMidiIn(MidiInDeviceListener& listener) : CoreMidiIn(listener) {}

std::unique_ptr<MidiInDevice> AlsaMidiIn::open(unsigned index, MidiInDeviceListener& listener) {
  std::unique_ptr<AlsaMidiIn> self(new AlsaMidiIn(listener));
  try {
    self->input_ = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, "BriscaTool");
    self->input_->setErrorCallback(ignore_error, nullptr);
    self->input_->ignoreTypes(false, false, false);
    self->input_->setCallback(on_message, self.get());
    if (index >= self->input_->getPortCount()) return nullptr;
    self->input_->openPort(index, "in");
    if (!self->input_->isPortOpen()) return nullptr;
  } catch (const RtMidiError&) {
    return nullptr;
  }
  self->core_.begin();
  return self;
}

AlsaMidiIn::~AlsaMidiIn() {
  if (input_ && !core_.finished()) (void)close();
}

void AlsaMidiIn::on_message(double, std::vector<unsigned char>* message, void* self) {
  static_cast<AlsaMidiIn*>(self)->core_.push(message->data(), message->size());
}

Status AlsaMidiIn::close() {
  if (core_.finished()) return device_error::closed();
  try {
    input_->closePort();
  } catch (const RtMidiError&) {
  }
  input_.reset();  // its input thread has ended
  core_.finish();
  return {};
}

}  // namespace brisca
