// How fast a down-load goes: the bytes of a System Exclusive message handed to the output as
// one chunk, the tick that hands over at most one chunk (a chunk goes only after the output
// reported the previous one done), and a pause between two files of one down-load.
//
// The default is also the fastest pace offered: 200-byte chunks, one per 70 ms tick, no pause
// (2 857 bytes/s, 91 % of the MIDI wire), which the module is known to take. Slower paces suit
// MIDI interfaces with small buffers or devices that need more time; faster ones are refused,
// as nothing is known of what the module takes beyond it.
//
// No Qt: the command line, the window and the cable test share it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brisca {

struct Pace {
  static constexpr int kMaxChunkBytes = 200;
  static constexpr int kMinChunkBytes = 1;
  static constexpr int kMinIntervalMs = 70;
  static constexpr int kMaxIntervalMs = 60'000;
  static constexpr int kMaxFileGapMs = 600'000;

  int chunk_bytes = kMaxChunkBytes;
  int interval_ms = kMinIntervalMs;
  int file_gap_ms = 0;

  bool operator==(const Pace&) const = default;
  bool is_default() const { return *this == Pace{}; }
  // Bytes per second while a file is being sent, with every chunk full.
  double bytes_per_second() const;
};

// Why the pace is not offered ("an interval of 50 ms is shorter than 70 ms: nothing faster than
// 200-byte chunks every 70 ms is offered"), or empty when it can be used.
std::string pace_problem(const Pace& pace);
// One problem at a time, for a form or an option that sets only that field.
std::string chunk_problem(long long chunk_bytes);
std::string interval_problem(long long interval_ms);
std::string file_gap_problem(long long file_gap_ms);

// "200-byte chunks every 70 ms, no pause between files" / "..., 500 ms between files".
std::string pace_text(const Pace& pace);

// The stored form of a pace, "chunk 200 interval 70 gap 0", and back. Reading gives nothing
// for a text that is not exactly that form or whose pace is not offered.
std::string pace_to_setting(const Pace& pace);
std::optional<Pace> pace_from_setting(std::string_view text);

// Chunks a message of `length` bytes goes out in (0 for an empty message).
std::uint64_t chunk_count(std::uint64_t length, int chunk_bytes);

// The lengths of the System Exclusive messages a down-load sends from a file, in runs of equal
// lengths (a sound's blocks are nearly all one length), so chunks can be counted for any chunk
// size without keeping every length.
class MessageLengths {
 public:
  void add(std::uint32_t length);
  std::uint64_t messages() const { return messages_; }
  std::uint64_t chunks(int chunk_bytes) const;

 private:
  std::vector<std::pair<std::uint32_t, std::uint64_t>> runs_;  // length, how many in a row
  std::uint64_t messages_ = 0;
};

// The time one file takes within a down-load, from its first chunk until the next file can
// start: the first chunk goes as the file starts, each tick that takes a done report sends the
// next, and the tick that takes the last one's report ends the file; so one interval per chunk.
// The pause before the next file is not included. (The first file after the output opened waits
// one tick more, which takes the output's open report: a cost of the output, not of the file.)
std::int64_t download_ms(std::uint64_t chunks, const Pace& pace);
// The same for a file's messages, counted in chunks of the pace's size.
std::int64_t download_ms(const MessageLengths& messages, const Pace& pace);

}  // namespace brisca
