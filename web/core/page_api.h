// What the page asks of the core, in plain C++ types; bindings.cpp hands it to JavaScript. Files
// live in the module's own file system (the page writes what the user opens into it).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "import/import_sound.h"
#include "receive/sound_receiver.h"

namespace brisca::web {

// What `briscatool info --json PATH...` prints, and its error lines.
struct CommandOutput {
  int status = 0;
  std::string out, err;
};
CommandOutput info_json(const std::vector<std::string>& paths);

// The System Exclusive messages a down-load sends of a file, in order, and whether the file is
// whole (a damaged file is not sent: `problem` says why).
struct FileMessages {
  std::vector<std::vector<std::uint8_t>> messages;
  bool whole = false;
  std::string problem;
};
FileMessages file_messages(const std::string& path);

// The pace's time for one message of `length` bytes (its chunks, one interval each), and the
// problem with a pace, empty when it is offered.
double message_ms(std::uint32_t length, int chunk_bytes, int interval_ms);
std::string pace_problem_text(int chunk_bytes, int interval_ms, int file_gap_ms);
std::string pace_description(int chunk_bytes, int interval_ms, int file_gap_ms);

// The monitor field (0..9, -1 for none) and text of one whole message.
struct MonitorLine {
  int field = -1;
  std::string text;
};
MonitorLine monitor_line(const std::vector<std::uint8_t>& message);

// Dumps from an input into files of `folder`, as the desktop's receiver writes them.
class Receiver : private ReceiveEvents {
 public:
  explicit Receiver(const std::string& folder);
  void feed(const std::vector<std::uint8_t>& bytes, double now_ms);
  void poll(double now_ms);
  void stop();
  // Sounds ended since the last call, and the one in progress (name, blocks so far / total).
  std::vector<ReceivedSound> take_ended();
  std::string progress_text() const;

 private:
  void sound_ended(const ReceivedSound& sound) override { ended_.push_back(sound); }
  SoundReceiver receiver_;
  std::vector<ReceivedSound> ended_;
};

// An import made in memory from an audio file in the module's file system (WAV) or from channels
// the browser decoded, with the options of `briscatool import` (a usage problem in `error`).
struct ImportPreview {
  std::string error;
  std::string line;  // as `briscatool import` prints it
  ImportedSound result;
  std::vector<std::uint8_t> file;  // the sound file's bytes
  std::vector<std::int16_t> played;
  std::vector<float> original;  // at 44.1 kHz
};
ImportPreview prepare_import(const std::string& audio_path,
                             const std::vector<std::vector<float>>& channels, double rate,
                             const std::vector<std::string>& args);

}  // namespace brisca::web
