// A MIDI interface for the end-to-end tests, as a JACK client with CLIENT:in and CLIENT:out:
//
//   slow_midi_interface CLIENT [--buffer BYTES] [--rate BYTES_PER_S] [--flip-every BYTES]
//                              [--flip-limit N] [--seed N] [--status PATH]
//
// It passes MIDI on as a USB adapter does: the host hands it bytes far faster than the MIDI wire
// takes them; they wait in a buffer of --buffer bytes (default 256), and what arrives while the
// buffer is full is dropped. The wire takes them at --rate bytes a second (default 3125, the
// MIDI wire's 31 250 bit/s at 10 bits a byte; a slower rate models a poor adapter). With
// --flip-every N one bit of a byte on the wire is flipped, on average once in N bytes, at
// places drawn from --seed (default 1), so a run can be repeated; --flip-limit N stops after N
// flips (a burst of interference that passes).
//
// Time is the wall clock as the server estimates it for each cycle (jack_get_cycle_times), since
// a real interface drains in real time. The dummy driver's frame clock is no measure of it on a
// busy machine: there it falls behind (70 ms ticks of the sender were 62 ms of frames apart on
// average under a load of 14 on two cores), which would make the host look faster than it is.
//
// With --status it keeps PATH up to date with one line "passed P dropped D flipped F idle I": the
// bytes passed on, dropped and flipped so far, and the cycles in a row that found the buffer
// empty and nothing arriving (a test waits for a few before it looks at the far end).
//
// On SIGTERM or SIGINT it prints what it passed on, dropped and flipped to stderr and exits.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> g_stop{false};
void on_signal(int) {
  g_stop = true;
}

struct Options {
  std::size_t buffer = 256;
  double rate = 3125;
  double flip_every = 0;  // 0: no flips
  std::uint64_t flip_limit = ~std::uint64_t{0};
  std::uint64_t seed = 1;
  std::string status;
};

// Bytes of the wire grouped into the events a MIDI input expects: a short message whole (running
// status written out, as USB MIDI does), a real-time byte on its own, a System Exclusive message
// in pieces of what the wire carried in one cycle.
class Framer {
 public:
  Framer() { group_.reserve(4096); }
  void add(std::uint8_t byte, jack_nframes_t at, void* out) {
    if (byte >= 0xF8) {
      jack_midi_event_write(out, at, &byte, 1);
    } else if (byte == 0xF0) {
      group_.assign(1, byte);  // a short message left unfinished is dropped
      sysex_ = true;
    } else if (byte == 0xF7) {
      if (sysex_) {
        group_.push_back(byte);
        write(at, out);
      }
      sysex_ = false;
    } else if (byte >= 0x80) {
      if (sysex_) write(at, out);  // the message cut short, as it came
      sysex_ = false;
      group_.assign(1, byte);
      running_ = byte < 0xF0 ? byte : 0;
      need_ = short_length(byte);
      if (need_ == 1) write(at, out);
    } else if (sysex_ || !group_.empty()) {
      group_.push_back(byte);
      if (!sysex_ && group_.size() == need_) write(at, out);
    } else if (running_ != 0) {
      group_ = {running_, byte};
      need_ = short_length(running_);
      if (group_.size() == need_) write(at, out);
    }  // else a stray data byte, which no adapter passes on
  }
  // The end of a cycle: the System Exclusive bytes so far go as one piece.
  void end_cycle(jack_nframes_t at, void* out) {
    if (sysex_ && !group_.empty()) write(at, out);
  }

 private:
  static std::size_t short_length(std::uint8_t status) {
    if (status >= 0xF0) return status == 0xF2 ? 3 : (status == 0xF1 || status == 0xF3) ? 2 : 1;
    const std::uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
  }
  void write(jack_nframes_t at, void* out) {
    jack_midi_event_write(out, at, group_.data(), group_.size());
    group_.clear();
  }

  std::vector<std::uint8_t> group_;
  bool sysex_ = false;
  std::uint8_t running_ = 0;
  std::size_t need_ = 0;
};

struct Interface {
  Options options;
  jack_client_t* client = nullptr;
  jack_port_t* in = nullptr;
  jack_port_t* out = nullptr;
  double us_per_byte = 0;  // the wire's time for one byte, in microseconds
  double us_per_frame = 0;

  // The process thread only.
  std::vector<std::uint8_t> ring;  // the adapter's buffer
  std::size_t head = 0, count = 0;
  double wire_done = 0;  // when the wire finishes the byte it carries (microseconds)
  std::uint64_t random = 0;
  Framer framer;

  std::atomic<std::uint64_t> passed{0}, dropped{0}, flipped{0}, idle{0};

  // xorshift64*: the same flips for the same seed.
  double next_uniform() {
    random ^= random >> 12;
    random ^= random << 25;
    random ^= random >> 27;
    return double((random * 0x2545F4914F6CDD1DULL) >> 11) / double(1ULL << 53);
  }

  void take(const std::uint8_t* data, std::size_t size, double at) {
    if (count == 0 && wire_done < at) wire_done = at;  // the wire was idle
    for (std::size_t i = 0; i < size; ++i) {
      if (count == ring.size()) {
        dropped.fetch_add(size - i, std::memory_order_relaxed);
        return;
      }
      ring[(head + count) % ring.size()] = data[i];
      ++count;
    }
  }

  // Puts on the wire every byte that finishes before `until`.
  void drain(double until, double cycle_start, jack_nframes_t frames, void* buffer) {
    while (count > 0 && wire_done + us_per_byte <= until) {
      wire_done += us_per_byte;
      std::uint8_t byte = ring[head];
      head = (head + 1) % ring.size();
      --count;
      if (options.flip_every > 0 && flipped.load(std::memory_order_relaxed) < options.flip_limit &&
          next_uniform() * options.flip_every < 1.0) {
        byte ^= static_cast<std::uint8_t>(1u << static_cast<unsigned>(next_uniform() * 8));
        flipped.fetch_add(1, std::memory_order_relaxed);
      }
      passed.fetch_add(1, std::memory_order_relaxed);
      const double offset = (wire_done - cycle_start) / us_per_frame;
      const auto at = static_cast<jack_nframes_t>(offset < 0 ? 0 : offset);
      framer.add(byte, at < frames ? at : frames - 1, buffer);
    }
    if (count == 0 && wire_done < until) wire_done = until;
  }
};

int process(jack_nframes_t frames, void* arg) {
  auto* s = static_cast<Interface*>(arg);
  void* in = jack_port_get_buffer(s->in, frames);
  void* out = jack_port_get_buffer(s->out, frames);
  jack_midi_clear_buffer(out);
  // The server's estimate of when this cycle began, which follows the wall clock but not the
  // lateness of a single wake-up.
  jack_nframes_t frame = 0;
  jack_time_t now = 0, next = 0;
  float period = 0;
  double start = double(jack_get_time());
  if (jack_get_cycle_times(s->client, &frame, &now, &next, &period) == 0) start = double(now);
  const std::uint32_t events = jack_midi_get_event_count(in);
  for (std::uint32_t i = 0; i < events; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, in, i) != 0) continue;
    const double at = start + event.time * s->us_per_frame;
    s->drain(at, start, frames, out);
    s->take(event.buffer, event.size, at);
  }
  s->drain(start + frames * s->us_per_frame, start, frames, out);
  s->framer.end_cycle(frames - 1, out);
  if (events == 0 && s->count == 0) {
    s->idle.fetch_add(1, std::memory_order_relaxed);
  } else {
    s->idle.store(0, std::memory_order_relaxed);
  }
  return 0;
}

bool parse(int argc, char** argv, Options& o) {
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const double value = std::atof(argv[i + 1]);
    if (name == "--buffer" && value >= 1) {
      o.buffer = static_cast<std::size_t>(value);
    } else if (name == "--rate" && value > 0) {
      o.rate = value;
    } else if (name == "--flip-every" && value >= 0) {
      o.flip_every = value;
    } else if (name == "--flip-limit" && value >= 0) {
      o.flip_limit = static_cast<std::uint64_t>(value);
    } else if (name == "--status") {
      o.status = argv[i + 1];
    } else if (name == "--seed") {
      o.seed = std::strtoull(argv[i + 1], nullptr, 10);
    } else {
      return false;
    }
  }
  return argc % 2 == 0;
}

std::string status_line(const Interface& s) {
  return "passed " + std::to_string(s.passed.load()) + " dropped " +
         std::to_string(s.dropped.load()) + " flipped " + std::to_string(s.flipped.load()) +
         " idle " + std::to_string(s.idle.load()) + "\n";
}

// Written whole under another name and moved over, so a reader never sees half a line.
void write_status(const Interface& s) {
  if (s.options.status.empty()) return;
  const std::string part = s.options.status + ".part";
  if (FILE* f = std::fopen(part.c_str(), "w")) {
    const std::string line = status_line(s);
    std::fputs(line.c_str(), f);
    std::fclose(f);
    std::rename(part.c_str(), s.options.status.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  Interface s;
  if (argc < 2 || !parse(argc, argv, s.options)) {
    std::fprintf(stderr,
                 "usage: slow_midi_interface CLIENT [--buffer BYTES] [--rate BYTES_PER_S] "
                 "[--flip-every BYTES] [--flip-limit N] [--seed N] [--status PATH]\n");
    return 2;
  }
  s.ring.resize(s.options.buffer);
  s.random = s.options.seed * 0x9E3779B97F4A7C15ULL + 1;
  s.client = jack_client_open(argv[1], JackNoStartServer, nullptr);
  if (s.client == nullptr) {
    std::fprintf(stderr, "slow_midi_interface: no JACK server\n");
    return 1;
  }
  s.us_per_byte = 1e6 / s.options.rate;
  s.us_per_frame = 1e6 / double(jack_get_sample_rate(s.client));
  s.in = jack_port_register(s.client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  s.out = jack_port_register(s.client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  jack_set_process_callback(s.client, process, &s);
  if (s.in == nullptr || s.out == nullptr || jack_activate(s.client) != 0) return 1;
  std::signal(SIGTERM, on_signal);
  std::signal(SIGINT, on_signal);
  while (!g_stop) {
    write_status(s);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  jack_client_close(s.client);
  std::fprintf(stderr, "slow_midi_interface %s: %s", argv[1], status_line(s).c_str());
  return 0;
}
