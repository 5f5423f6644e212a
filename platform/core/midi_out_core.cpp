#include "platform/core/midi_out_core.h"

#include <algorithm>

#include "platform/core/header_flags.h"
#include "platform/core/midi_bytes.h"

namespace brisca {

namespace {
constexpr std::uint8_t kWentOut = 1;
constexpr std::uint8_t kAbandoned = 0;
constexpr std::chrono::milliseconds kReporterTick{50};

std::size_t pending_capacity(std::size_t max_message) {
  return std::max<std::size_t>(64 * 1024, 4 * (max_message + 64));
}
}  // namespace

MidiOutCore::MidiOutCore(MidiOutDeviceListener& listener, std::size_t max_message)
    : listener_(listener),
      max_message_(max_message),
      pending_(pending_capacity(max_message)),
      done_(pending_capacity(max_message)),
      scratch_(max_message) {}

MidiOutCore::~MidiOutCore() {
  if (!finished_) finish();
}

void MidiOutCore::start() {
  reporter_ = std::thread([this] { run(); });
}

Status MidiOutCore::prepare(MidiHeader& header) {
  if (header.data == nullptr) return device_error::bad_buffer();
  set_flags(header, HDR_PREPARED);
  return {};
}

Status MidiOutCore::unprepare(MidiHeader& header) {
  if (load_flags(header) & HDR_INQUEUE) return device_error::still_queued();
  clear_flags(header, HDR_PREPARED);
  return {};
}

Status MidiOutCore::submit(MidiHeader& header) {
  if (finished_) return device_error::closed();
  if (lost()) return device_error::lost();
  const std::uint32_t flags = load_flags(header);
  if (!(flags & HDR_PREPARED)) return device_error::unprepared();
  if (flags & HDR_INQUEUE) return device_error::still_queued();
  if (header.data == nullptr || header.buffer_length == 0 || header.buffer_length > max_message_)
    return device_error::bad_buffer();
  clear_flags(header, HDR_DONE);
  set_flags(header, HDR_INQUEUE);
  const auto tag = reinterpret_cast<std::uintptr_t>(&header);
  if (!pending_.push(tag, header.data, header.buffer_length)) {
    clear_flags(header, HDR_INQUEUE);
    return device_error::no_room();
  }
  wake_.post();
  return {};
}

Status MidiOutCore::submit_short(std::uint32_t packed) {
  if (finished_) return device_error::closed();
  const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(packed),
                                 static_cast<std::uint8_t>(packed >> 8),
                                 static_cast<std::uint8_t>(packed >> 16)};
  const std::size_t length = midi::short_length(bytes[0]);
  if (length == 0 || length > max_message_) return device_error::bad_buffer();
  if (lost()) return device_error::lost();
  if (!pending_.push(0, bytes, length)) return device_error::no_room();
  wake_.post();
  return {};
}

void MidiOutCore::mark_lost() {
  lost_.store(true, std::memory_order_release);
  wake_.post();
}

void MidiOutCore::consumer_gone() {
  consumer_gone_.store(true, std::memory_order_release);
  mark_lost();
}

// The limit runs from the last message that went out: a device still taking messages, however
// late a busy machine lets its server run, is waited for up to kCloseDrainMost in all (so the
// lone F7 that ends a stopped message reaches it), and one that takes nothing is given up on.
bool MidiOutCore::wait_idle(std::chrono::milliseconds limit) const {
  using Steady = std::chrono::steady_clock;
  auto now = Steady::now();
  const auto most = now + std::max(limit, kCloseDrainMost);
  auto until = now + limit;
  std::uint64_t seen = written_.load(std::memory_order_acquire);
  while (!idle() && !lost() && now < until && now < most) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    now = Steady::now();
    const std::uint64_t written = written_.load(std::memory_order_acquire);
    if (written != seen) {
      seen = written;
      until = now + limit;
    }
  }
  return idle();
}

void MidiOutCore::on_written(std::uintptr_t tag) {
  written_.fetch_add(1, std::memory_order_release);
  if (tag == 0) return;
  done_.push(tag, &kWentOut, 1);
  wake_.post();
}

void MidiOutCore::on_abandoned(std::uintptr_t tag) {
  if (tag == 0) return;
  done_.push(tag, &kAbandoned, 1);
  wake_.post();
}

// Reporting thread: hands each finished header to the caller.
void MidiOutCore::report_done() {
  RecordRing::Record record;
  std::uint8_t went_out = 0;
  while (done_.peek(record, &went_out)) {
    done_.pop();
    auto* header = reinterpret_cast<MidiHeader*>(record.tag);
    if (went_out) {
      set_flags(*header, HDR_DONE);
      clear_flags(*header, HDR_INQUEUE);
      listener_.done(*header);
    } else {
      clear_flags(*header, HDR_INQUEUE);
    }
  }
}

// A message that stays first in the queue with no write at all for kStallLimit means the
// consumer has stopped (a server that died without telling) or the device refuses for good.
void MidiOutCore::check_stall() {
  static_assert(kStallLimit > kReporterTick);
  const std::uint64_t written = written_.load(std::memory_order_acquire);
  const auto now = std::chrono::steady_clock::now();
  if (idle() || written != stall_written_) {
    stall_written_ = written;
    stall_since_ = now;
    return;
  }
  if (now - stall_since_ >= kStallLimit) mark_lost();
}

void MidiOutCore::run() {
  listener_.opened();
  while (!stopping_.load(std::memory_order_acquire)) {
    wake_.wait_for(kReporterTick);
    if (pump_) pump_();
    if (consumer_gone_.load(std::memory_order_acquire))
      drain([](bool, const std::uint8_t*, std::size_t) { return WriteResult::Lost; });
    report_done();
    if (lost() && !close_reported_) {
      close_reported_ = true;
      listener_.closed();
    }
    if (!lost()) check_stall();
  }
  report_done();
  if (!close_reported_) listener_.closed();
}

void MidiOutCore::abandon_pending() {
  RecordRing::Record record;
  while (pending_.peek_header(record)) {
    pending_.pop();
    if (record.tag != 0) clear_flags(*reinterpret_cast<MidiHeader*>(record.tag), HDR_INQUEUE);
  }
}

void MidiOutCore::finish() {
  if (finished_) return;
  finished_ = true;
  if (reporter_.joinable()) {
    stopping_.store(true, std::memory_order_release);
    wake_.post();
    reporter_.join();
  } else {
    report_done();
  }
  abandon_pending();
}

}  // namespace brisca
