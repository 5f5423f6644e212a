// Puts sound-dump System Exclusive messages back together from the MIDI input's buffers as they
// arrive: one message may be spread over many buffers, real-time bytes may sit inside it, and
// buffers may hold anything else (other makers' messages, stray data bytes) in between.
//
// Only messages whose head is that of a sound-dump block (F0 33 device 05 00) are gathered; the
// bytes of every other message are passed over as they come, so memory stays at one block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brisca {

class SysexAssembler {
 public:
  // Far above a block's 1174 bytes; a "block" that runs on past this is broken.
  static constexpr std::size_t kMaxBlockBytes = 4096;

  class Sink {
   public:
    virtual ~Sink() = default;
    // A whole block, F0 to F7, as it arrived (real-time bytes taken out).
    virtual void block(const std::uint8_t* data, std::size_t length) = 0;
    // A block broken off before its F7 (another status byte, a new F0, or too long); `length`
    // bytes of its beginning arrived.
    virtual void broken_block(const std::uint8_t* data, std::size_t length) = 0;
  };

  void feed(const std::uint8_t* data, std::size_t n, Sink& sink);
  // Whether a block has begun and not yet ended.
  bool in_block() const { return state_ == State::Gather; }
  // Ends a block in progress as broken (nothing more of it will come).
  void abandon(Sink& sink);

 private:
  enum class State { Outside, Head, Gather, Skip };
  void status_byte(std::uint8_t byte, Sink& sink);
  void data_byte(std::uint8_t byte, Sink& sink);

  State state_ = State::Outside;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace brisca
