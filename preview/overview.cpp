#include "preview/overview.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "preview/block_source.h"
#include "preview/decoder.h"
#include "soundfile/block_count.h"
#include "soundfile/sound_check.h"
#include "soundfile/track_reader.h"

namespace brisca {
namespace {

SampleRange merged(SampleRange a, SampleRange b) {
  return {std::min(a.low, b.low), std::max(a.high, b.high)};
}

// The block count, header name and type, as the list reads them.
bool read_header(const std::string& path, SoundOverview& into) {
  Result<TrackReader> track = TrackReader::open(path);
  if (!track) return false;
  BlockCount count = count_blocks(*track);
  into.blocks = count.blocks;
  into.has_header = count.has_header;
  into.name = std::move(count.name);
  into.type = std::move(count.type);
  return true;
}

// Whether the file is whole, the same way the down-load judges it, and the messages a down-load
// of it sends.
void check_whole(const std::string& path, SoundOverview& into) {
  Result<TrackReader> track = TrackReader::open(path);
  if (!track) return;
  SoundCheck check;
  MidiEvent event;
  while (track->next(event)) {
    check.add(event);
    if (event.is_sysex_with_data()) into.messages.add(event.length);
  }
  check.end_track(*track);
  const Status whole = check.whole();
  into.complete = whole.ok();
  if (!whole) into.problem = whole.message();
}

// The samples preview playback plays, in playing order.
void decode_envelope(const std::string& path, SoundOverview& into) {
  Result<TrackReader> track = TrackReader::open(path);
  if (!track) return;
  BlockSource source(std::move(*track));
  EnvelopeBuilder builder;
  play_out(source, [&builder](const std::int16_t* samples, std::size_t count) {
    builder.add(samples, count);
  });
  builder.finish(into);
}

}  // namespace

double SoundOverview::seconds() const {
  return static_cast<double>(samples) / kOutputRate;
}

double SoundOverview::download_seconds(const Pace& pace) const {
  return static_cast<double>(download_ms(messages, pace)) / 1000.0;
}

std::vector<SampleRange> SoundOverview::columns(int count) const {
  std::vector<SampleRange> out;
  if (count <= 0 || samples == 0 || envelope.empty()) return out;
  out.reserve(static_cast<std::size_t>(count));
  const std::uint64_t n = static_cast<std::uint64_t>(count);
  for (std::uint64_t c = 0; c < n; ++c) {
    const std::uint64_t first = c * samples / n, end = (c + 1) * samples / n;
    std::size_t b = static_cast<std::size_t>(first / samples_per_bucket);
    std::size_t b_end =
        static_cast<std::size_t>((std::max(end, first + 1) - 1) / samples_per_bucket);
    b = std::min(b, envelope.size() - 1);
    b_end = std::min(b_end, envelope.size() - 1);
    SampleRange range = envelope[b];
    for (std::size_t i = b + 1; i <= b_end; ++i) range = merged(range, envelope[i]);
    out.push_back(range);
  }
  return out;
}

void EnvelopeBuilder::add(const std::int16_t* samples, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::int16_t s = samples[i];
    if (buckets_.empty() || in_last_ == per_bucket_) {
      if (buckets_.size() == 2 * kMaxBuckets) halve();
      if (buckets_.empty() || in_last_ == per_bucket_) {
        buckets_.push_back({s, s});
        in_last_ = 1;
        continue;
      }
    }
    SampleRange& last = buckets_.back();
    last = merged(last, {s, s});
    ++in_last_;
  }
  total_ += count;
}

// Pairs of buckets become one; a lone last bucket stays and is now partly filled.
void EnvelopeBuilder::halve() {
  std::vector<SampleRange> halved;
  halved.reserve(kMaxBuckets);
  for (std::size_t i = 0; i < buckets_.size(); i += 2)
    halved.push_back(i + 1 < buckets_.size() ? merged(buckets_[i], buckets_[i + 1]) : buckets_[i]);
  const bool odd = buckets_.size() % 2 != 0;
  in_last_ = odd ? in_last_ : per_bucket_ + in_last_;
  per_bucket_ *= 2;
  buckets_ = std::move(halved);
}

void EnvelopeBuilder::finish(SoundOverview& into) {
  into.samples = total_;
  into.samples_per_bucket = per_bucket_;
  into.envelope = std::move(buckets_);
  buckets_.clear();
}

SoundOverview compute_overview(const std::string& path) {
  SoundOverview overview;
  if (!read_header(path, overview)) {
    overview.problem = "cannot be read";
    return overview;
  }
  overview.readable = true;
  check_whole(path, overview);
  decode_envelope(path, overview);
  return overview;
}

}  // namespace brisca
