#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "app/cli/cli.h"
#include "import/encoder.h"
#include "preview/block_source.h"
#include "preview/decoder.h"
#include "soundfile/sound_writer.h"
#include "soundfile/track_reader.h"
#include "tools/example_sounds.h"

namespace brisca {
namespace {

namespace fs = std::filesystem;

struct Result {
  int status;
  std::string out, err;
};

Result run_cli(std::vector<std::string> args) {
  args.insert(args.begin(), "briscatool");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  const int status = cli::run(static_cast<int>(argv.size()), argv.data(), {out, err});
  return {status, out.str(), err.str()};
}

std::string examples_dir() {
  const char* source = std::getenv("BRISCA_SOURCE_DIR");
  return std::string(source ? source : ".") + "/examples";
}

std::vector<std::int16_t> read_wav(const std::string& path, SF_INFO& info) {
  info = {};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (f == nullptr) return {};
  std::vector<std::int16_t> samples(static_cast<std::size_t>(info.frames));
  sf_read_short(f, samples.data(), info.frames);
  sf_close(f);
  return samples;
}

// The file's data blocks decoded one after another with the carried phase, without buffers.
std::vector<std::int16_t> decode_block_by_block(const std::string& path) {
  auto track = TrackReader::open(path);
  std::vector<std::int16_t> all;
  double carry = 0.0;
  MidiEvent event;
  while (track && track->next(event)) {
    if (!event.is_sysex_with_data() || block_message_type(event.data.get(), event.length) != 0 ||
        block_number(event.data.get()) == 0)
      continue;
    const UnpackedBlock block = unpack_block(event.data.get(), event.length);
    std::vector<std::int16_t> out(block_output_samples(block));
    out.resize(decode_block(out.data(), out.size(), block, carry) / 2);
    all.insert(all.end(), out.begin(), out.end());
  }
  return all;
}

double snr_db(const std::vector<std::int16_t>& got, const std::vector<std::int16_t>& want) {
  double signal = 0.0, noise = 0.0;
  for (std::size_t i = 0; i < want.size(); ++i) {
    const double e = (i < got.size() ? got[i] : 0) - want[i];
    signal += static_cast<double>(want[i]) * want[i];
    noise += e * e;
  }
  return 10.0 * std::log10(signal / std::max(noise, 1.0));
}

class Render : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("brisca-render-" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string at(const std::string& name) const { return (dir / name).string(); }
  fs::path dir;
};

TEST_F(Render, WritesWhatTheBlocksDecodeTo) {
  for (const std::string name : {"kick", "snare", "hat", "clap", "tom"}) {
    const std::string sound = examples_dir() + "/" + name + ".mid";
    const Result r = run_cli({"render", sound, "-o", at(name + ".wav")});
    ASSERT_EQ(r.status, cli::kOk) << r.err;
    SF_INFO info;
    const auto samples = read_wav(at(name + ".wav"), info);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(samples, decode_block_by_block(sound)) << name;
    char line[128];
    std::snprintf(line, sizeof line, "%s: %.3f s, %zu samples\n", at(name + ".wav").c_str(),
                  samples.size() / 44100.0, samples.size());
    EXPECT_EQ(r.out, line);
  }
}

TEST_F(Render, ExamplesSoundAsTheyWereMade) {
  // Decoding the committed files gives back the synthesised sounds closely: no block steps, no
  // drift of the filter, the 8-bit data used well.
  for (const auto& example : examples::all_examples()) {
    const auto decoded = decode_block_by_block(examples_dir() + "/" + example.file);
    ASSERT_GE(decoded.size(), example.samples.size()) << example.file;
    EXPECT_GT(snr_db(decoded, example.samples), 38.0) << example.file;
    for (std::size_t i = example.samples.size(); i < decoded.size(); ++i)
      ASSERT_LE(std::abs(decoded[i]), 16) << example.file << " tail at " << i;
  }
}

// The sound encoder's blocks, decoded one by one with the carried phase as render does, join
// without steps: a quiet block after a loud one starts where the loud one ended.
TEST_F(Render, EncoderRoundTripJoinsBlocksWithoutSteps) {
  const auto kick = examples::kick();
  std::vector<float> source(kick.size());
  for (std::size_t i = 0; i < kick.size(); ++i) source[i] = kick[i] / 32768.0f;
  const EncodedSound sound = encode_sound(source);
  ASSERT_EQ(sound.blocks.size(), (kick.size() + 879) / 880);
  std::vector<std::int16_t> decoded;
  double carry = 0.0;
  for (const auto& b : sound.blocks) {
    std::int16_t out[880];
    ASSERT_EQ(decode_block(out, 880, b, carry), 1760u);
    decoded.insert(decoded.end(), out, out + 880);
  }
  EXPECT_EQ(decoded, sound.decoded);
  EXPECT_GT(snr_db(decoded, kick), 50.0);
  int worst = 0;
  for (std::size_t i = 0; i < kick.size(); ++i)
    worst = std::max(worst, std::abs(decoded[i] - kick[i]));
  EXPECT_LT(worst, 200);
  // The quiet end of the kick gets a finer level than its loud start.
  EXPECT_GT(sound.blocks.back()[kLevelOffset], sound.blocks.front()[kLevelOffset]);
}

TEST_F(Render, ReportsBadFilesAndUsage) {
  const Result missing = run_cli({"render", at("none.mid"), "-o", at("x.wav")});
  EXPECT_EQ(missing.status, cli::kFailed);
  EXPECT_NE(missing.err.find("cannot be opened (no such file)"), std::string::npos);

  write_file(at("text.mid"), Bytes{'h', 'e', 'l', 'l', 'o'});
  const Result bad = run_cli({"render", at("text.mid"), "-o", at("x.wav")});
  EXPECT_EQ(bad.status, cli::kFailed);
  EXPECT_EQ(bad.err, "text.mid: Bad MIDI file!\n");
  EXPECT_FALSE(fs::exists(at("x.wav")));

  for (const auto& args : std::vector<std::vector<std::string>>{
           {"render"},
           {"render", at("a.mid")},
           {"render", "-o", at("x.wav")},
           {"render", at("a.mid"), at("b.mid"), "-o", at("x.wav")},
           {"render", at("a.mid"), "--bogus", "-o", at("x.wav")},
           {"render", at("a.mid"), "-o"}}) {
    const Result r = run_cli(args);
    EXPECT_EQ(r.status, cli::kUsage) << args.size();
    EXPECT_NE(r.err.find("Usage: briscatool render"), std::string::npos);
  }

  const std::string kick = examples_dir() + "/kick.mid";
  const Result nowhere = run_cli({"render", kick, "-o", at("no/such/dir/x.wav")});
  EXPECT_EQ(nowhere.status, cli::kFailed);
  EXPECT_NE(nowhere.err.find("cannot be written"), std::string::npos);

  // Rendering onto the sound file itself would destroy it.
  fs::copy_file(kick, at("k.mid"));
  const auto before = fs::file_size(at("k.mid"));
  const Result self = run_cli({"render", at("k.mid"), "--output=" + at("k.mid")});
  EXPECT_EQ(self.status, cli::kFailed);
  EXPECT_EQ(fs::file_size(at("k.mid")), before);
}

// A disk that fills up half-way (a file size limit fails write() the same way), a device that
// refuses every write, and a named pipe as the sound.
TEST_F(Render, FailuresLeaveNoPartialFileAndPipesDoNotBlock) {
  const std::string kick = examples_dir() + "/kick.mid";
  write_file(at("old.wav"), Bytes{'o', 'l', 'd'});
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 16384;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const Result full = run_cli({"render", kick, "-o", at("old.wav")});
  const Result fresh = run_cli({"render", kick, "-o", at("new.wav")});
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(full.status, cli::kFailed);
  EXPECT_NE(full.err.find(at("old.wav") + ": writing failed"), std::string::npos) << full.err;
  EXPECT_EQ(fresh.status, cli::kFailed);
  EXPECT_EQ(fs::file_size(at("old.wav")), 3u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  const Result device = run_cli({"render", kick, "-o", "/dev/full"});
  EXPECT_EQ(device.status, cli::kFailed);
  EXPECT_EQ(device.err.rfind("/dev/full: ", 0), 0u) << device.err;

  ASSERT_EQ(::mkfifo(at("pipe.mid").c_str(), 0600), 0);
  ::alarm(10);  // a pipe that blocked would hang here
  const Result pipe = run_cli({"render", at("pipe.mid"), "-o", at("p.wav")});
  ::alarm(0);
  EXPECT_EQ(pipe.status, cli::kFailed);
  EXPECT_EQ(pipe.err, at("pipe.mid") + ": cannot be opened (a named pipe, not a file)\n");
  EXPECT_FALSE(fs::exists(at("p.wav")));
}

TEST_F(Render, TrackWithoutDataGivesAnEmptyWav) {
  write_file(at("empty.mid"), make_smf0({make_header_block("EMPTY", "DRUM", 1)}));
  const Result r = run_cli({"render", at("empty.mid"), "-o", at("e.wav")});
  EXPECT_EQ(r.status, cli::kOk);
  EXPECT_EQ(r.out, at("e.wav") + ": 0.000 s, 0 samples\n");
  SF_INFO info;
  EXPECT_TRUE(read_wav(at("e.wav"), info).empty());
  EXPECT_EQ(info.samplerate, 44100);
}

}  // namespace
}  // namespace brisca
