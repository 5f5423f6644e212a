#include "web/core/page_api.h"

#include <chrono>
#include <sstream>

#include "app/cli/cli.h"
#include "import/sound_shape.h"
#include "monitor/monitor_display.h"
#include "pace/pace.h"
#include "soundfile/sound_check.h"
#include "soundfile/track_reader.h"
#include "web/core/web_audio.h"

namespace brisca::web {
namespace {

SoundReceiver::Clock::time_point at_ms(double ms) {
  return SoundReceiver::Clock::time_point(
      std::chrono::duration_cast<SoundReceiver::Clock::duration>(
          std::chrono::duration<double, std::milli>(ms)));
}

}  // namespace

CommandOutput info_json(const std::vector<std::string>& paths) {
  std::ostringstream out, err;
  cli::Args args{"--json"};
  args.insert(args.end(), paths.begin(), paths.end());
  CommandOutput r;
  r.status = cli::cmd_info(args, cli::Streams{out, err});
  r.out = out.str();
  r.err = err.str();
  return r;
}

FileMessages file_messages(const std::string& path) {
  FileMessages r;
  auto track = TrackReader::open(path);
  if (!track) {
    r.problem = track.message();
    return r;
  }
  SoundCheck check;
  MidiEvent event;
  while (track->next(event)) {
    check.add(event);
    if (event.is_sysex_with_data())
      r.messages.emplace_back(event.data.get(), event.data.get() + event.length);
  }
  check.end_track(*track);
  r.whole = check.complete();
  if (const Status whole = check.whole(); !whole) r.problem = whole.message();
  return r;
}

double message_ms(std::uint32_t length, int chunk_bytes, int interval_ms) {
  Pace pace;
  pace.chunk_bytes = chunk_bytes;
  pace.interval_ms = interval_ms;
  return static_cast<double>(download_ms(chunk_count(length, chunk_bytes), pace));
}

std::string pace_problem_text(int chunk_bytes, int interval_ms, int file_gap_ms) {
  return pace_problem(Pace{chunk_bytes, interval_ms, file_gap_ms});
}

std::string pace_description(int chunk_bytes, int interval_ms, int file_gap_ms) {
  return pace_text(Pace{chunk_bytes, interval_ms, file_gap_ms});
}

MonitorLine monitor_line(const std::vector<std::uint8_t>& m) {
  MonitorLine line;
  if (m.empty()) return line;
  if (m[0] == 0xF0) {
    line.field = static_cast<int>(MonitorField::SystemExclusive);
    line.text = sysex_summary(m.data(), static_cast<std::uint32_t>(m.size()));
    return line;
  }
  std::uint32_t packed = 0;
  for (std::size_t i = 0; i < m.size() && i < 3; ++i) packed |= std::uint32_t{m[i]} << (8 * i);
  line.field = choose_field(packed);
  if (line.field >= 0) line.text = short_message_text(line.field, packed);
  return line;
}

Receiver::Receiver(const std::string& folder) : receiver_(folder, *this) {}

void Receiver::feed(const std::vector<std::uint8_t>& bytes, double now_ms) {
  receiver_.long_data(bytes.data(), bytes.size(), at_ms(now_ms));
}
void Receiver::poll(double now_ms) {
  receiver_.poll(at_ms(now_ms));
}
void Receiver::stop() {
  receiver_.stop();
}
std::vector<ReceivedSound> Receiver::take_ended() {
  return std::exchange(ended_, {});
}
std::string Receiver::progress_text() const {
  const SoundProgress* p = receiver_.current();
  if (p == nullptr) return {};
  return p->name + ": " + std::to_string(p->blocks_received) + " of " +
         (p->total_blocks > 0 ? std::to_string(p->total_blocks) : std::string("?")) + " blocks";
}

ImportPreview prepare_import(const std::string& audio_path,
                             const std::vector<std::vector<float>>& channels, double rate,
                             const std::vector<std::string>& args) {
  ImportPreview r;
  std::ostringstream out, err;
  cli::ImportCommandOptions o;
  cli::Args full{audio_path, "--dry-run"};
  full.insert(full.end(), args.begin(), args.end());
  if (cli::parse_import(full, cli::Streams{out, err}, o) >= 0) {
    r.error = err.str().empty() ? out.str() : err.str();
    return r;
  }
  ImportSettings s;
  r.error = cli::import_settings(o, s);
  if (!r.error.empty()) return r;
  AudioLimits limits;
  limits.max_seconds = kMaxDataBlocks * 880.0 / rate_for_pitch(kMaxImportPitch);
  limits.trim_threshold = kSilenceThreshold;
  const Result<AudioInput> in = channels.empty() ? read_import_source(audio_path)
                                                 : audio_from_channels(channels, rate, limits);
  Result<PreparedSound> p = prepare_sound(audio_path, in, s);
  if (!p) {
    r.error = p.message();
    return r;
  }
  r.result = p->figures;
  r.line = cli::import_result_line(std::string(file_name_of(audio_path)), p->figures, s.level);
  r.file = make_smf0(p->messages);
  r.played = std::move(p->played);
  if (auto original = original_at_top_rate(*in)) r.original = std::move(*original);
  return r;
}

}  // namespace brisca::web
