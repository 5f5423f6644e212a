// The far end of a JACK MIDI test: a client of the test's own with one MIDI port that records
// every event it receives, or sends the events it is given, one JACK event each.
#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace brisca::test {

using Bytes = std::vector<std::uint8_t>;

class JackPeer {
 public:
  enum class Role { Receive, Send };

  JackPeer(const std::string& name, Role role) : role_(role) {
    client_ = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
    if (client_ == nullptr) return;
    port_.store(register_port());
    jack_set_process_callback(client_, on_process, this);
    if (port_.load() == nullptr || jack_activate(client_) != 0) close();
  }
  ~JackPeer() { close(); }
  JackPeer(const JackPeer&) = delete;
  JackPeer& operator=(const JackPeer&) = delete;

  bool ok() const { return client_ != nullptr; }
  std::string port_name() const { return jack_port_name(port_.load()); }
  // The port goes while the client stays, as a bridge's port goes when its interface is pulled
  // out; plug() registers it again under its name. The port is unregistered once a cycle that
  // began after it was taken from the cycle has ended.
  bool unplug() {
    jack_port_t* port = port_.exchange(nullptr);
    if (port == nullptr) return false;
    std::unique_lock lock(mutex_);
    const std::uint64_t after = cycles_ + 2;
    if (!changed_.wait_for(lock, std::chrono::seconds(30), [&] { return cycles_ >= after; }))
      return false;
    lock.unlock();
    return jack_port_unregister(client_, port) == 0;
  }
  bool plug() {
    if (port_.load() != nullptr) return false;
    port_.store(register_port());
    return port_.load() != nullptr;
  }
  void close() {
    if (client_ != nullptr) jack_client_close(client_);
    client_ = nullptr;
  }

  // Receiving side.
  std::vector<Bytes> events() const {
    std::lock_guard lock(mutex_);
    return received_;
  }
  bool wait_events(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return received_.size() >= n; });
  }

  // Sending side: each piece goes out as one event; pieces in one call share a cycle.
  void send(std::vector<Bytes> pieces) {
    std::lock_guard lock(mutex_);
    to_send_.push_back(std::move(pieces));
  }
  bool wait_sent(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return to_send_.empty(); });
  }
  // Until the port's process cycle sees a connection: a connection just made reaches the cycle
  // some cycles later on a busy server, and events sent before that go nowhere.
  bool wait_connected(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return connected_; });
  }

 private:
  static int on_process(jack_nframes_t frames, void* self) {
    static_cast<JackPeer*>(self)->process(frames);
    return 0;
  }
  jack_port_t* register_port() {
    const bool in = role_ == Role::Receive;
    return jack_port_register(client_, in ? "in" : "out", JACK_DEFAULT_MIDI_TYPE,
                              in ? JackPortIsInput : JackPortIsOutput, 0);
  }
  // Test code: the lock is held only for moments on the test's side, so the cycle may take it.
  void process(jack_nframes_t frames) {
    jack_port_t* port = port_.load();
    if (port == nullptr) {
      std::unique_lock lock(mutex_);
      ++cycles_;
      lock.unlock();
      changed_.notify_all();
      return;
    }
    void* buffer = jack_port_get_buffer(port, frames);
    const bool connected = jack_port_connected(port) > 0;
    std::unique_lock lock(mutex_);
    ++cycles_;
    const bool seen = connected != connected_;
    connected_ = connected;
    if (role_ == Role::Send) {
      jack_midi_clear_buffer(buffer);
      if (to_send_.empty()) {
        lock.unlock();
        if (seen) changed_.notify_all();
        return;
      }
      for (const Bytes& piece : to_send_.front())
        jack_midi_event_write(buffer, 0, piece.data(), piece.size());
      to_send_.pop_front();
    } else {
      const jack_nframes_t count = jack_midi_get_event_count(buffer);
      for (jack_nframes_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) == 0)
          received_.emplace_back(event.buffer, event.buffer + event.size);
      }
    }
    lock.unlock();
    changed_.notify_all();
  }

  Role role_;
  jack_client_t* client_ = nullptr;
  std::atomic<jack_port_t*> port_{nullptr};  // null while unplugged
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Bytes> received_;
  std::deque<std::vector<Bytes>> to_send_;
  bool connected_ = false;  // as the last cycle saw the port
  std::uint64_t cycles_ = 0;
};

}  // namespace brisca::test
