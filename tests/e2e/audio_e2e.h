// Shared pieces of the audio end-to-end tests: test sounds, what `briscatool render` makes of
// them, finding a rendered sound in a recording, servers' environment files, CPU time.
#pragma once

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/keep_failures.h"
#include "tests/preview/block_maker.h"

namespace brisca::test {

inline std::string build_dir() {
  const char* dir = std::getenv("BRISCA_BUILD_DIR");
  return dir != nullptr ? dir : ".";
}
inline std::string source_dir() {
  const char* dir = std::getenv("BRISCA_SOURCE_DIR");
  return dir != nullptr ? dir : ".";
}
// A folder of the running test's own: suite and test name, as tests of different programs run
// at the same time.
inline std::string test_dir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  const std::string dir = build_dir() + "/e2e-audio/" + name;
  std::filesystem::create_directories(dir);
  keep_on_failure(dir);
  return dir;
}

// A test with its folder in `dir_`.
class FolderTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = test_dir(); }
  std::string dir_;
};

inline std::string briscatool() {
  return build_dir() + "/app/briscatool";
}

// Sets the KEY=VALUE lines of a server's environment file in this process (and so in the
// programs it starts). False when the file is missing.
inline bool use_env_file(const std::string& path) {
  keep_on_failure(std::filesystem::path(path).parent_path().string());  // the server's log
  std::ifstream env(path);
  if (!env) return false;
  std::string line;
  while (std::getline(env, line)) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) setenv(line.substr(0, eq).c_str(), line.substr(eq + 1).c_str(), 1);
  }
  return true;
}

// A sound of `blocks` data blocks of noise whose pitch bytes walk from -8 to 8, so that the
// resampler runs at several steps and carries its phase across blocks.
inline std::string write_test_sound(const std::string& path, int blocks, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<Bytes> messages;
  for (int i = 1; i <= blocks; ++i)
    messages.push_back(make_block(static_cast<std::uint16_t>(i), random_block(rng, (i % 17) - 8)));
  write_file(path, sound_file(messages, blocks));
  return path;
}

// The samples `briscatool render` writes for the sound; empty when it failed.
inline std::vector<std::int16_t> render(const std::string& sound, const std::string& wav) {
  // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on "'" + string.
  std::string command(1, '\'');
  command += briscatool() + "' render '" + sound + "' -o '" + wav + "'";
  if (std::system(command.c_str()) != 0) return {};
  SF_INFO info{};
  SNDFILE* file = sf_open(wav.c_str(), SFM_READ, &info);
  if (file == nullptr) return {};
  std::vector<std::int16_t> samples(static_cast<std::size_t>(info.frames));
  sf_read_short(file, samples.data(), info.frames);
  sf_close(file);
  return samples;
}

inline constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// The first position at or after `from` where the whole of `sound` lies in `recording`.
inline std::size_t find_sound(const std::vector<std::int16_t>& recording,
                              const std::vector<std::int16_t>& sound, std::size_t from = 0) {
  if (sound.empty() || recording.size() < sound.size()) return kNotFound;
  for (std::size_t at = from; at + sound.size() <= recording.size(); ++at)
    if (std::equal(sound.begin(), sound.end(), recording.begin() + static_cast<std::ptrdiff_t>(at)))
      return at;
  return kNotFound;
}

// Where the recording first sounds, and how many samples of `sound` follow there unchanged: a
// sound cut short, or one that differs, shows how far it arrived.
inline std::pair<std::size_t, std::size_t> heard_from_start(
    const std::vector<std::int16_t>& recording, const std::vector<std::int16_t>& sound) {
  const std::size_t start = static_cast<std::size_t>(
      std::find_if(recording.begin(), recording.end(), [](std::int16_t s) { return s != 0; }) -
      recording.begin());
  std::size_t heard = 0;
  while (start + heard < recording.size() && heard < sound.size() &&
         recording[start + heard] == sound[heard])
    ++heard;
  return {start, heard};
}

// True when everything outside [at, at + length) is silence: only a leading and trailing
// silence differ from the rendered sound.
inline bool silent_outside(const std::vector<std::int16_t>& recording, std::size_t at,
                           std::size_t length) {
  for (std::size_t i = 0; i < recording.size(); ++i)
    if ((i < at || i >= at + length) && recording[i] != 0) return false;
  return true;
}

inline double cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

inline std::string quoted(const std::string& s) {
  return "'" + s + "'";
}

}  // namespace brisca::test
