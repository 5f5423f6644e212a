#include "soundfile/track_reader.h"

#include <utility>

namespace brisca {

Result<TrackReader> TrackReader::open(const std::string& path) {
  auto stream = ByteStream::open_file(path);
  if (!stream) return make_error(ErrorCode::Io, "cannot be opened");
  return read(std::move(*stream));
}

Result<TrackReader> TrackReader::read(ByteStream stream) {
  const Result<std::uint32_t> length = open_track(stream);
  if (!length) return length.error();
  return TrackReader(std::move(stream), *length);
}

TrackReader::TrackReader(ByteStream stream, std::uint32_t length)
    : stream_(std::move(stream)), remaining_(length) {
  if (remaining_ == 0) stream_.close();
}

bool TrackReader::next(MidiEvent& event) {
  if (remaining_ == 0 || !stream_.is_open()) {
    close();
    return false;
  }
  const Result<std::uint64_t> taken = read_event(event, stream_, running_status_);
  if (!taken) {
    cut_ = true;
    close();
    return false;
  }
  if (*taken >= remaining_) {
    close();
  } else {
    remaining_ -= static_cast<std::uint32_t>(*taken);
  }
  return true;
}

}  // namespace brisca
