// Entry texts for RtAudio devices. A text must name the same device from run to run and across
// re-plugging, because the remembered choice is the text itself: so it carries the API (the same
// device name can exist in several) and leaves out the card and device numbers ALSA hands out
// in plug order.
#pragma once

#include <RtAudio.h>

#include <string>
#include <string_view>

namespace brisca::rtaudio {

// "PulseAudio", "JACK", "ALSA", ... as shown to the user.
std::string api_label(RtAudio::Api api);

// The device name without numbers the system reassigns ("... (hw:1,0)" loses its parenthesis)
// and with runs of white space made single.
std::string stable_device_name(std::string_view raw);

// "<API>: <stable name>".
std::string entry_name(RtAudio::Api api, std::string_view raw);

// True when the device can play 44 100 Hz mono with RtAudio converting from 16-bit samples.
bool plays_44k_mono16(const RtAudio::DeviceInfo& info);

}  // namespace brisca::rtaudio
