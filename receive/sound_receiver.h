// Follows sound dumps arriving on the MIDI input and writes each sound into a folder.
//
// A header block (block 0) begins a sound: its name, type and total_blocks, which counts every
// block of the sound, header included. Data blocks are kept in arrival order, byte for byte, as
// long as each one's number is above the one before it and below total_blocks; gaps are blocks
// that were lost. A data block that does not continue the sound so (a repeat, a step back, a
// number beyond its count) belongs to another sound: the sound ends there and the block begins
// a new one, so no file ever holds the blocks of two sounds. The sound is whole when blocks
// 1 .. total_blocks - 1 have each arrived once, by the same test every part applies to a sound
// file (SoundCheck); it is then written at once. It is incomplete when another header block or
// a foreign data block comes first, a block breaks off in the middle, nothing of the dump
// arrives for kQuietTimeout, or receiving stops. An incomplete sound is still written, to a file
// named "<name> (partial).mid", and the missing block numbers are told. Data blocks that arrive
// with no header before them make a sound of their own, named "Unnamed", always partial.
//
// Memory: the blocks of one sound (at most one of each 14-bit block number), plus one block
// being reassembled.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "receive/sysex_assembler.h"
#include "soundfile/sound_check.h"

namespace brisca {

// At the wire rate (31 250 bit/s, 10 bits a byte) a 1174-byte block takes 0.38 s; a dump that
// is silent for eight blocks' time has stopped.
inline constexpr std::chrono::milliseconds kQuietTimeout{3000};

struct SoundProgress {
  int id = 0;               // counts the sounds of this receiver from 1
  std::string name;         // from the header; "Unnamed" without one
  std::string type;         // from the header
  int total_blocks = 0;     // from the header, header included; 0 without one
  int blocks_received = 0;  // blocks kept so far, header included
};

struct ReceivedSound {
  SoundProgress sound;
  bool whole = false;
  std::string reason;   // why it is incomplete; empty when whole
  std::string missing;  // the missing block numbers, "3, 7-9"; empty when none
  int missing_count = 0;
  std::string path;  // the file written; empty when it could not be written
  Status written;    // why it could not be written
};

class ReceiveEvents {
 public:
  virtual ~ReceiveEvents() = default;
  virtual void sound_begun(const SoundProgress& /*sound*/) {}
  virtual void block_received(const SoundProgress& /*sound*/) {}
  virtual void sound_ended(const ReceivedSound& sound) = 0;
};

class SoundReceiver : private SysexAssembler::Sink {
 public:
  using Clock = std::chrono::steady_clock;

  SoundReceiver(std::string folder, ReceiveEvents& events,
                std::chrono::milliseconds quiet_timeout = kQuietTimeout)
      : folder_(std::move(folder)), events_(events), quiet_timeout_(quiet_timeout) {}

  // The folder for the sounds that end from now on.
  void set_folder(std::string folder) { folder_ = std::move(folder); }
  const std::string& folder() const { return folder_; }

  // What the MIDI input delivers: the contents of a filled buffer (any part of any message),
  // and short messages, which take no part in a dump.
  void long_data(const std::uint8_t* data, std::size_t n, Clock::time_point now);
  void short_message(std::uint32_t /*packed*/) {}
  // Called now and then: ends a dump that has been silent for the timeout.
  void poll(Clock::time_point now);
  // Ends a dump in progress as incomplete, for `reason`.
  void stop(const std::string& reason = "receiving stopped");

  bool in_progress() const { return sound_.has_value() || assembler_.in_block(); }
  const SoundProgress* current() const { return sound_ ? &sound_->progress : nullptr; }
  int whole_count() const { return whole_; }
  int incomplete_count() const { return incomplete_; }
  int unwritten_count() const { return unwritten_; }

 private:
  struct Sound {
    Sound() {}  // user-provided: some compilers judge the class unconstructible otherwise
    SoundProgress progress;
    bool has_header = false;
    std::vector<std::uint8_t> bytes;  // every message kept, one after the other
    std::vector<std::uint32_t> ends;  // where each message ends in `bytes`
    SoundCheck check;                 // what the file will hold
    int last = 0;                     // the number of the last data block kept
    std::string problem;              // the first reason it is incomplete
  };

  void block(const std::uint8_t* data, std::size_t length) override;
  void broken_block(const std::uint8_t* data, std::size_t length) override;
  void header_block(const std::uint8_t* data, std::size_t length);
  void data_block(std::uint16_t number, const std::uint8_t* data, std::size_t length);
  std::string foreign_block(std::uint16_t number) const;
  void begin(bool has_header);
  void keep(const std::uint8_t* data, std::size_t length);
  void note_problem(std::string problem);
  void end_sound(const std::string& reason_if_short);

  std::string folder_;
  ReceiveEvents& events_;
  std::chrono::milliseconds quiet_timeout_;
  SysexAssembler assembler_;
  std::optional<Sound> sound_;
  Clock::time_point last_activity_{};
  bool dump_bytes_seen_ = false;
  int next_id_ = 1;
  int whole_ = 0;
  int incomplete_ = 0;
  int unwritten_ = 0;
};

}  // namespace brisca
