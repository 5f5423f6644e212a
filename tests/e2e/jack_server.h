// Points libjack at a test server: the one of the test run (started by the jack_server fixture)
// or a private one that a test starts, and may kill, itself. Both come from scripts/jack-server,
// whose DIR/jack.env holds the variables a client needs.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/e2e/keep_failures.h"

namespace brisca::test {

inline std::string env_or(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : fallback;
}

// Sets the variables of DIR/jack.env in this process. False when the file is missing.
inline bool use_jack_server(const std::string& dir) {
  keep_on_failure(dir);
  std::ifstream env(dir + "/jack.env");
  if (!env) return false;
  std::string line;
  while (std::getline(env, line)) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) setenv(line.substr(0, eq).c_str(), line.substr(eq + 1).c_str(), 1);
  }
  return true;
}

inline std::string fixture_server_dir() {
  return env_or("BRISCA_BUILD_DIR", ".") + "/servers";
}

class PrivateJackServer {
 public:
  explicit PrivateJackServer(std::string dir) : dir_(std::move(dir)) {
    keep_on_failure(dir_);  // its log, and what a failed start printed there
    started_ = run("start") && use_jack_server(dir_);
  }
  ~PrivateJackServer() { run("stop"); }
  PrivateJackServer(const PrivateJackServer&) = delete;
  PrivateJackServer& operator=(const PrivateJackServer&) = delete;

  bool started() const { return started_; }
  pid_t pid() const {
    std::ifstream file(dir_ + "/jack.pid");
    pid_t pid = 0;
    file >> pid;
    return pid;
  }
  bool kill_with(int signal) const { return pid() > 0 && ::kill(pid(), signal) == 0; }

 private:
  bool run(const char* action) const {
    const std::string command = "bash '" + env_or("BRISCA_SOURCE_DIR", ".") +
                                "/scripts/jack-server' " + action + " '" + dir_ + "'";
    return std::system(command.c_str()) == 0;
  }

  std::string dir_;
  bool started_ = false;
};

}  // namespace brisca::test
