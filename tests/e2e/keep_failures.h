// Keeps what a failed end-to-end test saw: the folders it worked in (its files, the logs of the
// servers it started) and the logs of the servers it used, copied to
// BUILD/e2e-failures/PROGRAM.SUITE.TEST-DATE-PID, which no later run overwrites; the path is
// printed. Folders noted outside a test (a suite's set-up) count for each test of the program.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>  // program_invocation_short_name
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace brisca::test {

class KeepFailures : public ::testing::EmptyTestEventListener {
 public:
  static KeepFailures& instance() {
    static KeepFailures* keeper = [] {
      auto* created = new KeepFailures;  // the listener list owns it
      ::testing::UnitTest::GetInstance()->listeners().Append(created);
      return created;
    }();
    return *keeper;
  }

  // A folder to keep should the running test (or, outside a test, any test) fail.
  void note(const std::string& dir) {
    auto& list = ::testing::UnitTest::GetInstance()->current_test_info() ? test_ : program_;
    for (const std::string& known : list)
      if (known == dir) return;
    list.push_back(dir);
  }

  // Where a failed test's folders go.
  static std::string kept_dir(const ::testing::TestInfo& info) {
    const char* build = std::getenv("BRISCA_BUILD_DIR");
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%Y%m%d-%H%M%S", &local);
    std::string name = std::string(program_invocation_short_name) + "." + info.test_suite_name() +
                       "." + info.name();
    for (char& c : name)
      if (c == '/') c = '_';
    return std::string(build != nullptr ? build : ".") + "/e2e-failures/" + name + "-" + date +
           "-" + std::to_string(::getpid());
  }

 private:
  void OnTestStart(const ::testing::TestInfo&) override { test_.clear(); }

  void OnTestEnd(const ::testing::TestInfo& info) override {
    if (info.result() == nullptr || !info.result()->Failed()) return;
    namespace fs = std::filesystem;
    const std::string kept = kept_dir(info);
    std::error_code error;
    fs::create_directories(kept, error);
    for (const auto* list : {&program_, &test_})
      for (const std::string& dir : *list)
        copy_folder(dir, fs::path(kept) / fs::path(dir).filename());
    std::fprintf(stderr, "%s.%s failed; what it saw is kept in %s\n", info.test_suite_name(),
                 info.name(), kept.c_str());
  }

  // Folders and regular files only (a socket or a pipe cannot be copied); what cannot be copied
  // is named, and the rest is still copied.
  static void copy_folder(const std::filesystem::path& from, const std::filesystem::path& to) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_directories(to, error);
    for (fs::recursive_directory_iterator it(from, error), end; !error && it != end;
         it.increment(error)) {
      const fs::path target = to / fs::relative(it->path(), from);
      std::error_code failed;
      if (it->is_directory(failed))
        fs::create_directories(target, failed);
      else if (it->is_regular_file(failed))
        fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, failed);
      if (failed)
        std::fprintf(stderr, "could not keep %s: %s\n", it->path().c_str(),
                     failed.message().c_str());
    }
  }

  KeepFailures() = default;
  std::vector<std::string> program_, test_;
};

// Notes a folder to keep should the running test fail.
inline void keep_on_failure(const std::string& dir) {
  KeepFailures::instance().note(dir);
}

// In place before the first test, whether or not a folder is noted.
inline const bool kKeepFailuresListening = (KeepFailures::instance(), true);

}  // namespace brisca::test
