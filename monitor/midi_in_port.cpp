#include "monitor/midi_in_port.h"

#include <algorithm>

namespace brisca {

namespace {

constexpr std::uint32_t kPackedMask = 0xFFFFFF;

// Sequence numbers wrap; a is newer than b when it is less than half the range ahead.
bool newer(std::uint32_t a, std::uint32_t b) {
  return static_cast<std::int32_t>(a - b) > 0;
}

}  // namespace

MidiInPort::MidiInPort(MidiService& service, Clock& clock, MonitorListener* monitor)
    : service_(service),
      clock_(clock),
      monitor_(monitor),
      buffers_(static_cast<std::size_t>(kBufferCount) * kBufferBytes) {}

Status MidiInPort::open(int choice) {
  close();
  if (choice <= 0) return make_error(ErrorCode::InvalidArgument, "no MIDI input chosen");
  choice_ = choice;
  if (!open_device()) return make_error(ErrorCode::DeviceFailed, "cannot be opened");
  return {};
}

bool MidiInPort::open_device() {
  reports_.generation.store(++generation_, std::memory_order_relaxed);
  device_ = service_.open_input(choice_ - 1, reports_);
  if (!device_) return false;
  for (int i = 0; i < kBufferCount; ++i) {
    MidiHeader& header = headers_[static_cast<std::size_t>(i)];
    header = MidiHeader{};
    header.data = buffers_.data() + static_cast<std::size_t>(i) * kBufferBytes;
    header.buffer_length = kBufferBytes;
    header.flags = 0;
    returned_[static_cast<std::size_t>(i)].store(false, std::memory_order_relaxed);
    if (!device_->prepare_header(header) || !device_->add_buffer(header)) {
      shut_device();
      return false;
    }
  }
  (void)device_->start();  // nothing arrives from a device that would not start
  return true;
}

void MidiInPort::close() {
  shut_device();
  retry_.stop();
  tell(InputStatus{false, dropped_before_});
}

void MidiInPort::shut_device() {
  ++generation_;  // a loss reported from here on belongs to a device that is gone
  if (!device_) return;
  dropped_before_ += device_->dropped();
  if (device_->stop() && device_->reset()) {
    bool unprepared = true;
    for (MidiHeader& header : headers_) {
      if (!device_->unprepare_header(header)) {
        unprepared = false;
        break;
      }
    }
    if (unprepared) (void)device_->close();
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
  if (!keep_reopening_) return;
  retry_wait_ = kFirstRetry;
  retry_.after(clock_, retry_wait_, [this] { reopen(); });
}

void MidiInPort::reopen() {
  retry_.ran();
  if (open_device()) {
    InputStatus status = status_;
    status.lost = false;
    tell(status);
    return;
  }
  retry_wait_ = std::min(retry_wait_ * 2, kLongestRetry);
  retry_.after(clock_, retry_wait_, [this] { reopen(); });
}

void MidiInPort::tell(const InputStatus& status) {
  if (status == status_) return;
  status_ = status;
  if (monitor_ != nullptr) monitor_->status(status_);
}

void MidiInPort::tell_dropped() {
  if (!device_) return;
  InputStatus status = status_;
  status.dropped = dropped_before_ + device_->dropped();
  tell(status);
}

// Any thread. The weak hold is taken here, by the thread that posts.
void MidiInPort::post(std::function<void(MidiInPort&)> task) {
  clock_.post([alive = std::weak_ptr<MidiInPort*>(alive_), task = std::move(task)] {
    if (const auto port = alive.lock()) task(**port);
  });
}

// The device's thread. A loss reported at a close is stale by the time the clock's thread sees
// it.
void MidiInPort::DeviceReports::closed() {
  const std::uint32_t reported = generation.load(std::memory_order_relaxed);
  port_.post([reported](MidiInPort& port) {
    if (port.device_ && reported == port.generation_) port.lose_device();
  });
}

void MidiInPort::DeviceReports::data(std::uint32_t packed, std::uint64_t) {
  port_.post_short(packed & kPackedMask);
}

void MidiInPort::DeviceReports::sysex(MidiHeader& header, std::uint64_t) {
  const int index = port_.header_index(header);
  if (index < 0) return;
  port_.returned_[static_cast<std::size_t>(index)].store(true, std::memory_order_release);
  port_.post([index](MidiInPort& port) {
    port.handle_long(index);
    port.tell_dropped();
  });
}

void MidiInPort::post_short(std::uint32_t packed) {
  std::uint32_t sequence = sequence_.fetch_add(1, std::memory_order_relaxed) + 1;
  if (sequence == 0) sequence = sequence_.fetch_add(1, std::memory_order_relaxed) + 1;
  const bool crowded = posted_.load(std::memory_order_acquire) >= kMaxPosted;
  if (!crowded && !flush_posted_.load(std::memory_order_acquire)) {
    posted_.fetch_add(1, std::memory_order_acq_rel);
    post([packed, sequence](MidiInPort& port) {
      port.posted_.fetch_sub(1, std::memory_order_acq_rel);
      port.show_short(packed, sequence);
      port.tell_dropped();
    });
    return;
  }
  const int field = choose_field(packed);
  if (field < 0) return;  // shown nowhere anyway
  kept_[static_cast<std::size_t>(field)].value.store((std::uint64_t{sequence} << 32) | packed,
                                                     std::memory_order_release);
  if (!flush_posted_.exchange(true, std::memory_order_acq_rel)) {
    post([](MidiInPort& port) {
      port.flush();
      port.tell_dropped();
    });
  }
}

void MidiInPort::show_short(std::uint32_t packed, std::uint32_t sequence) {
  if (listener_ != nullptr) listener_->short_message(packed);
  const int field = choose_field(packed);
  if (field < 0) return;
  std::uint32_t& shown = shown_[static_cast<std::size_t>(field)];
  if (shown != 0 && !newer(sequence, shown)) return;
  shown = sequence;
  show(static_cast<MonitorField>(field), short_message_text(field, packed));
}

void MidiInPort::show(MonitorField field, const std::string& text) {
  if (monitor_ != nullptr) monitor_->field_text(field, text);
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
void MidiInPort::handle_long(int index) {
  if (!returned_[static_cast<std::size_t>(index)].exchange(false)) return;
  MidiHeader& header = headers_[static_cast<std::size_t>(index)];
  const std::uint32_t length = std::min(header.bytes_recorded, header.buffer_length);
  if (length == 0) return;
  if (listener_ != nullptr) listener_->long_data(header.data, length);
  show(MonitorField::SystemExclusive, sysex_summary(header.data, length));
  if (device_) (void)device_->add_buffer(header);  // refused: the device is going
}

void MidiInPort::clear_data() {
  for (int field = 0; field < kMonitorTextFields; ++field)
    show(static_cast<MonitorField>(field), "");
}

int MidiInPort::header_index(const MidiHeader& header) const {
  for (int i = 0; i < kBufferCount; ++i)
    if (&headers_[static_cast<std::size_t>(i)] == &header) return i;
  return -1;
}

}  // namespace brisca
