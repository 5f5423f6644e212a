#include "receive/sysex_assembler.h"

namespace brisca {
namespace {

constexpr std::uint8_t kHead[] = {0xF0, 0x33, 0x00, 0x05, 0x00};  // byte 2 (device) is any
constexpr std::size_t kHeadLength = sizeof kHead;

bool head_matches(std::size_t index, std::uint8_t byte) {
  return index == 2 || kHead[index] == byte;
}

}  // namespace

void SysexAssembler::feed(const std::uint8_t* data, std::size_t n, Sink& sink) {
  std::size_t i = 0;
  while (i < n) {
    if (state_ == State::Gather) {
      // The body of a block: take the run of data bytes at once.
      std::size_t run = i;
      while (run < n && data[run] < 0x80) ++run;
      if (bytes_.size() + (run - i) > kMaxBlockBytes) {
        sink.broken_block(bytes_.data(), bytes_.size());
        bytes_.clear();
        state_ = State::Skip;
        i = run;
        continue;
      }
      bytes_.insert(bytes_.end(), data + i, data + run);
      i = run;
      if (i == n) break;
    } else if (state_ == State::Skip || state_ == State::Outside) {
      while (i < n && data[i] < 0x80) ++i;  // another message's body, or stray data bytes
      if (i == n) break;
    }
    const std::uint8_t byte = data[i++];
    if (byte >= 0x80) {
      status_byte(byte, sink);
    } else {
      data_byte(byte, sink);
    }
  }
}

void SysexAssembler::status_byte(std::uint8_t byte, Sink& sink) {
  if (byte >= 0xF8) return;  // real time: may sit anywhere, ends nothing
  if (state_ == State::Gather) {
    if (byte == 0xF7) {
      bytes_.push_back(byte);
      sink.block(bytes_.data(), bytes_.size());
      bytes_.clear();
      state_ = State::Outside;
      return;
    }
    sink.broken_block(bytes_.data(), bytes_.size());
  }
  bytes_.clear();
  state_ = byte == 0xF0 ? State::Head : State::Outside;
  if (state_ == State::Head) bytes_.push_back(byte);
}

void SysexAssembler::data_byte(std::uint8_t byte, Sink& /*sink*/) {
  // Only the head is read byte by byte; Gather, Skip and Outside take runs in feed().
  if (!head_matches(bytes_.size(), byte)) {
    bytes_.clear();
    state_ = State::Skip;
    return;
  }
  bytes_.push_back(byte);
  if (bytes_.size() == kHeadLength) state_ = State::Gather;
}

void SysexAssembler::abandon(Sink& sink) {
  if (state_ == State::Gather) sink.broken_block(bytes_.data(), bytes_.size());
  bytes_.clear();
  state_ = State::Outside;
}

}  // namespace brisca
