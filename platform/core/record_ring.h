// A single-producer, single-consumer ring of records (a tag and a few bytes each). Neither side
// locks or allocates after construction, so either may be a real-time audio thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace brisca {

class RecordRing {
 public:
  // `capacity` bytes of storage, rounded up to a power of two; each record takes its size plus
  // a small header.
  explicit RecordRing(std::size_t capacity);

  // The largest record push() can ever accept.
  std::size_t max_record() const;

  // Producer: appends the record whole, or returns false and changes nothing.
  bool push(std::uintptr_t tag, const std::uint8_t* data, std::size_t size);

  // Consumer: the oldest record, left in place. Copies its bytes to `out` (which must hold
  // max_record() bytes or the record's size) and returns true; false when empty.
  struct Record {
    std::uintptr_t tag = 0;
    std::size_t size = 0;
  };
  bool peek(Record& record, std::uint8_t* out) const;
  bool peek_header(Record& record) const;
  // Consumer: removes the oldest record.
  void pop();

  bool empty() const;
  // Producer: whether a record of `size` bytes would fit now.
  bool has_room(std::size_t size) const;

 private:
  struct Header {
    std::uintptr_t tag;
    std::size_t size;
  };
  void copy_in(std::size_t at, const void* from, std::size_t n);
  void copy_out(std::size_t at, void* to, std::size_t n) const;

  std::vector<std::uint8_t> storage_;
  std::size_t mask_;
  std::atomic<std::size_t> head_{0};  // written by the producer: total bytes ever pushed
  std::atomic<std::size_t> tail_{0};  // written by the consumer: total bytes ever popped
};

}  // namespace brisca
