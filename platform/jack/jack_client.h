// A JACK client of our own with one MIDI port, connected to one port of another client. It never
// starts a server, and it tells its handler when the server goes away.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace brisca {

class JackHandler {
 public:
  virtual ~JackHandler() = default;
  // The server's real-time thread, once per period: must not block, lock or allocate.
  virtual void process(jack_nframes_t frames) = 0;
  // The server has shut down or dropped the client; called once, on a libjack thread.
  virtual void server_lost() = 0;
};

class JackMidiClient {
 public:
  enum class Direction { Out, In };

  // Opens the client and registers the port; not yet running. Null when no server is up.
  static std::unique_ptr<JackMidiClient> open(const std::string& client_name, Direction direction,
                                              JackHandler& handler);
  ~JackMidiClient();
  JackMidiClient(const JackMidiClient&) = delete;
  JackMidiClient& operator=(const JackMidiClient&) = delete;

  // Starts processing and connects our port with `peer` (a full port name); a refusal while the
  // peer's port is listed is tried again for a few seconds. False on failure.
  bool activate_and_connect(const std::string& peer);
  // Stops processing and leaves the server; after it the handler is never called again. Safe
  // after the server is gone. A server that does not answer holds the caller for a bounded
  // time only (see close_bounded): the client then leaves on a thread of its own.
  void close();

  jack_client_t* client() const { return client_; }
  jack_port_t* port() const { return port_; }

 private:
  JackMidiClient(jack_client_t* client, Direction direction, JackHandler& handler);
  // What libjack's threads call through: the handler until close() begins, and after that only
  // an empty output buffer, as a client given up on keeps running until it has left.
  struct Gate {
    std::atomic<JackHandler*> handler;
    std::atomic<int> inside{0};  // callbacks running now
    jack_port_t* out_port = nullptr;
  };
  static int on_process(jack_nframes_t frames, void* gate);
  static void on_shutdown(jack_status_t code, const char* reason, void* gate);

  jack_client_t* client_;
  jack_port_t* port_ = nullptr;
  Direction direction_;
  std::shared_ptr<Gate> gate_;
};

// Silences libjack's messages on stderr ("Cannot connect to server socket" when no server runs);
// failures are reported through results instead.
void quiet_jack_messages();

// Full names of the JACK MIDI ports we can send to (`for_output`) or receive from, in the
// server's order. Empty when no server runs (one connection attempt) or none answers in time.
std::vector<std::string> jack_midi_ports(bool for_output);

}  // namespace brisca
