#include "download/midi_out_port.h"

namespace brisca {

int MidiOutPort::open(int choice) {
  close_device();
  choice_ = 0;
  lost_choice_ = 0;
  if (choice <= 0) return 0;
  count_.store(0, std::memory_order_relaxed);
  write_ = 0;
  read_ = 0;
  rotation_ = 0;
  dropped_.store(0, std::memory_order_relaxed);
  device_ = service_.open_output(choice - 1, *this);
  if (!device_) return 0;
  headers_.fill(MidiHeader{});
  end_header_ = MidiHeader{};
  choice_ = choice;
  return choice;
}

MidiHeader& MidiOutPort::next_header() {
  MidiHeader& header = headers_[static_cast<std::size_t>(rotation_)];
  rotation_ = (rotation_ + 1) % kHeaderCount;
  return header;
}

Status MidiOutPort::send_long(MidiHeader& header) {
  if (!device_) return make_error(ErrorCode::DeviceLost, "no MIDI output is open");
  header.flags = 0;
  (void)device_->prepare_header(header);  // a bad header fails the long message below
  return device_->long_msg(header);
}

Status MidiOutPort::send_end_of_message() {
  if (!device_) return make_error(ErrorCode::DeviceLost, "no MIDI output is open");
  // One still queued ends the message just as well.
  if (load_flags(end_header_.flags) & HDR_INQUEUE) return {};
  end_header_.data = &end_byte_;
  end_header_.buffer_length = 1;
  return send_long(end_header_);
}

void MidiOutPort::unprepare(MidiHeader& header) {
  if (device_) (void)device_->unprepare_header(header);
}

// Device thread. A full ring drops the report: a lost done report is then caught by the
// sequencer's bounded wait instead of overwriting an entry the window has not read.
void MidiOutPort::report(const PortReport& entry) {
  if (count_.load(std::memory_order_acquire) >= kRingSize) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  ring_[write_] = entry;
  write_ = (write_ + 1) % kRingSize;
  count_.fetch_add(1, std::memory_order_release);
}

std::optional<PortReport> MidiOutPort::take_report() {
  if (count_.load(std::memory_order_acquire) == 0) return std::nullopt;
  PortReport entry = ring_[read_];
  read_ = (read_ + 1) % kRingSize;
  count_.fetch_sub(1, std::memory_order_release);
  return entry;
}

MidiHeader* MidiOutPort::take_done_header() {
  auto entry = take_report();
  if (!entry || entry->kind != PortReport::Kind::Done) return nullptr;
  return own_header(entry->header);
}

MidiHeader* MidiOutPort::own_header(const MidiHeader* header) {
  for (MidiHeader& own : headers_)
    if (&own == header) return &own;
  return nullptr;
}

void MidiOutPort::close_device() {
  if (!device_) return;
  (void)device_->close();
  device_.reset();
}

void MidiOutPort::close() {
  close_device();
  choice_ = 0;
  lost_choice_ = 0;
}

void MidiOutPort::close_lost() {
  if (!device_) return;
  close_device();
  lost_choice_ = choice_;
  choice_ = 0;
}

int MidiOutPort::reopen() {
  if (device_ || lost_choice_ == 0) return 0;
  const int choice = lost_choice_;
  const int result = open(choice);
  if (result == 0) lost_choice_ = choice;
  return result;
}

}  // namespace brisca
