#include "platform/rtaudio/device_names.h"

#include <algorithm>
#include <cctype>
#include <regex>

namespace brisca::rtaudio {

std::string api_label(RtAudio::Api api) {
  switch (api) {
    case RtAudio::LINUX_PULSE:
      return "PulseAudio";
    case RtAudio::UNIX_JACK:
      return "JACK";
    case RtAudio::LINUX_ALSA:
      return "ALSA";
    case RtAudio::LINUX_OSS:
      return "OSS";
    default:
      return RtAudio::getApiDisplayName(api);
  }
}

std::string stable_device_name(std::string_view raw) {
  static const std::regex card_numbers(R"(\s*\((plug)?hw:\d+(,\d+)*\))");
  std::string name = std::regex_replace(std::string(raw), card_numbers, "");
  std::string out;
  bool space = false;
  for (char c : name) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      space = !out.empty();
      continue;
    }
    if (space) out += ' ';
    space = false;
    out += c;
  }
  return out;
}

std::string entry_name(RtAudio::Api api, std::string_view raw) {
  return api_label(api) + ": " + stable_device_name(raw);
}

bool plays_44k_mono16(const RtAudio::DeviceInfo& info) {
  const auto& rates = info.sampleRates;
  return info.probed && info.outputChannels >= 1 && info.nativeFormats != 0 &&
         std::find(rates.begin(), rates.end(), 44100u) != rates.end();
}

}  // namespace brisca::rtaudio
