// The far end of an audio test: a JACK client of the test's own with one audio input port that
// records what arrives, and a PulseAudio monitor recording made with parec. Both give 16-bit
// samples, so they compare with what the program rendered.
#pragma once

#include <jack/jack.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace brisca::test {

class JackCapture {
 public:
  // `channels` input ports, "in_1", "in_2", ... (one port is just "in"): a mono or stereo output.
  explicit JackCapture(const std::string& name, int channels = 1, double seconds = 60.0)
      : buffers_(static_cast<std::size_t>(channels),
                 std::vector<float>(static_cast<std::size_t>(seconds * 44100))) {
    client_ = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
    if (client_ == nullptr) return;
    for (int i = 1; i <= channels; ++i) {
      const std::string port = channels == 1 ? "in" : "in_" + std::to_string(i);
      ports_.push_back(
          jack_port_register(client_, port.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0));
      if (ports_.back() == nullptr) {
        close();
        return;
      }
    }
    jack_set_process_callback(client_, on_process, this);
    if (jack_activate(client_) != 0) close();
  }
  ~JackCapture() { close(); }
  JackCapture(const JackCapture&) = delete;
  JackCapture& operator=(const JackCapture&) = delete;

  bool ok() const { return client_ != nullptr; }
  std::size_t frames() const { return count_.load(std::memory_order_acquire); }
  // What arrived so far on one channel, as 16-bit samples (16-bit samples are played as floats
  // of full scale 32768).
  std::vector<std::int16_t> samples(std::size_t channel = 0) const {
    std::vector<std::int16_t> out(frames());
    for (std::size_t i = 0; i < out.size(); ++i) {
      const long s = std::lround(buffers_[channel][i] * 32768.0f);
      out[i] = static_cast<std::int16_t>(std::clamp(s, -32768L, 32767L));
    }
    return out;
  }
  void close() {
    if (client_ == nullptr) return;
    jack_deactivate(client_);
    jack_client_close(client_);
    client_ = nullptr;
  }

 private:
  static int on_process(jack_nframes_t frames, void* self) {
    auto* c = static_cast<JackCapture*>(self);
    const std::size_t at = c->count_.load(std::memory_order_relaxed);
    const std::size_t n = std::min<std::size_t>(frames, c->buffers_[0].size() - at);
    for (std::size_t ch = 0; ch < c->ports_.size(); ++ch) {
      const auto* in = static_cast<const float*>(jack_port_get_buffer(c->ports_[ch], frames));
      std::copy(in, in + n, c->buffers_[ch].begin() + static_cast<std::ptrdiff_t>(at));
    }
    c->count_.store(at + n, std::memory_order_release);
    return 0;
  }

  jack_client_t* client_ = nullptr;
  std::vector<jack_port_t*> ports_;
  std::vector<std::vector<float>> buffers_;
  std::atomic<std::size_t> count_{0};
};

// Records the monitor of the test server's null sink into a raw file while alive.
class PulseCapture {
 public:
  explicit PulseCapture(std::string file) : file_(std::move(file)) {
    std::vector<std::string> args{
        "parec",        "-d",           "vsink.monitor", "--format=s16le",
        "--rate=44100", "--channels=1", "--raw",         "--latency-msec=20",
        file_};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, "parec", nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
  }
  ~PulseCapture() { stop(); }
  bool ok() const { return pid_ > 0; }
  // Waits until the server lists the recording stream (parec connects in well under a second;
  // a busy machine may take longer, 30 s is a hang).
  bool wait_recording() const {
    for (int i = 0; i < 600; ++i) {
      if (std::system("pactl list short source-outputs 2>/dev/null | grep -q .") == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  // Waits until `seconds` more of sound were written from now, so what was played just before
  // is in the file however late the recorder runs; gives up after 30 s (a hang), leaving the
  // judgment to what the file holds.
  void wait_recorded(double seconds) const {
    const auto target = bytes_written() + static_cast<std::uintmax_t>(seconds * 44100) * 2;
    for (int i = 0; i < 3000 && bytes_written() < target; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::vector<std::int16_t> stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGINT);
      int status = 0;
      waitpid(pid_, &status, 0);
      pid_ = -1;
    }
    std::ifstream in(file_, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
      samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                             (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
    return samples;
  }

 private:
  std::uintmax_t bytes_written() const {
    std::error_code error;
    const auto size = std::filesystem::file_size(file_, error);
    return error ? 0 : size;
  }

  std::string file_;
  pid_t pid_ = -1;
};

}  // namespace brisca::test
