#include "platform/core/midi_in_core.h"

#include <algorithm>
#include <cstring>

#include "platform/core/header_flags.h"

namespace brisca {

namespace {
constexpr std::chrono::milliseconds kIdleTick{200};

std::int64_t now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

MidiInCore::MidiInCore(MidiInDeviceListener& listener, std::size_t ring_bytes,
                       std::chrono::milliseconds buffer_wait)
    : listener_(listener),
      buffer_wait_(buffer_wait),
      ring_(ring_bytes),
      scratch_(ring_.max_record()) {}

MidiInCore::~MidiInCore() {
  if (!finished_) finish();
}

void MidiInCore::begin() {
  worker_ = std::thread([this] { run(); });
}

bool MidiInCore::push(const std::uint8_t* data, std::size_t n) {
  if (n == 0 || !started_.load(std::memory_order_acquire)) return false;
  if (!ring_.push(0, data, n)) {
    dropped_pieces_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  wake_.post();
  return true;
}

Status MidiInCore::prepare(MidiHeader& header) {
  if (header.data == nullptr || header.buffer_length == 0) return device_error::bad_buffer();
  set_flags(header, HDR_PREPARED);
  return {};
}

Status MidiInCore::unprepare(MidiHeader& header) {
  if (load_flags(header) & HDR_INQUEUE) return device_error::still_queued();
  clear_flags(header, HDR_PREPARED);
  return {};
}

Status MidiInCore::add_buffer(MidiHeader& header) {
  if (finished_) return device_error::closed();
  const std::uint32_t flags = load_flags(header);
  if (!(flags & HDR_PREPARED)) return device_error::unprepared();
  if (flags & HDR_INQUEUE) return device_error::still_queued();
  if (header.data == nullptr || header.buffer_length == 0) return device_error::bad_buffer();
  {
    std::lock_guard lock(mutex_);
    header.bytes_recorded = 0;
    clear_flags(header, HDR_DONE);
    set_flags(header, HDR_INQUEUE);
    queue_.push_back(&header);
    starved_ = false;
  }
  buffer_added_.notify_all();
  return {};
}

Status MidiInCore::start() {
  if (finished_) return device_error::closed();
  if (!started_.load()) start_ns_.store(now_ns());
  started_.store(true, std::memory_order_release);
  return {};
}

Status MidiInCore::stop() {
  if (finished_) return device_error::closed();
  {
    std::lock_guard lock(mutex_);
    started_.store(false, std::memory_order_release);
    epoch_.fetch_add(1, std::memory_order_acq_rel);
    if (!queue_.empty()) queue_.front()->bytes_recorded = 0;  // the SysEx in progress
  }
  buffer_added_.notify_all();
  return {};
}

Status MidiInCore::reset() {
  if (finished_) return device_error::closed();
  return_all_buffers();
  return {};
}

void MidiInCore::return_all_buffers() {
  std::deque<MidiHeader*> taken;
  {
    std::lock_guard lock(mutex_);
    started_.store(false, std::memory_order_release);
    epoch_.fetch_add(1, std::memory_order_acq_rel);
    taken.swap(queue_);
  }
  buffer_added_.notify_all();
  for (MidiHeader* header : taken) {
    header->bytes_recorded = 0;
    set_flags(*header, HDR_DONE);
    clear_flags(*header, HDR_INQUEUE);
    listener_.sysex(*header, 0);
  }
}

void MidiInCore::finish() {
  if (finished_) return;
  return_all_buffers();
  finished_ = true;
  {
    std::lock_guard lock(mutex_);
    quit_.store(true, std::memory_order_release);
  }
  buffer_added_.notify_all();
  wake_.post();
  if (worker_.joinable()) worker_.join();
}

std::uint64_t MidiInCore::timestamp() const {
  return static_cast<std::uint64_t>((now_ns() - start_ns_.load()) / 1'000'000);
}

void MidiInCore::mark_lost() {
  lost_.store(true, std::memory_order_release);
  wake_.post();
}

void MidiInCore::run() {
  listener_.opened();
  while (!quit_.load(std::memory_order_acquire)) {
    wake_.wait_for(kIdleTick);
    take_pieces();
    // What arrived before the loss is reported first.
    if (lost() && !close_reported_.exchange(true)) listener_.closed();
  }
  if (!close_reported_.exchange(true)) listener_.closed();
}

void MidiInCore::take_pieces() {
  RecordRing::Record record;
  while (!quit_.load(std::memory_order_acquire) && ring_.peek(record, scratch_.data())) {
    ring_.pop();
    const std::uint32_t epoch = epoch_.load(std::memory_order_acquire);
    if (epoch != feed_epoch_) {  // stopped or reset since the last piece
      feed_epoch_ = epoch;
      parser_.reset();
      dropping_sysex_ = false;
    }
    if (!started_.load(std::memory_order_acquire)) continue;
    parser_.feed(scratch_.data(), record.size, *this);
    parser_.end_piece();
    dropped_bytes_.store(parser_.dropped_bytes(), std::memory_order_relaxed);
  }
}

void MidiInCore::short_message(std::uint32_t packed) {
  if (!current_epoch()) return;
  listener_.data(packed, timestamp());
}

// Waits, up to buffer_wait_, for a buffer when none is queued. Null when the SysEx must be dropped.
MidiHeader* MidiInCore::buffer_for_sysex(std::unique_lock<std::mutex>& lock) {
  if (queue_.empty() && !starved_) {
    buffer_added_.wait_for(lock, buffer_wait_,
                           [this] { return !queue_.empty() || !current_epoch() || quit_.load(); });
    if (queue_.empty() && current_epoch() && !quit_.load()) starved_ = true;
  }
  if (queue_.empty() || !current_epoch()) return nullptr;
  return queue_.front();
}

void MidiInCore::deliver_front(std::unique_lock<std::mutex>& lock) {
  MidiHeader* header = queue_.front();
  queue_.pop_front();
  set_flags(*header, HDR_DONE);
  clear_flags(*header, HDR_INQUEUE);
  lock.unlock();
  listener_.sysex(*header, timestamp());
  lock.lock();
}

void MidiInCore::sysex_bytes(const std::uint8_t* data, std::size_t n) {
  std::unique_lock lock(mutex_);
  while (n > 0 && !dropping_sysex_) {
    MidiHeader* header = buffer_for_sysex(lock);
    if (header == nullptr) {
      dropping_sysex_ = true;
      dropped_sysex_.fetch_add(1, std::memory_order_relaxed);
      break;
    }
    const std::size_t room = header->buffer_length - header->bytes_recorded;
    const std::size_t count = std::min(room, n);
    std::memcpy(header->data + header->bytes_recorded, data, count);
    header->bytes_recorded += static_cast<std::uint32_t>(count);
    data += count;
    n -= count;
    if (header->bytes_recorded == header->buffer_length) deliver_front(lock);
  }
}

void MidiInCore::sysex_end(bool /*terminated*/) {
  std::unique_lock lock(mutex_);
  if (dropping_sysex_) {
    dropping_sysex_ = false;
    return;
  }
  if (!current_epoch() || queue_.empty() || queue_.front()->bytes_recorded == 0) return;
  deliver_front(lock);
}

}  // namespace brisca
