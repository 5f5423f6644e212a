// The overview of a sound file as a list row shows it: the envelope (least and greatest sample)
// of the samples preview playback would play, over equal stretches of the sound; its length;
// whether it is whole; the header's name and type; and how long a down-load of it takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pace/pace.h"

namespace brisca {

struct SampleRange {
  std::int16_t low = 0, high = 0;
};

struct SoundOverview {
  bool readable = false;  // the file opened and its headers read
  bool complete = false;  // its track reads to the end and holds every block the header promises
  std::string problem;    // why it is not complete, when it is not

  int blocks = 0;  // as the list row counts them
  bool has_header = false;
  std::string name, type;  // the header's, when has_header

  std::uint64_t samples = 0;  // decoded length at the preview rate
  std::uint64_t samples_per_bucket = 1;
  std::vector<SampleRange> envelope;  // bucket i covers samples [i, i + 1) x samples_per_bucket

  MessageLengths messages;  // the System Exclusive messages a down-load sends

  bool damaged() const { return !readable || !complete; }
  double seconds() const;  // samples / 44 100
  // The time a down-load of the file takes at `pace` (see download_ms).
  double download_seconds(const Pace& pace = Pace{}) const;
  // The envelope over `count` columns of equal length; empty when there are no samples.
  std::vector<SampleRange> columns(int count) const;
};

// Reads and decodes the whole file. A file that cannot be opened or whose headers are bad gives
// an overview that is not readable (and so damaged), with nothing else filled in.
SoundOverview compute_overview(const std::string& path);

// Gathers the envelope of a stream of samples in at most 2 x kMaxBuckets buckets, doubling the
// bucket length whenever they run out, so the sound's length need not be known beforehand.
class EnvelopeBuilder {
 public:
  static constexpr std::size_t kMaxBuckets = 512;
  void add(const std::int16_t* samples, std::size_t count);
  void finish(SoundOverview& into);

 private:
  void halve();

  std::vector<SampleRange> buckets_;
  std::uint64_t per_bucket_ = 1;
  std::uint64_t in_last_ = 0;  // samples in the last bucket
  std::uint64_t total_ = 0;
};

}  // namespace brisca
