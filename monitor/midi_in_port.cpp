#include "monitor/midi_in_port.h"

#include <algorithm>

#include "monitor/monitor_display.h"

namespace brisca {

namespace {

constexpr std::uint32_t kPackedMask = 0xFFFFFF;
static_assert(sizeof(std::uintptr_t) >= 8, "a posted short message carries its sequence number");

// Sequence numbers wrap; a is newer than b when it is less than half the range ahead.
bool newer(std::uint32_t a, std::uint32_t b) {
  return static_cast<std::int32_t>(a - b) > 0;
}

}  // namespace

MidiInPort::MidiInPort(MidiService& service)
    : service_(service), buffers_(static_cast<std::size_t>(kBufferCount) * kBufferBytes) {}

int MidiInPort::open(WindowPort* window, int choice) {
  close();
  if (choice <= 0) return 0;
  window_ = window;
  choice_ = choice;
  return open_device();
}

int MidiInPort::open_device() {
  const std::uint32_t generation = ++generation_;
  device_ = service_.open_input(
      choice_ - 1, [this, generation](std::uint32_t id, std::uintptr_t p1, std::uintptr_t) {
        callback(generation, id, p1);
      });
  if (!device_) return 0;
  for (int i = 0; i < kBufferCount; ++i) {
    MidiHeader& header = headers_[static_cast<std::size_t>(i)];
    header = MidiHeader{};
    header.data = buffers_.data() + static_cast<std::size_t>(i) * kBufferBytes;
    header.buffer_length = kBufferBytes;
    header.flags = 0;
    returned_[static_cast<std::size_t>(i)].store(false, std::memory_order_relaxed);
    if (device_->prepare_header(header) != 0 || device_->add_buffer(header) != 0) {
      shut_device();
      return 0;
    }
  }
  device_->start();
  return choice_;
}

void MidiInPort::close() {
  shut_device();
  if (retrying_ && window_ != nullptr) window_->stop_timer(kMonitorTimerId);
  retrying_ = false;
  tell(InputStatus{false, dropped_before_});
}

void MidiInPort::shut_device() {
  ++generation_;  // a loss reported from here on belongs to a device that is gone
  if (!device_) return;
  dropped_before_ += device_->dropped();
  if (device_->stop() == 0 && device_->reset() == 0) {
    bool unprepared = true;
    for (MidiHeader& header : headers_) {
      if (device_->unprepare_header(header) != 0) {
        unprepared = false;
        break;
      }
    }
    if (unprepared) device_->close();
  }
  device_.reset();
}

// The device reported its loss: close what is left of it, say so, and try again later.
void MidiInPort::lose_device() {
  shut_device();
  InputStatus status = status_;
  status.lost = true;
  status.dropped = dropped_before_;
  tell(status);
  if (!keep_reopening_ || window_ == nullptr) return;
  retrying_ = true;
  retry_wait_ = kFirstRetry;
  window_->start_timer(kMonitorTimerId, static_cast<int>(retry_wait_.count()));
}

void MidiInPort::on_timer(int id) {
  if (id != kMonitorTimerId || !retrying_ || window_ == nullptr) return;
  window_->stop_timer(kMonitorTimerId);
  if (open_device() != 0) {
    retrying_ = false;
    InputStatus status = status_;
    status.lost = false;
    tell(status);
    return;
  }
  retry_wait_ = std::min(retry_wait_ * 2, kLongestRetry);
  window_->start_timer(kMonitorTimerId, static_cast<int>(retry_wait_.count()));
}

void MidiInPort::tell(const InputStatus& status) {
  if (status == status_) return;
  status_ = status;
  if (status_handler_) status_handler_(status_);
}

// The device's thread.
void MidiInPort::callback(std::uint32_t generation, std::uint32_t id, std::uintptr_t param1) {
  if (window_ == nullptr || id == MIM_OPEN) return;
  if (id == MIM_CLOSE) {  // at a close it is stale by the time the window sees it
    window_->post_message(WindowMessage::MidiInput, kMonitorLost, generation);
    return;
  }
  if (id == MIM_DATA) {
    post_short(static_cast<std::uint32_t>(param1) & kPackedMask);
    return;
  }
  if (id == MIM_LONGDATA) {
    const int index = header_index(param1);
    if (index < 0) return;
    returned_[static_cast<std::size_t>(index)].store(true, std::memory_order_release);
  }
  window_->post_message(WindowMessage::MidiInput, id, param1);
}

void MidiInPort::post_short(std::uint32_t packed) {
  std::uint32_t sequence = sequence_.fetch_add(1, std::memory_order_relaxed) + 1;
  if (sequence == 0) sequence = sequence_.fetch_add(1, std::memory_order_relaxed) + 1;
  const bool crowded = posted_.load(std::memory_order_acquire) >= kMaxPosted;
  if (!crowded && !flush_posted_.load(std::memory_order_acquire)) {
    posted_.fetch_add(1, std::memory_order_acq_rel);
    const std::uint64_t param = (std::uint64_t{sequence} << 32) | packed;
    window_->post_message(WindowMessage::MidiInput, MIM_DATA, static_cast<std::uintptr_t>(param));
    return;
  }
  const int field = choose_field(packed);
  if (field < 0) return;  // shown nowhere anyway
  kept_[static_cast<std::size_t>(field)].value.store((std::uint64_t{sequence} << 32) | packed,
                                                     std::memory_order_release);
  if (!flush_posted_.exchange(true, std::memory_order_acq_rel))
    window_->post_message(WindowMessage::MidiInput, kMonitorFlush, 0);
}

void MidiInPort::handle_input_event(std::uintptr_t id, std::uintptr_t param) {
  if (id == MIM_DATA) {
    const auto value = static_cast<std::uint64_t>(param);
    const auto sequence = static_cast<std::uint32_t>(value >> 32);
    if (sequence != 0) posted_.fetch_sub(1, std::memory_order_acq_rel);
    show_short(static_cast<std::uint32_t>(value) & kPackedMask, sequence);
  } else if (id == MIM_LONGDATA) {
    handle_long(param);
  } else if (id == kMonitorFlush) {
    flush();
  } else if (id == kMonitorLost) {
    if (device_ && param == generation_) lose_device();
    return;
  }
  if (device_) {
    InputStatus status = status_;
    status.dropped = dropped_before_ + device_->dropped();
    tell(status);
  }
}

// A message without a sequence number (not from this port's callback) is always shown.
void MidiInPort::show_short(std::uint32_t packed, std::uint32_t sequence) {
  if (listener_ != nullptr) listener_->short_message(packed);
  const int field = choose_field(packed);
  if (field < 0) return;
  std::uint32_t& shown = shown_[static_cast<std::size_t>(field)];
  if (sequence != 0) {
    if (shown != 0 && !newer(sequence, shown)) return;
    shown = sequence;
  }
  show_short_message(window_, packed);
}

void MidiInPort::flush() {
  flush_posted_.store(false, std::memory_order_release);
  for (Slot& slot : kept_) {
    const std::uint64_t value = slot.value.exchange(0, std::memory_order_acq_rel);
    if (value != 0)
      show_short(static_cast<std::uint32_t>(value) & kPackedMask,
                 static_cast<std::uint32_t>(value >> 32));
  }
}

// A filled buffer: its summary, then back to the device. An empty one (from a reset) is not
// queued again.
void MidiInPort::handle_long(std::uintptr_t param) {
  const int index = header_index(param);
  if (index < 0 || !returned_[static_cast<std::size_t>(index)].exchange(false)) return;
  MidiHeader& header = headers_[static_cast<std::size_t>(index)];
  const std::uint32_t length = std::min(header.bytes_recorded, header.buffer_length);
  if (length == 0) return;
  if (listener_ != nullptr) listener_->long_data(header.data, length);
  show_sysex(window_, header.data, length);
  if (device_) device_->add_buffer(header);
}

void MidiInPort::clear_data() {
  brisca::clear_data(window_);
}

int MidiInPort::header_index(std::uintptr_t address) const {
  for (int i = 0; i < kBufferCount; ++i)
    if (reinterpret_cast<std::uintptr_t>(&headers_[static_cast<std::size_t>(i)]) == address)
      return i;
  return -1;
}

}  // namespace brisca
