// briscatool import end to end: audio files written with libsndfile, imported, and the sound
// files read back and played through the real decoder.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <limits>
#include <numbers>
#include <random>
#include <sstream>

#include "preview/block_source.h"
#include "preview/decoder.h"
#include "soundfile/block_count.h"
#include "soundfile/track_reader.h"
#include "tests/support/run_cli.h"
#include "tests/support/sound_files.h"

// A signal at a chosen moment: while this names part of a file's path, flushing that file to
// disk first raises SIGTERM. This program's own fsync takes the place of the system's for the
// code linked into it (the sound-file writer flushes each file before it is given its name).
std::atomic<const char*> g_term_at_sync{nullptr};

extern "C" int fsync(int fd) {
  if (const char* mark = g_term_at_sync.load()) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::vector<char> target(PATH_MAX + 1, '\0');
    const ssize_t n = ::readlink(link, target.data(), PATH_MAX);
    if (n > 0 && std::strstr(target.data(), mark) != nullptr) ::raise(SIGTERM);
  }
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace brisca::cli {
namespace {

namespace fs = std::filesystem;
using Signal = std::function<double(double t, int channel)>;

std::string write_audio(const std::string& path, int format, int rate, int channels,
                        std::size_t frames, const Signal& signal) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  EXPECT_NE(f, nullptr) << sf_strerror(nullptr);
  if (!f) return path;
  std::vector<float> data(frames * static_cast<std::size_t>(channels));
  for (std::size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      data[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
          static_cast<float>(signal(static_cast<double>(i) / rate, c));
  sf_writef_float(f, data.data(), static_cast<sf_count_t>(frames));
  sf_close(f);
  return path;
}

// Everything preview plays of a sound file.
std::vector<std::int16_t> play(const std::string& path) {
  auto track = TrackReader::open(path);
  EXPECT_TRUE(track.ok()) << path;
  if (!track) return {};
  BlockSource source(std::move(*track));
  std::vector<std::int16_t> all;
  play_out(source, [&](const std::int16_t* s, std::size_t n) { all.insert(all.end(), s, s + n); });
  return all;
}

// The System Exclusive messages of a sound file, as written.
std::vector<Bytes> messages(const std::string& path) {
  auto track = TrackReader::open(path);
  std::vector<Bytes> out;
  MidiEvent e;
  while (track && track->next(e))
    if (e.is_sysex_with_data()) out.emplace_back(e.data.get(), e.data.get() + e.length);
  return out;
}

BlockCount header_of(const std::string& path) {
  auto track = TrackReader::open(path);
  return count_blocks(*track);
}

// SNR of the played sound against the signal at 44.1 kHz (channel 0), the best over shifts of
// up to four samples either way.
double snr_against(const std::vector<std::int16_t>& played, const Signal& signal,
                   std::size_t count) {
  double best = -1e9;
  for (int shift = -4; shift <= 4; ++shift) {
    double power = 0, noise = 0;
    for (std::size_t n = 8; n + 8 < count && n < played.size(); ++n) {
      const double x =
          32768.0 * signal(static_cast<double>(static_cast<long>(n) + shift) / 44100, 0);
      power += x * x;
      noise += (x - played[n]) * (x - played[n]);
    }
    best = std::max(best, 10 * std::log10(power / std::max(noise, 1e-9)));
  }
  return best;
}

class ImportCommand : public ::testing::Test {
 protected:
  std::string at(const std::string& name) const { return tmp / name; }
  bool exists(const std::string& name) const { return fs::exists(at(name)); }
  test::TempDir tmp;
};

const Signal kSine = [](double t, int) { return 0.5 * std::sin(2 * std::numbers::pi * 440 * t); };

TEST_F(ImportCommand, SignalsRoundTripThroughTheDecoder) {
  constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  std::mt19937 rng(3);
  std::vector<double> noise(30000);
  for (double& v : noise) v = std::uniform_real_distribution<double>(-0.9, 0.9)(rng);
  const Signal decaying = [&](double t, int) {
    return noise[static_cast<std::size_t>(std::lround(t * 44100)) % noise.size()] *
           std::exp(-20 * t);
  };
  const Signal square = [](double t, int) {
    return std::sin(2 * std::numbers::pi * 100 * t) >= 0 ? 1.0 : -1.0;
  };
  const Signal cancel = [](double t, int c) {
    return (c == 0 ? 0.7 : -0.7) * std::sin(2 * std::numbers::pi * 200 * t);
  };
  const Signal silence = [](double, int) { return 0.0; };

  struct Case {
    const char* name;
    std::size_t frames;
    int channels;
    Signal signal;
    int blocks;      // every block of the file
    double min_snr;  // of the played sound against the source; 0: not measured
    bool silent = false;
  } cases[] = {
      {"sine", 22050, 1, kSine, 1 + 26, 40},
      {"decaying", 22050, 1, decaying, 0, 30},
      {"square", 4410, 1, square, 1 + 6, 15},
      {"one", 1, 1, [](double, int) { return 0.25; }, 2, 0},
      {"over", 881, 1, kSine, 3, 30},
      {"cancel", 8000, 2, cancel, 2, 0, true},
      {"silence", 8000, 1, silence, 2, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string audio = write_audio(at(std::string(c.name) + ".wav"), kWav16, 44100,
                                          c.channels, c.frames, c.signal);
    CliRun r = run_import({audio});
    ASSERT_EQ(r.status, kOk) << r.err;
    const std::string sound = at(std::string(c.name) + ".mid");
    const BlockCount header = header_of(sound);
    EXPECT_EQ(header.name, c.name);
    EXPECT_EQ(header.type, "DRUM");
    const std::vector<Bytes> written = messages(sound);
    EXPECT_EQ(header.blocks, static_cast<int>(written.size()));
    if (c.blocks) {
      EXPECT_EQ(header.blocks, c.blocks);
    }
    EXPECT_NE(r.out.find(sound + ": " + std::to_string(header.blocks) + " blocks, "),
              std::string::npos)
        << r.out;
    const std::vector<std::int16_t> played = play(sound);
    EXPECT_EQ(played.size(), (written.size() - 1) * kSamplesPerBlock);
    if (c.min_snr > 0) {
      EXPECT_GT(snr_against(played, c.signal, c.frames), c.min_snr);
    }
    if (c.silent) {
      for (std::int16_t v : played) ASSERT_LE(std::abs(v), 2);
    }
  }
  // The trimmed silent end can be kept.
  ASSERT_EQ(run_import({"--no-trim", "-o", at("kept.mid"), at("silence.wav")}).status, kOk);
  EXPECT_EQ(header_of(at("kept.mid")).blocks, 1 + 10);
}

TEST_F(ImportCommand, EveryFormatAndRate) {
  const Signal low = [](double t, int) { return 0.6 * std::sin(2 * std::numbers::pi * 300 * t); };
  struct Case {
    const char* file;
    int format, rate, channels;
    double min_snr;
  } cases[] = {
      {"a16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1, 40},
      {"a24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 22050, 2, 40},
      {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 1, 40},
      {"b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1, 40},
      {"c.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 32000, 1, 25},
      {"d.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 11025, 2, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    write_audio(at(c.file), c.format, c.rate, c.channels, static_cast<std::size_t>(c.rate / 4),
                low);
    CliRun r = run_import({"-d", tmp.make_folder("out"), at(c.file)});
    ASSERT_EQ(r.status, kOk) << r.err;
    const std::string sound = at("out/" + fs::path(c.file).stem().string() + ".mid");
    EXPECT_NEAR(header_of(sound).blocks, 1 + 13, 1);  // a quarter second: 11025 samples
    EXPECT_GT(snr_against(play(sound), low, 11025), c.min_snr);
  }
  // At half the rate (pitch byte 8) the same quarter second takes half the blocks and still
  // plays at 44.1 kHz.
  ASSERT_EQ(run_import({"--rate", "22000", "-o", at("half.mid"), at("a16.wav")}).status, kOk);
  const std::vector<Bytes> half = messages(at("half.mid"));
  EXPECT_NEAR(static_cast<double>(half.size()), 1 + 7, 1);
  EXPECT_EQ(unpack_block(half[1].data(), static_cast<std::uint32_t>(half[1].size()))[kPitchOffset],
            8);
  EXPECT_GT(snr_against(play(at("half.mid")), low, 11025), 30);
}

TEST_F(ImportCommand, NamesAndTypes) {
  const std::string audio = write_audio(at("\xC3\x96l\xC3\xA7\xC3\xBC \xE2\x98\x83 \xFF.wav"),
                                        SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 100, kSine);
  ASSERT_EQ(run_import({audio, "--type", "SNAR"}).status, kOk);
  BlockCount h = header_of(at("\xC3\x96l\xC3\xA7\xC3\xBC \xE2\x98\x83 \xFF.mid"));
  EXPECT_EQ(h.name, "Olcu _ _");
  EXPECT_EQ(h.type, "SNAR");
  ASSERT_EQ(
      run_import({audio, "-o", at("long.mid"), "--name",
                  "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65 \xE2\x80\x94 \xC3\x86on, tr\xC3\xA8s long"})
          .status,
      kOk);
  h = header_of(at("long.mid"));
  EXPECT_EQ(h.name, "Creme brulee - AEon, tres long");  // 30 bytes
  ASSERT_EQ(
      run_import({audio, "-o", at("cut.mid"), "--name", std::string(40, 'x') + "\xC3\x9F"}).status,
      kOk);
  EXPECT_EQ(header_of(at("cut.mid")).name, std::string(31, 'x'));
  for (const char* bad : {"KIK", "KICKS", "K\tCK"})
    EXPECT_EQ(run_import({audio, "-o", at("t.mid"), "--type", bad}).status, kUsage) << bad;
  EXPECT_FALSE(exists("t.mid"));
}

TEST_F(ImportCommand, TemplateHeaderBytesAreCopied) {
  UnpackedBlock header{};
  for (std::size_t i = 0; i < header.size(); ++i) header[i] = static_cast<std::uint8_t>(i * 13 + 1);
  write_file(at("template.mid"), make_smf0({make_block(0, header, 0x10)}));
  const std::string audio =
      write_audio(at("k.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 2000, kSine);
  ASSERT_EQ(run_import({audio, "--template", at("template.mid"), "--name", "Kick"}).status, kOk);
  const std::vector<Bytes> written = messages(at("k.mid"));
  ASSERT_EQ(written.size(), 4u);
  const UnpackedBlock got =
      unpack_block(written[0].data(), static_cast<std::uint32_t>(written[0].size()));
  // A 1173-byte block carries the first 1019 bytes; a full 1174-byte one all 1020.
  const std::size_t carried = written[0].size() - 154;
  for (std::size_t i = 0; i < carried; ++i) {
    if (i < 36 || i == 44 || i == 45) continue;
    ASSERT_EQ(got[i], header[i]) << i;
  }
  EXPECT_EQ(header_name(got), "Kick");
  EXPECT_EQ(got[4], 0);  // the name's zero fill
  EXPECT_EQ(header_total_blocks(got), 4);
  for (const Bytes& m : written) EXPECT_EQ(m[2], 0x10);

  // Without a template every byte but name, type and total_blocks is zero.
  ASSERT_EQ(run_import({audio, "-o", at("plain.mid")}).status, kOk);
  const Bytes plain = messages(at("plain.mid"))[0];
  const UnpackedBlock zero = unpack_block(plain.data(), static_cast<std::uint32_t>(plain.size()));
  for (std::size_t i = 36; i < carried; ++i)
    if (i != 44 && i != 45) {
      ASSERT_EQ(zero[i], 0) << i;
    }
  EXPECT_EQ(run_import({audio, "-o", at("x.mid"), "--template", audio}).status, kFailed);
  EXPECT_FALSE(exists("x.mid"));
}

TEST_F(ImportCommand, RefusalsLeaveNoOutput) {
  test::write_text(at("text.wav"), "this is not audio");
  test::write_text(at("empty.wav"), "");
  write_audio(at("header-only.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 0, kSine);
  // 16383 data blocks at 44.1 kHz hold 326.9 s: a 330 s file at 8 kHz is too long.
  write_audio(at("long.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, 330 * 8000, kSine);
  const std::string good =
      write_audio(at("good.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 1000, kSine);
  ASSERT_EQ(::mkfifo(at("pipe.wav").c_str(), 0600), 0);
  ::alarm(20);  // a pipe that blocked would hang here
  CliRun r =
      run_import({"-d", tmp.make_folder("out"), at("text.wav"), at("empty.wav"),
                  at("header-only.wav"), at("long.wav"), at("missing.wav"), at("pipe.wav"), good});
  ::alarm(0);
  EXPECT_EQ(r.status, kFailed);
  EXPECT_NE(r.err.find("pipe.wav: cannot be opened (a named pipe, not a file)"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("text.wav: not an audio file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("empty.wav: is empty"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("header-only.wav: holds no samples"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("long.wav: too long: a sound holds at most 16383 data blocks"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("missing.wav: no such file"), std::string::npos) << r.err;
  // Only the good file made a sound file, and no temporary file is left.
  std::vector<std::string> made;
  for (const auto& e : fs::directory_iterator(at("out"))) made.push_back(e.path().filename());
  EXPECT_EQ(made, std::vector<std::string>{"good.mid"});

  // An existing output stays as it was unless --force is given.
  test::write_text(at("good.mid"), "keep me");
  r = run_import({good});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_NE(r.err.find("exists already (--force replaces it)"), std::string::npos) << r.err;
  EXPECT_EQ(fs::file_size(at("good.mid")), 7u);
  EXPECT_EQ(run_import({good, "--force"}).status, kOk);
  EXPECT_EQ(header_of(at("good.mid")).blocks, 3);

  // Usage errors.
  EXPECT_EQ(run_import({}).status, kUsage);
  EXPECT_EQ(run_import({good, at("text.wav"), "-o", at("two.mid")}).status, kUsage);
  EXPECT_EQ(run_import({good, "-o", at("r.mid"), "-d", at("out")}).status, kUsage);
  // The rates the help gives, 2757 to 44100, and no others.
  for (const char* rate : {"44101", "2756", "50000", "fast"})
    EXPECT_EQ(run_import({good, "-o", at("r.mid"), "--rate", rate}).status, kUsage) << rate;
  EXPECT_FALSE(exists("r.mid"));
  for (const char* rate : {"2757", "44100"})
    EXPECT_EQ(run_import({good, "-o", at(std::string(rate) + ".mid"), "--rate", rate}).status, kOk);
}

// A level that is no finite number is a usage error, not a silent or square sound; silence has
// no loudness to bring anywhere and is written as it is.
TEST_F(ImportCommand, LevelsThatAreNoNumbersAreRefusedAndSilenceIsLeftAsIs) {
  const std::string good =
      write_audio(at("good.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 1000, kSine);
  for (const auto& [option, value] : std::vector<std::pair<std::string, std::string>>{
           {"--loudness", "nan"}, {"--loudness", "-inf"}, {"--gain", "nan"}, {"--gain", "inf"}}) {
    const CliRun r = run_import({good, "-o", at("level.mid"), option, value});
    EXPECT_EQ(r.status, kUsage) << option << ' ' << value;
    EXPECT_NE(r.err.find(option + ": needs a finite number of "), std::string::npos) << r.err;
  }
  EXPECT_FALSE(exists("level.mid"));
  ImportCommandOptions options;
  options.audio = {good};
  options.output = at("level.mid");
  options.loudness = std::numeric_limits<double>::quiet_NaN();
  std::ostringstream out, err;
  EXPECT_EQ(run_import(options, {out, err}), kUsage);
  EXPECT_FALSE(exists("level.mid"));

  const std::string silent = write_audio(at("silent.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100,
                                         1, 1000, [](double, int) { return 0.0; });
  const CliRun r = run_import({silent, "-o", at("silent.mid"), "--no-trim", "--loudness", "-16"});
  EXPECT_EQ(r.status, kOk) << r.err;
  EXPECT_NE(r.out.find(", silence has no loudness: left as is\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("inf"), std::string::npos) << r.out;
  EXPECT_EQ(header_of(at("silent.mid")).blocks, 3);
}

// A folder -d cannot make is reported with the cause met in making it, not with what looking
// for it afterwards found.
TEST_F(ImportCommand, AFolderThatCannotBeMadeGivesTheCause) {
  const std::string good =
      write_audio(at("good.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 1000, kSine);
  ASSERT_EQ(::symlink((tmp / "nowhere/out").c_str(), at("dangling").c_str()), 0);
  CliRun r = run_import({good, "-d", at("dangling")});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, at("dangling") + ": cannot be made a folder (File exists)\n");
  // Only where permissions apply (not for root).
  if (::geteuid() != 0) {
    const std::string locked = tmp.make_folder("locked");
    ASSERT_EQ(::chmod(locked.c_str(), 0500), 0);
    r = run_import({good, "-d", locked + "/out"});
    EXPECT_EQ(r.err, locked + "/out: cannot be made a folder (Permission denied)\n");
    r = run_import({good, "-d", locked});
    EXPECT_NE(r.err.find("locked/good.mid: cannot be written (Permission denied)"),
              std::string::npos)
        << r.err;
    ::chmod(locked.c_str(), 0700);
  }
}

// SIGTERM while a sound file is being written: the temporary file goes with the process, which
// ends by the signal, and the result line of the file imported before it has reached the pipe.
TEST_F(ImportCommand, ASignalLeavesNoTemporaryFileAndKeepsThePrintedLines) {
  const std::string first =
      write_audio(at("first.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 2000, kSine);
  const std::string second =
      write_audio(at("second.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 20000, kSine);
  const std::string out = tmp.make_folder("out");
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::dup2(pipe_fds[1], STDOUT_FILENO);
    ::close(pipe_fds[0]);
    g_term_at_sync.store("/second.mid.tmp");
    std::vector<std::string> args{"briscatool", "import", "-d", out, first, second};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    const int status = run(static_cast<int>(argv.size()), argv.data(), {std::cout, std::cerr});
    std::cout << "not ended by the signal, status " << status << std::endl;
    ::_exit(0);
  }
  ::close(pipe_fds[1]);
  std::string printed;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;)
    printed.append(buffer, static_cast<std::size_t>(n));
  ::close(pipe_fds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << printed;
  EXPECT_EQ(printed.rfind(out + "/first.mid: ", 0), 0u) << printed;
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(out)) left.push_back(e.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{"first.mid"});
}

}  // namespace
}  // namespace brisca::cli
