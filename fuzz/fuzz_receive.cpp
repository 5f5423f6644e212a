// Feeds arbitrary bytes to the sound receiver as the MIDI input's buffers: the first byte sets the
// buffer sizes, a buffer that begins with 0xF4 (a status no device sends) lets 4 s pass. Whatever
// arrives, every sound ends written as a format-0 file of whole System Exclusive messages, a
// whole one with all its blocks, and the receiver's memory stays within one sound.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "receive/sound_receiver.h"
#include "soundfile/track_reader.h"

namespace {

namespace fs = std::filesystem;

// One folder for the run, removed at exit.
struct Folder {
  fs::path path = fs::temp_directory_path() / ("brisca-fuzz-receive-" + std::to_string(getpid()));
  Folder() { fs::create_directories(path); }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

const std::string& folder() {
  static const Folder f;
  static const std::string path = f.path.string();
  return path;
}

struct Check : brisca::ReceiveEvents {
  void sound_ended(const brisca::ReceivedSound& s) override {
    if (s.path.empty()) __builtin_trap();  // the folder is there: every sound is written
    if (s.whole != (s.path.find(" (partial)") == std::string::npos)) __builtin_trap();
    auto track = brisca::TrackReader::open(s.path);
    if (!track) __builtin_trap();
    brisca::MidiEvent event;
    int messages = 0;
    while (track->next(event)) {
      if (!event.is_sysex_with_data()) continue;
      if (event.length < 8 || event.data[0] != 0xF0 || event.data[event.length - 1] != 0xF7)
        __builtin_trap();
      ++messages;
    }
    if (s.whole && messages != s.sound.total_blocks) __builtin_trap();
    fs::remove(s.path);
    ++(s.whole ? whole : partial);
  }
  int whole = 0, partial = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 64 * (data[0] >= 128 ? 17 : 1);
  Check check;
  brisca::SoundReceiver receiver(folder(), check);
  auto now = brisca::SoundReceiver::Clock::time_point{};
  for (std::size_t at = 1; at < size; at += piece) {
    const std::size_t n = std::min(piece, size - at);
    if (data[at] == 0xF4) now += std::chrono::seconds(4);
    receiver.long_data(data + at, n, now);
    receiver.poll(now);
  }
  receiver.stop();
  if (std::getenv("BRISCA_FUZZ_SHOW"))
    std::printf("%d whole, %d partial\n", check.whole, check.partial);
  return 0;
}
