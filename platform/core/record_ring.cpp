#include "platform/core/record_ring.h"

#include <algorithm>
#include <cstring>

namespace brisca {

namespace {
std::size_t round_up_pow2(std::size_t n) {
  std::size_t p = 64;
  while (p < n) p <<= 1;
  return p;
}
}  // namespace

RecordRing::RecordRing(std::size_t capacity)
    : storage_(round_up_pow2(capacity)), mask_(storage_.size() - 1) {}

std::size_t RecordRing::max_record() const {
  return storage_.size() - sizeof(Header);
}

void RecordRing::copy_in(std::size_t at, const void* from, std::size_t n) {
  const auto* src = static_cast<const std::uint8_t*>(from);
  const std::size_t start = at & mask_;
  const std::size_t first = std::min(n, storage_.size() - start);
  std::memcpy(storage_.data() + start, src, first);
  std::memcpy(storage_.data(), src + first, n - first);
}

void RecordRing::copy_out(std::size_t at, void* to, std::size_t n) const {
  auto* dst = static_cast<std::uint8_t*>(to);
  const std::size_t start = at & mask_;
  const std::size_t first = std::min(n, storage_.size() - start);
  std::memcpy(dst, storage_.data() + start, first);
  std::memcpy(dst + first, storage_.data(), n - first);
}

bool RecordRing::push(std::uintptr_t tag, const std::uint8_t* data, std::size_t size) {
  const std::size_t head = head_.load(std::memory_order_relaxed);
  const std::size_t tail = tail_.load(std::memory_order_acquire);
  const std::size_t need = sizeof(Header) + size;
  if (need > storage_.size() - (head - tail)) return false;
  const Header header{tag, size};
  copy_in(head, &header, sizeof header);
  if (size > 0) copy_in(head + sizeof header, data, size);
  head_.store(head + need, std::memory_order_release);
  return true;
}

bool RecordRing::peek_header(Record& record) const {
  const std::size_t tail = tail_.load(std::memory_order_relaxed);
  const std::size_t head = head_.load(std::memory_order_acquire);
  if (head == tail) return false;
  Header header{};
  copy_out(tail, &header, sizeof header);
  record = {header.tag, header.size};
  return true;
}

bool RecordRing::peek(Record& record, std::uint8_t* out) const {
  if (!peek_header(record)) return false;
  const std::size_t tail = tail_.load(std::memory_order_relaxed);
  if (record.size > 0) copy_out(tail + sizeof(Header), out, record.size);
  return true;
}

void RecordRing::pop() {
  Record record;
  if (!peek_header(record)) return;
  const std::size_t tail = tail_.load(std::memory_order_relaxed);
  tail_.store(tail + sizeof(Header) + record.size, std::memory_order_release);
}

bool RecordRing::has_room(std::size_t size) const {
  const std::size_t used =
      head_.load(std::memory_order_relaxed) - tail_.load(std::memory_order_acquire);
  return sizeof(Header) + size <= storage_.size() - used;
}

bool RecordRing::empty() const {
  return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire);
}

}  // namespace brisca
