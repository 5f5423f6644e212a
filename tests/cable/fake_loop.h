// A MIDI service whose one output is cabled to its one input, for tests without devices: each
// long message written to the output comes back on the input at once, through `wire`, which may
// drop, change or add bytes; the output then reports it done. Real-time bytes on the wire come
// back as short messages, as an input device reports them.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/api/devices.h"

namespace brisca::test {

struct Loop {
  using Bytes = std::vector<std::uint8_t>;
  // What the cable does to one chunk; by default nothing.
  std::function<Bytes(const Bytes&)> wire = [](const Bytes& b) { return b; };
  bool connected = true;  // false: nothing written to the output comes back
  MidiOutDeviceListener* out = nullptr;
  MidiInDeviceListener* in = nullptr;
  std::deque<MidiHeader*> buffers;  // the input's queued buffers
  MidiHeader* filling = nullptr;
  Bytes written;  // every byte written to the output
  std::vector<std::size_t> chunk_sizes;

  void deliver(const Bytes& bytes) {
    for (std::uint8_t byte : bytes) {
      if (byte >= 0xF8) {
        in->data(byte, 0);
        continue;
      }
      if (byte == 0xF0 && filling != nullptr && filling->bytes_recorded > 0) hand_back();
      if (filling == nullptr) {
        if (buffers.empty()) continue;  // no buffer: the byte is dropped
        filling = buffers.front();
        buffers.pop_front();
        filling->bytes_recorded = 0;
      }
      filling->data[filling->bytes_recorded++] = byte;
      if (byte == 0xF7 || filling->bytes_recorded == filling->buffer_length) hand_back();
    }
  }
  void hand_back() {
    MidiHeader* h = filling;
    filling = nullptr;
    in->sysex(*h, 0);
  }
};

class LoopOut : public MidiOutDevice {
 public:
  explicit LoopOut(std::shared_ptr<Loop> loop) : loop_(std::move(loop)) {}
  Status prepare_header(MidiHeader&) override { return {}; }
  Status long_msg(MidiHeader& h) override {
    const Loop::Bytes chunk(h.data, h.data + h.buffer_length);
    loop_->written.insert(loop_->written.end(), chunk.begin(), chunk.end());
    loop_->chunk_sizes.push_back(chunk.size());
    if (loop_->connected) loop_->deliver(loop_->wire(chunk));
    loop_->out->done(h);
    return {};
  }
  Status short_msg(std::uint32_t) override { return {}; }
  Status unprepare_header(MidiHeader&) override { return {}; }
  Status close() override { return {}; }

 private:
  std::shared_ptr<Loop> loop_;
};

class LoopIn : public MidiInDevice {
 public:
  explicit LoopIn(std::shared_ptr<Loop> loop) : loop_(std::move(loop)) {}
  Status prepare_header(MidiHeader&) override { return {}; }
  Status add_buffer(MidiHeader& h) override {
    loop_->buffers.push_back(&h);
    return {};
  }
  Status start() override { return {}; }
  Status stop() override { return {}; }
  Status reset() override {
    if (loop_->filling != nullptr) loop_->buffers.push_front(loop_->filling);
    loop_->filling = nullptr;
    while (!loop_->buffers.empty()) {
      MidiHeader* h = loop_->buffers.front();
      loop_->buffers.pop_front();
      h->bytes_recorded = 0;
      loop_->in->sysex(*h, 0);
    }
    return {};
  }
  Status unprepare_header(MidiHeader&) override { return {}; }
  Status close() override { return {}; }

 private:
  std::shared_ptr<Loop> loop_;
};

class LoopService : public MidiService {
 public:
  std::vector<std::string> input_names() override { return {"Loop In"}; }
  std::vector<std::string> output_names() override { return {"Loop Out"}; }
  std::unique_ptr<MidiInDevice> open_input(int, MidiInDeviceListener& listener) override {
    loop->in = &listener;
    return std::make_unique<LoopIn>(loop);
  }
  std::unique_ptr<MidiOutDevice> open_output(int, MidiOutDeviceListener& listener) override {
    loop->out = &listener;
    loop->out->opened();
    return std::make_unique<LoopOut>(loop);
  }

  std::shared_ptr<Loop> loop = std::make_shared<Loop>();
};

}  // namespace brisca::test
