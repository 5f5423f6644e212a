#include "platform/rtaudio/rtaudio_service.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdlib>

#include "platform/api/own_clients.h"
#include "platform/core/bounded_call.h"
#include "platform/core/watch_group.h"
#include "platform/jack/jack_watch.h"
#include "platform/rtaudio/device_names.h"
#include "platform/rtaudio/jack_wave_out.h"
#include "platform/rtaudio/output_poll.h"
#include "platform/rtaudio/pulse_probe.h"
#include "platform/rtaudio/rtaudio_wave_out.h"

namespace brisca::rtaudio {
namespace {

struct Probed {
  unsigned id;
  RtAudio::DeviceInfo info;
};

// A machine without sound cards makes ALSA print its configuration errors on every probe.
void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}

std::vector<Probed> probe_now(RtAudio::Api api) {
  std::vector<Probed> found;
  try {
    RtAudio audio(api);
    audio.showWarnings(false);
    const unsigned count = audio.getDeviceCount();
    for (unsigned id = 0; id < count; ++id) {
      RtAudio::DeviceInfo info = audio.getDeviceInfo(id);
      if (info.probed) found.push_back({id, std::move(info)});
    }
  } catch (const RtAudioError&) {
    // This API is absent or broken here; the others still count.
  }
  return found;
}

// A listing that takes longer than kCallLimit is given up on: the API then counts as absent.
std::vector<Probed> probe(RtAudio::Api api) {
  if (api == RtAudio::LINUX_PULSE && !pulse_server_running()) return {};
  return run_bounded([api] { return probe_now(api); }, kCallLimit).value_or(std::vector<Probed>{});
}

bool has_direction(const RtAudio::DeviceInfo& info, bool output) {
  return output ? info.outputChannels > 0 : info.inputChannels > 0;
}

// A JACK device is a client; the preview's own client ("BriscaTool", playing into the output)
// would show as an input.
bool is_own_device(RtAudio::Api api, const RtAudio::DeviceInfo& info) {
  return api == RtAudio::UNIX_JACK && is_own_client(info.name);
}

}  // namespace

std::vector<RtAudio::Api> listed_apis() {
  std::vector<RtAudio::Api> compiled;
  RtAudio::getCompiledApi(compiled);
  std::vector<RtAudio::Api> order;
  for (RtAudio::Api api : {RtAudio::LINUX_PULSE, RtAudio::UNIX_JACK, RtAudio::LINUX_ALSA})
    if (std::find(compiled.begin(), compiled.end(), api) != compiled.end()) order.push_back(api);
  return order;
}

RtAudioService::RtAudioService() {
  snd_lib_error_set_handler(&quiet_alsa);
  // A PulseAudio stream opened without buffer sizes buffers up to two seconds: a stopped preview
  // would go on sounding that long. A tenth of a second plays without gaps; a value the user set
  // is kept.
  setenv("PULSE_LATENCY_MSEC", "100", 0);
}

std::vector<RtAudioService::Listed> list_devices(const std::vector<RtAudio::Api>& apis,
                                                 bool output) {
  using Listed = RtAudioService::Listed;
  std::vector<Listed> listed;
  for (RtAudio::Api api : apis) {
    for (Probed& p : probe(api)) {
      if (!has_direction(p.info, output) || is_own_device(api, p.info)) continue;
      Listed entry{api, p.info.name, 0, {entry_name(api, p.info.name), false}};
      entry.info.supports_44k_mono16 = output && plays_44k_mono16(p.info);
      entry.earlier_namesakes =
          static_cast<int>(std::count_if(listed.begin(), listed.end(), [&](const Listed& l) {
            return l.api == api && l.raw_name == entry.raw_name;
          }));
      listed.push_back(std::move(entry));
    }
  }
  return listed;
}

std::vector<AudioDeviceInfo> RtAudioService::input_devices() {
  std::vector<AudioDeviceInfo> out;
  for (Listed& l : list_devices(listed_apis(), false)) out.push_back(std::move(l.info));
  return out;
}

std::vector<AudioDeviceInfo> RtAudioService::output_devices() {
  outputs_ = list_devices(listed_apis(), true);
  std::vector<AudioDeviceInfo> out;
  for (const Listed& l : outputs_) out.push_back(l.info);
  return out;
}

std::unique_ptr<WaveOutDevice> RtAudioService::open_output(int device,
                                                           WaveOutDeviceListener& listener) {
  if (device < 0 || static_cast<std::size_t>(device) >= outputs_.size()) return nullptr;
  Listed wanted = outputs_[static_cast<std::size_t>(device)];
  if (wanted.api == RtAudio::LINUX_PULSE && !pulse_server_running()) return nullptr;
  auto open = [wanted = std::move(wanted), &listener]() mutable {
    std::unique_ptr<WaveOutDevice> opened;
    // A JACK device is a client of the server; we play into it through a client of our own.
    if (wanted.api == RtAudio::UNIX_JACK) {
      opened = JackWaveOut::open(wanted.raw_name, listener);
      return opened;
    }
    int namesakes = 0;
    for (const Probed& p : probe_now(wanted.api)) {
      if (!has_direction(p.info, true) || p.info.name != wanted.raw_name) continue;
      if (namesakes++ == wanted.earlier_namesakes) {
        opened = RtWaveOut::open(wanted.api, p.id, listener);
        break;
      }
    }
    return opened;  // null when it is gone since it was listed
  };
  auto opened = run_bounded(std::move(open), kCallLimit);
  return opened ? std::move(*opened) : nullptr;
}

std::unique_ptr<DeviceWatch> RtAudioService::watch(brisca::Clock& clock,
                                                   DeviceWatchListener& listener) {
  auto group = std::make_unique<WatchGroup>();
  std::vector<RtAudio::Api> polled;
  for (RtAudio::Api api : listed_apis()) {
    if (api != RtAudio::UNIX_JACK) {
      polled.push_back(api);
      continue;
    }
    JackWatchNames names;
    names.audio_out = [](std::string_view client) {
      return entry_name(RtAudio::UNIX_JACK, client);
    };
    group->add(watch_jack(clock, listener, std::move(names)));
  }
  if (!polled.empty()) {
    group->add(poll_outputs(clock, listener, [polled] {
      std::vector<std::string> names;
      for (const Listed& l : list_devices(polled, true)) names.push_back(l.info.name);
      return names;
    }));
  }
  return group_or_null(std::move(group));
}

}  // namespace brisca::rtaudio
