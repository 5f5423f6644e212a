// A wave output for tests: it keeps what was written and finishes buffers when the test says
// so, reporting from the calling thread as the real device does from its own.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "platform/api/devices.h"

namespace brisca::test {

struct WaveLog {
  std::vector<std::vector<std::int16_t>> written;  // each write's samples, in order
  std::deque<WaveHeader*> queued;
  int resets = 0;
  int closes = 0;
  int opened_device = -1;
  bool refuse_writes = false;        // a device that is gone
  bool reset_leaves_queued = false;  // a reset whose buffers never come back
  WaveOutDeviceListener* listener = nullptr;

  // The oldest queued buffer has played.
  void finish_one() {
    WaveHeader* h = queued.front();
    queued.pop_front();
    store_flags(h->flags, (load_flags(h->flags) & ~HDR_INQUEUE) | HDR_DONE);
    if (listener != nullptr) listener->block_done(*h);
  }
};

class FakeWaveOut : public WaveOutDevice {
 public:
  explicit FakeWaveOut(WaveLog& log) : log_(log) {}
  Status prepare_header(WaveHeader& h) override {
    store_flags(h.flags, load_flags(h.flags) | HDR_PREPARED);
    return {};
  }
  Status write(WaveHeader& h) override {
    if (log_.refuse_writes) return device_error::lost();
    if ((load_flags(h.flags) & HDR_PREPARED) == 0) return device_error::unprepared();
    store_flags(h.flags, (load_flags(h.flags) & ~HDR_DONE) | HDR_INQUEUE);
    const auto* samples = reinterpret_cast<const std::int16_t*>(h.data);
    log_.written.emplace_back(samples, samples + h.buffer_length / 2);
    log_.queued.push_back(&h);
    return {};
  }
  Status unprepare_header(WaveHeader& h) override {
    if ((load_flags(h.flags) & HDR_INQUEUE) != 0) return device_error::still_queued();
    store_flags(h.flags, load_flags(h.flags) & ~HDR_PREPARED);
    return {};
  }
  Status reset() override {
    ++log_.resets;
    if (log_.reset_leaves_queued) return {};
    while (!log_.queued.empty()) log_.finish_one();
    return {};
  }
  Status close() override {
    ++log_.closes;
    return {};
  }

 private:
  WaveLog& log_;
};

class FakeAudioService : public AudioService {
 public:
  explicit FakeAudioService(WaveLog& log, int devices = 2) : log_(log), devices_(devices) {}
  std::vector<AudioDeviceInfo> input_devices() override { return {}; }
  std::vector<AudioDeviceInfo> output_devices() override {
    return std::vector<AudioDeviceInfo>(static_cast<std::size_t>(devices_), {"Out", true});
  }
  std::unique_ptr<WaveOutDevice> open_output(int device, WaveOutDeviceListener& listener) override {
    if (device < 0 || device >= devices_) return nullptr;
    log_.opened_device = device;
    log_.listener = &listener;
    return std::make_unique<FakeWaveOut>(log_);
  }

 private:
  WaveLog& log_;
  int devices_;
};

}  // namespace brisca::test
