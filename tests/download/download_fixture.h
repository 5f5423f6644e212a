// A sound list over real files in a temporary folder, a recording listener and a fake output,
// with the down-load between them on a manual clock, driven tick by tick.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/manual_clock.h"
#include "download/download.h"
#include "soundfile/sound_writer.h"
#include "tests/download/fake_midi_out.h"
#include "tests/support/fake_list.h"
#include "tests/support/fake_listeners.h"

namespace brisca::test {

// F0, n - 2 data bytes, F7.
inline Bytes sysex(std::size_t n, int seed = 0) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>((i * 7 + seed) & 0x7F);
  b.front() = 0xF0;
  b.back() = 0xF7;
  return b;
}

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("brisca-download-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder);
    dir_index = list.add_directory(folder.string() + "/");
    download.set_listener(&heard);
    ASSERT_EQ(download.open(1), 1);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  // Writes a sound file of these messages and adds its row counting `blocks`.
  void add_file(const std::string& name, const std::vector<Bytes>& messages, int blocks) {
    ASSERT_TRUE(write_file((folder / name).string(), make_smf0(messages)));
    add_row(name, blocks);
  }
  void add_row(const std::string& name, int blocks) { list.add_row(name, dir_index, blocks); }
  int row_of(const std::string& name) const { return index_of_name(list, name); }
  void select(const std::string& name) { list.toggle_select(row_of(name)); }
  unsigned word(const std::string& name) const { return marks(list, row_of(name)); }
  bool timer_running() const { return download.sequencer().ticking(); }

  // "Send File(s)" as the front end does it: what the gate tells or asks is recorded, and a
  // question answered `answer` sends again.
  void send() {
    const std::optional<Notice> notice = download.send_files();
    if (!notice) return;
    heard.boxes.push_back(*notice);
    if (notice->kind == Notice::Kind::Question && answer) download.send_files(true);
  }
  // "Stop": the question is recorded and answered `answer`.
  void stop() {
    const std::optional<Notice> notice = download.request_stop();
    if (!notice) return;
    heard.boxes.push_back(*notice);
    if (answer) download.sequencer().stop_at_next_sound();
  }
  // Runs what the down-load left for after its current work (the next file's start).
  void handle_posted() { clock.run_posted(); }
  // One tick: the device finishes the chunk in flight, then the tick takes one report.
  void tick() {
    service.complete();
    clock.advance(std::chrono::milliseconds(DownloadSequencer::kTickMs));
  }
  void run_to_idle() {
    handle_posted();
    for (int i = 0; i < 100000 && download.sequencer().is_busy(); ++i) tick();
  }
  // The bytes sent, joined chunk after chunk.
  Bytes sent_bytes() const {
    Bytes all;
    for (const auto& c : service.log->chunks) all.insert(all.end(), c.begin(), c.end());
    return all;
  }

  std::filesystem::path folder;
  int dir_index = 0;
  Recorder heard;
  SoundList list{&heard};
  FakeList rows{list};
  FakeMidiService service;
  ManualClock clock;
  Download download{service, list, clock};
  bool answer = true;  // what a question is answered
};

}  // namespace brisca::test
