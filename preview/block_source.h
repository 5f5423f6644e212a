// Turns the track of a sound file into preview samples, one buffer fill at a time: the reading
// loop that both preview playback and `briscatool render` run, so both produce the same samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "soundfile/midi_reader.h"
#include "soundfile/track_reader.h"

namespace brisca {

inline constexpr std::size_t kPreviewBufferBytes = 42240;  // one wave buffer, 21 120 samples
inline constexpr std::size_t kFillThresholdBytes = 14080;  // a fill stops once above this

class BlockSource {
 public:
  // Takes over an opened track.
  explicit BlockSource(TrackReader track);

  // Fills buffer with the samples of the next data blocks and returns the fill count in bytes:
  //  - events that are not System Exclusive with data are skipped;
  //  - a message that is not a sound-dump block ends this fill (the next fill goes on with the
  //    event after it);
  //  - a header block (number 0) adds nothing, and so does a block too short to carry its number
  //    (under 7 bytes);
  //  - each data block is unpacked (a short one as far as it goes, the rest zero) and decoded
  //    with the carried phase into the room left;
  //  - reading stops when the fill count exceeds 14 080 bytes or less than one sample of room is
  //    left.
  // With the 42 240-byte buffer every block has at least 28 160 bytes of room; a block that would
  // yield more (pitch byte above 32) is cut at the end of the buffer.
  int fill(std::int16_t* buffer, std::size_t room_bytes);

  // True once the track is used up (or could not be read): no fill will add anything.
  bool finished() const { return !track_.is_open(); }

  double phase_carry() const { return phase_carry_; }
  // Messages that ended a fill because they were not sound-dump blocks.
  int foreign_messages() const { return foreign_messages_; }

 private:
  TrackReader track_;
  MidiEvent event_;
  double phase_carry_ = 0.0;
  int foreign_messages_ = 0;
};

// Runs the source the way preview playback runs its two wave buffers and hands each buffer that
// playback would submit to `play`, in playing order: two fills at the start, then one more fill
// each time a submitted buffer finishes. An empty fill submits nothing, so playback ends when no
// buffer is left playing: at the end of the track, or earlier after two fills that ended on
// foreign messages without any sample. Returns the number of samples handed out.
using BufferSink = std::function<void(const std::int16_t* samples, std::size_t count)>;
std::size_t play_out(BlockSource& source, const BufferSink& play);

}  // namespace brisca
