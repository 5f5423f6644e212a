#include "import/import_sound.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "import/audio_input.h"
#include "import/encoder.h"
#include "import/resample.h"
#include "import/sound_shape.h"
#include "soundfile/atomic_file.h"
#include "soundfile/sound_writer.h"
#include "soundfile/track_reader.h"

namespace brisca {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kNameField = 32, kTypeOffset = 32, kTypeField = 4, kTotalOffset = 44;

// The header block: the template's bytes (or zeros) with this sound's name, type and total.
Bytes header_message(const ImportSettings& s, const std::string& name, int total_blocks) {
  UnpackedBlock header = s.header_template ? s.header_template->header : UnpackedBlock{};
  std::fill_n(header.begin(), kNameField, 0);
  std::copy(name.begin(), name.end(), header.begin());
  std::copy_n(s.type.begin(), kTypeField, header.begin() + kTypeOffset);
  header[kTotalOffset] = static_cast<std::uint8_t>((total_blocks >> 8) & 0xFF);
  header[kTotalOffset + 1] = static_cast<std::uint8_t>(total_blocks & 0xFF);
  return make_block(0, header, s.header_template ? s.header_template->device : 0);
}

std::string too_long_text(int pitch) {
  const double seconds = kMaxDataBlocks * 880.0 / rate_for_pitch(pitch);
  char text[128];
  std::snprintf(text, sizeof text,
                "too long: a sound holds at most %d data blocks (%.1f s at %.0f Hz)",
                kMaxDataBlocks, seconds, rate_for_pitch(pitch));
  return text;
}

AudioLimits limits_for(int pitch, bool trim) {
  AudioLimits limits;
  limits.max_seconds = kMaxDataBlocks * 880.0 / rate_for_pitch(pitch);
  limits.trim_threshold = trim ? kSilenceThreshold : 0.0f;
  return limits;
}

// The source as the sound's samples, or why it cannot be a sound.
Result<std::vector<float>> sound_samples(const Result<AudioInput>& in, const ImportSettings& s) {
  if (!in)
    return in.code() == ErrorCode::TooLong ? make_error(ErrorCode::TooLong, too_long_text(s.pitch))
                                           : in.error();
  Result<std::vector<float>> resampled = resample(in->samples, in->rate, rate_for_pitch(s.pitch));
  if (!resampled) return resampled.error();
  std::vector<float> samples = std::move(*resampled);
  if (samples.empty()) return samples;
  if (s.trim) samples.resize(trimmed_length(samples));
  if (samples.size() > static_cast<std::size_t>(kMaxDataBlocks) * 880)
    return make_error(ErrorCode::TooLong, too_long_text(s.pitch));
  return samples;
}

// What keeps `audio` from being imported at all.
Status audio_problem(const std::string& audio) {
  std::error_code ec;
  if (!fs::exists(audio, ec)) return make_error(ErrorCode::NotFound, "no such file");
  if (fs::is_directory(audio, ec))
    return make_error(ErrorCode::BadFile, "is a folder, not an audio file");
  if (fs::is_regular_file(audio, ec) && fs::file_size(audio, ec) == 0)
    return make_error(ErrorCode::BadFile, "is empty: it holds no samples");
  return {};
}

}  // namespace

Result<HeaderTemplate> read_header_template(const std::string& path) {
  auto track = TrackReader::open(path);
  if (!track) return track.error();
  MidiEvent event;
  while (track->next(event)) {
    if (!event.is_sysex_with_data() || event.length < 7) continue;
    if (block_message_type(event.data.get(), event.length) != 0) continue;
    if (block_number(event.data.get(), event.length) != 0) continue;
    return HeaderTemplate{unpack_block(event.data.get(), event.length), event.data[2]};
  }
  return make_error(ErrorCode::BadFile, "holds no header block");
}

std::string output_path_for(const std::string& audio, const std::string& folder) {
  fs::path source(audio);
  fs::path dir = folder.empty() ? source.parent_path() : fs::path(folder);
  return (dir / source.stem()).string() + ".mid";
}

Result<AudioInput> read_import_source(const std::string& audio) {
  if (Status problem = audio_problem(audio); !problem) return problem.error();
  return read_audio_file(audio, limits_for(kMaxImportPitch, true));
}

Result<PreparedSound> prepare_sound(const std::string& audio, const Result<AudioInput>& in,
                                    const ImportSettings& s) {
  Result<std::vector<float>> samples = sound_samples(in, s);
  if (!samples) return samples.error();
  PreparedSound p;
  if (samples->empty()) return p;
  LeveledSound leveled = encode_leveled(*samples, s.pitch, s.level);
  const EncodedSound& sound = leveled.sound;
  const int total = static_cast<int>(sound.blocks.size()) + 1;
  const std::string name = s.name ? header_name_from(*s.name) : header_name_for_file(audio);
  const std::uint8_t device = s.header_template ? s.header_template->device : 0;
  p.messages.reserve(sound.blocks.size() + 1);
  p.messages.push_back(header_message(s, name, total));
  for (std::size_t k = 0; k < sound.blocks.size(); ++k)
    p.messages.push_back(make_block(static_cast<std::uint16_t>(k + 1), sound.blocks[k], device));
  MessageLengths lengths;
  for (const Bytes& m : p.messages) lengths.add(static_cast<std::uint32_t>(m.size()));
  ImportedSound& r = p.figures;
  r.blocks = total;
  r.seconds = static_cast<double>(sound.blocks.size()) * 880.0 / rate_for_pitch(s.pitch);
  r.download_seconds = static_cast<double>(download_ms(lengths, s.pace)) / 1000.0;
  r.messages = lengths;
  r.snr_db = sound.snr_db;
  r.gain_db = leveled.gain_db;
  r.loudness_lufs = leveled.loudness_lufs;
  r.limited = leveled.limited;
  r.clipped = leveled.clipped;
  p.played = std::move(leveled.sound.decoded);
  return p;
}

Result<std::vector<float>> original_at_top_rate(const AudioInput& in) {
  return resample(in.samples, in.rate, kTopRate);
}

Result<ImportedSound> write_prepared(const PreparedSound& p, const std::string& output,
                                     bool replace) {
  const Bytes file = make_smf0(p.messages);
  if (!write_file_atomic(output, file, replace ? Replace::Allow : Replace::Refuse)) {
    const int why = errno;
    if (why == EEXIST) return make_error(ErrorCode::Exists, output + " exists already");
    return make_error(ErrorCode::Io, output + ": cannot be written (" + std::strerror(why) + ")");
  }
  ImportedSound r = p.figures;
  r.output = output;
  return r;
}

Result<ImportedSound> import_audio(const std::string& audio, const std::string& output,
                                   const ImportSettings& s) {
  std::error_code ec;
  if (Status problem = audio_problem(audio); !problem) return problem.error();
  if (!s.replace && fs::exists(fs::symlink_status(output, ec)))
    return make_error(ErrorCode::Exists, output + " exists already");
  if (fs::equivalent(audio, output, ec))
    return make_error(ErrorCode::InvalidArgument, "the output would replace the audio file itself");
  const Result<AudioInput> in = read_audio_file(audio, limits_for(s.pitch, s.trim));
  Result<PreparedSound> prepared = prepare_sound(audio, in, s);
  if (!prepared) return prepared.error();
  return write_prepared(*prepared, output, s.replace);
}

std::string snr_text(double snr_db) {
  if (!std::isfinite(snr_db)) return "exact";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f dB", snr_db);
  return text;
}

}  // namespace brisca
