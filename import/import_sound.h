// One audio file in, one sound file out: read and mix down, resample to the sound's rate, trim
// the silent end, encode against the decoder, and write header and data blocks as a format-0
// file through a temporary file and a rename.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "import/audio_input.h"
#include "import/level.h"
#include "pace/pace.h"
#include "soundfile/sound_block.h"
#include "soundfile/sound_writer.h"

namespace brisca {

// Data blocks are numbered 1 .. 16383: block numbers have 14 bits and 0 is the header.
inline constexpr int kMaxDataBlocks = (1 << 14) - 1;

// The bytes of an existing header block that this program does not interpret, and the device
// byte its messages carry.
struct HeaderTemplate {
  UnpackedBlock header{};
  std::uint8_t device = 0;
};
// The first header block of a sound file; the file's error, or BadFile when it holds none.
Result<HeaderTemplate> read_header_template(const std::string& path);

struct ImportSettings {
  std::optional<std::string> name;  // as given; the file's name when absent
  std::string type = "DRUM";
  int pitch = 0;  // 0 .. kMaxImportPitch
  std::optional<HeaderTemplate> header_template;
  bool trim = true;
  bool replace = false;  // an existing output file may be replaced
  Pace pace;             // the down-load pace the result's down-load time is counted at
  LevelChoice level;
};

// A sound made of an audio file: where it went and its figures.
struct ImportedSound {
  std::string output;  // empty for a sound made in memory and not yet written
  int blocks = 0;      // every block of the file, header included
  double seconds = 0.0;
  double download_seconds = 0.0;  // at the settings' pace
  MessageLengths messages;        // what a down-load of the file sends, for other paces
  double snr_db = 0.0;            // against the audio after the level change
  double gain_db = 0.0;
  double loudness_lufs = 0.0;  // of what the module plays
  bool limited = false;        // a loudness asked for would have clipped (see LeveledSound)
  bool clipped = false;
};

// A sound made in memory and not yet written: its figures and its messages.
struct PreparedSound {
  ImportedSound figures;             // `output` empty
  std::vector<Bytes> messages;       // header block, then data blocks 1..N
  std::vector<std::int16_t> played;  // what the module plays, as `briscatool render` writes it
};

// `audio` as read for preparing sounds of any rate: mixed to mono at its own rate, no longer
// than a sound of the lowest rate holds.
Result<AudioInput> read_import_source(const std::string& audio);
// The sound `settings` make of `in` (read from the file `audio`, whose name names the sound), or
// why none can be made: the reading's reason, TooLong for more than a sound holds.
Result<PreparedSound> prepare_sound(const std::string& audio, const Result<AudioInput>& in,
                                    const ImportSettings& settings);
// `audio` as read, mixed to mono and carried to 44.1 kHz: what "Play Original" plays.
// Fails with the resampler's reason.
Result<std::vector<float>> original_at_top_rate(const AudioInput& in);
// Writes a prepared sound to `output` (replacing only when `replace`): its figures with
// `output` set, or why not (Exists when `output` is there and may not be replaced).
Result<ImportedSound> write_prepared(const PreparedSound& sound, const std::string& output,
                                     bool replace);

// `audio` into the sound file `output`. On failure nothing is left at `output` (an existing file
// stays as it was); Exists when it is there and may not be replaced.
Result<ImportedSound> import_audio(const std::string& audio, const std::string& output,
                                   const ImportSettings& settings);

// The output for `audio` in `folder` (its own folder when empty): its name with ".mid".
std::string output_path_for(const std::string& audio, const std::string& folder);

// The SNR as it is shown: "44.1 dB", or "exact" when what the module plays equals the audio
// (silence, say), whose SNR is infinite.
std::string snr_text(double snr_db);

}  // namespace brisca
