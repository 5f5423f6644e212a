// Splits the MIDI bytes a library delivers, piece by piece (one event each), into the messages an
// input port reports: short messages, SysEx bytes as they come, and the end of each SysEx. A
// SysEx may go on over many pieces; a short message may not: end_piece() drops one left
// unfinished and forgets running status, so a piece that begins with data bytes outside a SysEx
// (a continuation whose start was lost, garbage) is never read as notes. Real-time bytes are
// short messages wherever they appear, also inside a SysEx, which they do not end. Any other
// status byte ends a SysEx that lacks its 0xF7. Dropped bytes are counted.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brisca {

class MidiStreamParser {
 public:
  class Sink {
   public:
    virtual ~Sink() = default;
    virtual void short_message(std::uint32_t packed) = 0;
    virtual void sysex_bytes(const std::uint8_t* data, std::size_t n) = 0;
    // `terminated` is false when another status byte cut the SysEx short.
    virtual void sysex_end(bool terminated) = 0;
  };

  void feed(const std::uint8_t* data, std::size_t n, Sink& sink);
  void end_piece();
  // Forgets running status, a message in progress and a SysEx in progress (without reporting it).
  void reset();
  std::uint64_t dropped_bytes() const { return dropped_; }

 private:
  std::size_t feed_sysex(const std::uint8_t* data, std::size_t n, Sink& sink);
  void status_byte(std::uint8_t byte, Sink& sink);
  void data_byte(std::uint8_t byte, Sink& sink);

  bool in_sysex_ = false;
  std::uint8_t running_ = 0;  // status of the message being gathered, 0 when none
  std::uint8_t bytes_[3] = {};
  std::size_t have_ = 0;
  std::size_t need_ = 0;
  std::uint64_t dropped_ = 0;
};

}  // namespace brisca
