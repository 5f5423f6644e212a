// briscatool import's levels on recorded drum hits: a loudness given to a whole kit brings every
// sound, as the module plays it, within 1 LU of it (a sound the limit stopped short is named and
// says what it got); peak normalising reaches full scale and nothing ever clips. A dry run
// prints the figures and writes nothing, not even the folder -d names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <sstream>

#include "import/loudness.h"
#include "preview/block_source.h"
#include "soundfile/track_reader.h"
#include "tests/support/run_cli.h"
#include "tests/support/sound_files.h"

namespace brisca::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kKit = "/usr/share/hydrogen/data/drumkits/GMRockKit";

std::vector<std::int16_t> played(const std::string& path) {
  auto track = TrackReader::open(path);
  EXPECT_TRUE(track.ok()) << path;
  if (!track) return {};
  BlockSource source(std::move(*track));
  std::vector<std::int16_t> all;
  play_out(source, [&](const std::int16_t* s, std::size_t n) { all.insert(all.end(), s, s + n); });
  return all;
}

int peak(const std::vector<std::int16_t>& s) {
  int p = 0;
  for (std::int16_t v : s) p = std::max(p, std::abs(static_cast<int>(v)));
  return p;
}

std::string line_of(const std::string& text, const std::string& name) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.find(name) != std::string::npos) return line;
  return {};
}

// Soft and hard, short (a 165 ms cowbell, shorter than a gating block) and long, one in stereo.
const std::vector<std::string> kHits = {"Cowbell-Soft",  "HatClosed-Softest", "Kick-Hardest",
                                        "Snare-Soft",    "HandClap",          "Crash-Softest",
                                        "SideStick-Med", "Tom1-Softest"};

TEST(ImportLevels, AKitComesToOneLoudnessAndNothingClips) {
  if (!fs::is_directory(kKit)) GTEST_SKIP() << "hydrogen-data is not installed (scripts/deps)";
  test::TempDir tmp;
  const std::string folder = tmp / "kit/new";
  std::vector<std::string> files;
  for (const std::string& h : kHits) files.push_back(kKit / (h + ".wav"));
  auto with = [&](std::vector<std::string> options) {
    options.insert(options.end(), files.begin(), files.end());
    return options;
  };

  // A dry run prints each sound's figures and makes nothing, not even the folder.
  const CliRun dry = run_import(with({"--loudness", "-24", "-d", folder, "--dry-run"}));
  ASSERT_EQ(dry.status, kOk) << dry.err;
  EXPECT_FALSE(fs::exists(tmp / "kit"));
  for (const std::string& h : kHits)
    EXPECT_NE(line_of(dry.out, h + ".wav: ").find(" blocks, "), std::string::npos) << dry.out;

  // -d makes the folder; every sound comes within 1 LU of the loudness, or says it was limited
  // and what it got (and then it peaks at full scale, short of clipping).
  const CliRun made = run_import(with({"--loudness", "-24", "-d", folder}));
  ASSERT_EQ(made.status, kOk) << made.err;
  int on_target = 0;
  for (const std::string& h : kHits) {
    const std::string line = line_of(made.out, h + ".mid: ");
    const std::vector<std::int16_t> sound = played(folder + "/" + h + ".mid");
    const double lufs = loudness_lufs(sound);
    EXPECT_LT(peak(sound), 32767) << line;
    // The dry run's figures are those of the file written.
    EXPECT_EQ(line.substr(line.find(": ")),
              line_of(dry.out, h + ".wav: ").substr(line_of(dry.out, h + ".wav: ").find(": ")));
    if (line.find("limited to") != std::string::npos) {
      EXPECT_LT(lufs, -24.0) << line;
      EXPECT_GT(peak(sound), 32000) << line;
      char shown[16];
      std::snprintf(shown, sizeof shown, "%.1f LUFS", lufs);
      EXPECT_NE(line.find(std::string("limited to ") + shown), std::string::npos) << line;
      continue;
    }
    EXPECT_NEAR(lufs, -24.0, 1.0) << line;
    ++on_target;
  }
  EXPECT_GE(on_target, 6) << made.out;

  // Peak: each sound peaks within 0.1 dB of full scale without clipping.
  const CliRun peaks = run_import(with({"--normalize", "peak", "-d", tmp / "peak"}));
  ASSERT_EQ(peaks.status, kOk) << peaks.err;
  for (const std::string& h : kHits) {
    const int p = peak(played(tmp / ("peak/" + h + ".mid")));
    EXPECT_LT(p, 32767) << h;
    EXPECT_GT(p, 32768 * 0.9886) << h;  // -0.1 dBFS
  }
}

// A sound shorter than a 400 ms gating block is measured over its whole length: a 100 ms sine
// of 997 Hz at full scale reads -3.0 LUFS, as a long one does.
TEST(ImportLevels, AShortSoundIsMeasuredOverItsWholeLength) {
  for (double seconds : {0.1, 2.0}) {
    std::vector<float> sine(static_cast<std::size_t>(seconds * 48000));
    for (std::size_t i = 0; i < sine.size(); ++i)
      sine[i] = static_cast<float>(std::sin(2 * std::numbers::pi * 997 * i / 48000.0));
    EXPECT_NEAR(loudness_lufs(sine, 48000), -3.01, 0.1) << seconds;
  }
  EXPECT_EQ(loudness_lufs(std::vector<float>(4800, 0.0f), 48000), -HUGE_VAL);
}

}  // namespace
}  // namespace brisca::cli
