// A MIDI output service for tests: records every long message as a chunk and completes chunks
// only when the test says so, as the device's thread would.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/api/devices.h"

namespace brisca::test {

struct OutLog {
  std::vector<std::vector<std::uint8_t>> chunks;  // bytes of each long message, in order
  std::deque<MidiHeader*> in_flight;
  std::vector<int> opened;  // device numbers
  int closes = 0;
  Status long_result;          // what long_msg answers
  bool auto_complete = false;  // report each message done as soon as it is queued
  MidiOutDeviceListener* listener = nullptr;
  bool open = false;
  std::string destination;          // what the device says it sends to
  std::vector<std::string> others;  // the other senders it reports
  bool gone = false;                // what it says of its destination after a loss
};

class FakeMidiOut : public MidiOutDevice {
 public:
  explicit FakeMidiOut(std::shared_ptr<OutLog> log) : log_(std::move(log)) {}
  Status prepare_header(MidiHeader& h) override {
    h.flags |= HDR_PREPARED;
    return {};
  }
  Status long_msg(MidiHeader& h) override {
    log_->chunks.emplace_back(h.data, h.data + h.buffer_length);
    if (log_->auto_complete && log_->long_result) {
      log_->listener->done(h);
      return {};
    }
    log_->in_flight.push_back(&h);
    return log_->long_result;
  }
  Status short_msg(std::uint32_t) override { return {}; }
  std::string destination() const override { return log_->destination; }
  std::vector<std::string> other_senders() const override { return log_->others; }
  bool destination_gone() const override { return log_->gone; }
  Status unprepare_header(MidiHeader& h) override {
    h.flags &= ~HDR_PREPARED;
    return {};
  }
  // Reads what is still in flight, as a device finishing its last message would: freeing a
  // chunk's bytes before the device is closed shows up under the address sanitizer.
  Status close() override {
    volatile std::uint8_t sink = 0;
    for (MidiHeader* h : log_->in_flight)
      for (std::uint32_t i = 0; i < h->buffer_length; ++i) sink = sink + h->data[i];
    log_->in_flight.clear();
    log_->open = false;
    ++log_->closes;
    return {};
  }

 private:
  std::shared_ptr<OutLog> log_;
};

class FakeMidiService : public MidiService {
 public:
  std::vector<std::string> input_names() override { return {}; }
  std::vector<std::string> output_names() override { return {"Out A", "Out B"}; }
  std::unique_ptr<MidiInDevice> open_input(int, MidiInDeviceListener&) override { return nullptr; }
  std::unique_ptr<MidiOutDevice> open_output(int device, MidiOutDeviceListener& listener) override {
    log->opened.push_back(device);
    if (fail_open) return nullptr;
    log->listener = &listener;
    log->open = true;
    log->listener->opened();
    return std::make_unique<FakeMidiOut>(log);
  }

  // The device reports the oldest chunk done; false when none is in flight.
  bool complete() {
    if (log->in_flight.empty()) return false;
    MidiHeader* h = log->in_flight.front();
    log->in_flight.pop_front();
    log->listener->done(*h);
    return true;
  }

  std::shared_ptr<OutLog> log = std::make_shared<OutLog>();
  bool fail_open = false;
};

}  // namespace brisca::test
