// A MIDI input service for tests: records the calls made on the device and lets the test play
// the device's thread (short messages, filled buffers, the empty buffers of a reset).
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/midi_in_port.h"
#include "platform/api/devices.h"

namespace brisca::test {

// The monitor's front end for tests: what each field shows, every update, each status told.
struct MonitorFields : MonitorListener {
  void field_text(MonitorField field, const std::string& text) override {
    fields[field] = text;
    log.emplace_back(field, text);
  }
  void status(const InputStatus& status) override { told.push_back(status); }
  std::string field(MonitorField field) const {
    auto it = fields.find(field);
    return it == fields.end() ? std::string() : it->second;
  }

  std::map<MonitorField, std::string> fields;
  std::vector<std::pair<MonitorField, std::string>> log;
  std::vector<InputStatus> told;
};

struct InLog {
  std::vector<std::string> calls;
  std::map<std::string, int> fail_at;  // call name -> how many successes before it fails
  std::deque<MidiHeader*> queued;
  std::vector<int> opened;
  MidiInDeviceListener* listener = nullptr;
  std::uint64_t dropped = 0;  // what the open device says it dropped
  // A device calls back from its own thread only while it is open: once close() has returned
  // the test's device thread is told nothing more (guarded by `device`).
  std::mutex device;
  bool closed = false;

  Status result(const std::string& call) {
    calls.push_back(call);
    auto it = fail_at.find(call);
    if (it == fail_at.end() || it->second-- > 0) return {};
    return make_error(ErrorCode::DeviceFailed, call + " failed");
  }
};

class FakeMidiIn : public MidiInDevice {
 public:
  explicit FakeMidiIn(std::shared_ptr<InLog> log) : log_(std::move(log)) {}
  Status prepare_header(MidiHeader&) override { return log_->result("prepare"); }
  Status add_buffer(MidiHeader& h) override {
    Status r = log_->result("add");
    if (r) log_->queued.push_back(&h);
    return r;
  }
  Status start() override { return log_->result("start"); }
  Status stop() override { return log_->result("stop"); }
  Status reset() override {
    Status r = log_->result("reset");
    if (!r) return r;
    while (!log_->queued.empty()) {
      MidiHeader* h = log_->queued.front();
      log_->queued.pop_front();
      h->bytes_recorded = 0;
      log_->listener->sysex(*h, 0);
    }
    return {};
  }
  Status unprepare_header(MidiHeader&) override { return log_->result("unprepare"); }
  Status close() override {
    std::lock_guard lock(log_->device);
    log_->closed = true;
    return log_->result("close");
  }
  std::uint64_t dropped() const override { return log_->dropped; }

 private:
  std::shared_ptr<InLog> log_;
};

class FakeInService : public MidiService {
 public:
  std::vector<std::string> input_names() override { return {"In A", "In B"}; }
  std::vector<std::string> output_names() override { return {}; }
  std::unique_ptr<MidiInDevice> open_input(int device, MidiInDeviceListener& listener) override {
    log->opened.push_back(device);
    if (fail_open) return nullptr;
    std::lock_guard lock(log->device);
    log->listener = &listener;
    log->closed = false;
    return std::make_unique<FakeMidiIn>(log);
  }
  std::unique_ptr<MidiOutDevice> open_output(int, MidiOutDeviceListener&) override {
    return nullptr;
  }

  // The device's thread. Nothing is delivered by a device that has been closed.
  void short_message(std::uint32_t packed) {
    std::lock_guard lock(log->device);
    if (!log->closed) log->listener->data(packed, 0);
  }
  // Fills the oldest queued buffer with `bytes` and hands it back; false when none is queued.
  bool long_message(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(log->device);
    if (log->closed || log->queued.empty()) return false;
    MidiHeader* h = log->queued.front();
    log->queued.pop_front();
    std::copy(bytes.begin(), bytes.end(), h->data);
    h->bytes_recorded = static_cast<std::uint32_t>(bytes.size());
    log->listener->sysex(*h, 0);
    return true;
  }

  std::shared_ptr<InLog> log = std::make_shared<InLog>();
  bool fail_open = false;
};

}  // namespace brisca::test
