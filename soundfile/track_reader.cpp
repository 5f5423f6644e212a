#include "soundfile/track_reader.h"

#include <utility>

namespace brisca {

std::optional<TrackReader> TrackReader::open(const std::string& path) {
  auto stream = ByteStream::open_file(path);
  if (!stream) return std::nullopt;
  return TrackReader(std::move(*stream));
}

TrackReader::TrackReader(ByteStream stream) : stream_(std::move(stream)) {
  open_result_ = open_track(stream_);
  if (is_reader_error(open_result_)) {
    stream_.close();
    return;
  }
  remaining_ = static_cast<std::uint32_t>(open_result_);
  if (remaining_ == 0) stream_.close();
}

bool TrackReader::next(MidiEvent& event) {
  if (remaining_ == 0 || !stream_.is_open()) {
    close();
    return false;
  }
  const std::uint64_t before = stream_.tell();
  std::int32_t used = read_event(event, stream_, running_status_);
  if (used == TRUNCATED_EVENT) {
    cut_ = true;
    close();
    return false;
  }
  // A status the reader does not handle reports 0 bytes while the stream has moved on: count
  // what it really took, so the countdown stays true and the track still ends.
  std::uint64_t taken = used > 0 ? static_cast<std::uint64_t>(used) : stream_.tell() - before;
  if (taken >= remaining_) {
    close();
  } else {
    remaining_ -= static_cast<std::uint32_t>(taken);
  }
  return true;
}

}  // namespace brisca
