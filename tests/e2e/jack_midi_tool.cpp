// A JACK MIDI helper for the end-to-end tests of `briscatool send` and `briscatool monitor`:
//
//   jack_midi_tool receive CLIENT RECORD   records every event on CLIENT:in as a line
//                                          "frame hex hex ..." until SIGTERM / SIGINT
//   jack_midi_tool send CLIENT HEX,HEX...  waits for CLIENT:out to be connected, then writes
//                                          each comma-separated message in its own cycle
//   jack_midi_tool check RECORD RATE FILE...
//                                          compares the record with the files' System
//                                          Exclusive messages in 200-byte chunks, one event per
//                                          chunk; prints the spacing of the chunks
//   jack_midi_tool arrived RECORD FILE...
//                                          compares the System Exclusive messages in the
//                                          record, however they were split into events, with
//                                          the files' messages; prints how many arrived whole
//   jack_midi_tool make-sysex PATH LEN...  a sound file of messages of these lengths
//   jack_midi_tool make-sound PATH BLOCKS [NAME]
//                                          a sound file of a header and BLOCKS - 1 data blocks
//   jack_midi_tool play CLIENT GAP_MS ITEM...
//                                          as a module dumps sounds: once CLIENT:out is
//                                          connected, writes every System Exclusive message of
//                                          each ITEM whole, one per cycle, GAP_MS apart; an ITEM
//                                          FILE@K leaves out message K (from 0) of FILE;
//                                          prints "sent N" once N messages are out
//   jack_midi_tool messages FILE           prints the file's System Exclusive messages, one a line
//   jack_midi_tool thru CLIENT             passes every event from CLIENT:in to CLIENT:out
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "soundfile/sound_writer.h"
#include "soundfile/track_reader.h"

namespace {

using brisca::Bytes;

struct Record {
  std::uint64_t frame = 0;
  std::uint32_t size = 0;
  std::array<std::uint8_t, 1024> bytes{};
};

// One writer (the process callback), one reader (the main thread).
struct Ring {
  static constexpr std::size_t kSize = 4096;
  std::vector<Record> records = std::vector<Record>(kSize);
  std::atomic<std::size_t> head{0}, tail{0};
  std::atomic<std::uint64_t> lost{0};
};

std::atomic<bool> g_stop{false};
void on_signal(int) {
  g_stop = true;
}

struct Client {
  jack_client_t* client = nullptr;
  jack_port_t* port = nullptr;
  Ring ring;
  std::vector<Bytes> to_send;
  std::atomic<std::size_t> next_to_send{0};
  std::atomic<bool> sending{false};
};

int receive_process(jack_nframes_t frames, void* arg) {
  auto* c = static_cast<Client*>(arg);
  void* buffer = jack_port_get_buffer(c->port, frames);
  const jack_nframes_t base = jack_last_frame_time(c->client);
  const std::uint32_t count = jack_midi_get_event_count(buffer);
  for (std::uint32_t i = 0; i < count; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, buffer, i) != 0) continue;
    const std::size_t head = c->ring.head.load(std::memory_order_relaxed);
    if (head - c->ring.tail.load(std::memory_order_acquire) >= Ring::kSize) {
      ++c->ring.lost;
      continue;
    }
    Record& r = c->ring.records[head % Ring::kSize];
    r.frame = base + event.time;
    r.size = static_cast<std::uint32_t>(std::min(event.size, r.bytes.size()));
    std::memcpy(r.bytes.data(), event.buffer, r.size);
    if (event.size > r.bytes.size()) ++c->ring.lost;
    c->ring.head.store(head + 1, std::memory_order_release);
  }
  return 0;
}

int send_process(jack_nframes_t frames, void* arg) {
  auto* c = static_cast<Client*>(arg);
  void* buffer = jack_port_get_buffer(c->port, frames);
  jack_midi_clear_buffer(buffer);
  if (!c->sending.load(std::memory_order_acquire)) return 0;
  const std::size_t next = c->next_to_send.load(std::memory_order_relaxed);
  if (next >= c->to_send.size()) return 0;
  const Bytes& m = c->to_send[next];
  if (jack_midi_event_write(buffer, 0, m.data(), m.size()) == 0)
    c->next_to_send.store(next + 1, std::memory_order_release);
  return 0;
}

bool open_client(Client& c, const char* name, bool input, JackProcessCallback process) {
  jack_status_t status;
  c.client = jack_client_open(name, JackNoStartServer, &status);
  if (c.client == nullptr) {
    std::cerr << "jack_midi_tool: no JACK server (status " << status << ")\n";
    return false;
  }
  c.port = jack_port_register(c.client, input ? "in" : "out", JACK_DEFAULT_MIDI_TYPE,
                              input ? JackPortIsInput : JackPortIsOutput, 0);
  jack_set_process_callback(c.client, process, &c);
  return c.port != nullptr && jack_activate(c.client) == 0;
}

void write_records(Client& c, std::ostream& out) {
  std::size_t tail = c.ring.tail.load(std::memory_order_relaxed);
  const std::size_t head = c.ring.head.load(std::memory_order_acquire);
  for (; tail != head; ++tail) {
    const Record& r = c.ring.records[tail % Ring::kSize];
    out << r.frame;
    char hex[4];
    for (std::uint32_t i = 0; i < r.size; ++i) {
      std::snprintf(hex, sizeof hex, " %02x", r.bytes[i]);
      out << hex;
    }
    out << '\n';
  }
  c.ring.tail.store(tail, std::memory_order_release);
  out.flush();
}

int receive(const char* name, const char* path) {
  std::ofstream out(path);
  Client c;
  if (!out || !open_client(c, name, true, receive_process)) return 1;
  std::signal(SIGTERM, on_signal);
  std::signal(SIGINT, on_signal);
  while (!g_stop) {
    write_records(c, out);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  write_records(c, out);
  jack_client_close(c.client);
  if (c.ring.lost != 0) std::cerr << "jack_midi_tool: " << c.ring.lost << " events lost\n";
  return c.ring.lost == 0 ? 0 : 1;
}

Bytes parse_hex(const std::string& text) {
  Bytes bytes;
  std::istringstream in(text);
  std::string cell;
  while (in >> cell) bytes.push_back(static_cast<std::uint8_t>(std::stoul(cell, nullptr, 16)));
  return bytes;
}

int send_all(const char* name, Client& c, int gap_ms);

int send(const char* name, int count, char** messages) {
  Client c;
  for (int i = 0; i < count; ++i) {
    std::string m = messages[i];
    std::replace(m.begin(), m.end(), ',', ' ');
    c.to_send.push_back(parse_hex(m));
  }
  return send_all(name, c, 0);
}

// Writes c.to_send, one message a cycle, at least gap_ms apart.
int send_all(const char* name, Client& c, int gap_ms) {
  if (!open_client(c, name, false, send_process)) return 1;
  for (int i = 0; i < 3000 && jack_port_connected(c.port) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (jack_port_connected(c.port) == 0) {
    std::cerr << "jack_midi_tool: nobody connected to " << name << ":out\n";
    jack_client_close(c.client);
    return 1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (gap_ms <= 0) {
    c.sending = true;
    while (c.next_to_send.load() < c.to_send.size())
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  for (std::size_t i = 0; gap_ms > 0 && i < c.to_send.size(); ++i) {
    c.sending = true;
    while (c.next_to_send.load() <= i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    c.sending = false;
    std::printf("sent %zu\n", i + 1);
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(gap_ms));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  jack_client_close(c.client);
  return 0;
}

int main_check(int argc, char** argv);
int arrived(int argc, char** argv);
int make_sysex(const char* path, int count, char** lengths);
int make_sound(const char* path, int blocks, const char* name);
int play(const char* name, int gap_ms, int count, char** items);
int print_messages(const char* path);
int thru(const char* name);

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "receive" && argc == 4) return receive(argv[2], argv[3]);
  if (mode == "send" && argc >= 4) return send(argv[2], argc - 3, argv + 3);
  if (mode == "check" && argc >= 5) return main_check(argc - 2, argv + 2);
  if (mode == "arrived" && argc >= 4) return arrived(argc - 2, argv + 2);
  if (mode == "make-sysex" && argc >= 4) return make_sysex(argv[2], argc - 3, argv + 3);
  if (mode == "make-sound" && (argc == 4 || argc == 5))
    return make_sound(argv[2], std::atoi(argv[3]), argc == 5 ? argv[4] : "Pace Test");
  if (mode == "play" && argc >= 5) return play(argv[2], std::atoi(argv[3]), argc - 4, argv + 4);
  if (mode == "messages" && argc == 3) return print_messages(argv[2]);
  if (mode == "thru" && argc == 3) return thru(argv[2]);
  std::cerr << "usage: jack_midi_tool "
               "receive|send|check|arrived|make-sysex|make-sound|play|messages|thru "
               "...\n";
  return 2;
}

namespace {

struct Event {
  std::uint64_t frame;
  Bytes bytes;
};

std::vector<Event> read_record(const char* path) {
  std::vector<Event> events;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    Event e{};
    fields >> e.frame;
    std::string rest;
    std::getline(fields, rest);
    e.bytes = parse_hex(rest);
    events.push_back(std::move(e));
  }
  return events;
}

std::vector<Bytes> sysex_messages(const char* path) {
  std::vector<Bytes> messages;
  auto track = brisca::TrackReader::open(path);
  if (!track) {
    std::cerr << path << ": not a sound file\n";
    return messages;
  }
  brisca::MidiEvent event;
  while (track->next(event))
    if (event.is_sysex_with_data())
      messages.emplace_back(event.data.get(), event.data.get() + event.length);
  return messages;
}

int play(const char* name, int gap_ms, int count, char** items) {
  Client c;
  for (int i = 0; i < count; ++i) {
    std::string item = items[i];
    long drop = -1;
    if (const auto at = item.rfind('@'); at != std::string::npos) {
      drop = std::atol(item.c_str() + at + 1);
      item.resize(at);
    }
    const std::vector<Bytes> messages = sysex_messages(item.c_str());
    if (messages.empty()) return 1;
    for (std::size_t k = 0; k < messages.size(); ++k)
      if (static_cast<long>(k) != drop) c.to_send.push_back(messages[k]);
  }
  return send_all(name, c, gap_ms);
}

int print_messages(const char* path) {
  const std::vector<Bytes> messages = sysex_messages(path);
  for (const Bytes& m : messages) {
    for (std::size_t i = 0; i < m.size(); ++i) std::printf(i ? " %02x" : "%02x", m[i]);
    std::printf("\n");
  }
  return messages.empty() ? 1 : 0;
}

struct Thru {
  jack_client_t* client = nullptr;
  jack_port_t* in = nullptr;
  jack_port_t* out = nullptr;
};

int thru_process(jack_nframes_t frames, void* arg) {
  auto* t = static_cast<Thru*>(arg);
  void* in = jack_port_get_buffer(t->in, frames);
  void* out = jack_port_get_buffer(t->out, frames);
  jack_midi_clear_buffer(out);
  const std::uint32_t count = jack_midi_get_event_count(in);
  for (std::uint32_t i = 0; i < count; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, in, i) == 0)
      jack_midi_event_write(out, event.time, event.buffer, event.size);
  }
  return 0;
}

int thru(const char* name) {
  Thru t;
  t.client = jack_client_open(name, JackNoStartServer, nullptr);
  if (t.client == nullptr) return 1;
  t.in = jack_port_register(t.client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  t.out = jack_port_register(t.client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  jack_set_process_callback(t.client, thru_process, &t);
  if (t.in == nullptr || t.out == nullptr || jack_activate(t.client) != 0) return 1;
  std::signal(SIGTERM, on_signal);
  std::signal(SIGINT, on_signal);
  while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  jack_client_close(t.client);
  return 0;
}

// The files' messages split as the down-load splits them.
std::vector<Bytes> expected_chunks(int count, char** files, std::uint32_t chunk_bytes) {
  std::vector<Bytes> chunks;
  for (int f = 0; f < count; ++f) {
    auto track = brisca::TrackReader::open(files[f]);
    if (!track) {
      std::cerr << files[f] << ": not a sound file\n";
      continue;
    }
    brisca::MidiEvent event;
    while (track->next(event)) {
      if (!event.is_sysex_with_data()) continue;
      for (std::uint32_t at = 0; at < event.length; at += chunk_bytes) {
        const std::uint32_t end = std::min(event.length, at + chunk_bytes);
        chunks.emplace_back(event.data.get() + at, event.data.get() + end);
      }
    }
  }
  return chunks;
}

void report_spacing(const std::vector<Event>& events, double rate, double interval_ms) {
  if (events.size() < 3) return;
  std::vector<double> gaps;  // the first gap also holds the open report's tick
  for (std::size_t i = 2; i < events.size(); ++i)
    gaps.push_back(double(events[i].frame - events[i - 1].frame) * 1000.0 / rate);
  std::sort(gaps.begin(), gaps.end());
  double sum = 0;
  for (double g : gaps) sum += g;
  std::printf("spacing: %zu gaps, mean %.2f ms, min %.2f, median %.2f, max %.2f (target %.0f)\n",
              gaps.size(), sum / double(gaps.size()), gaps.front(), gaps[gaps.size() / 2],
              gaps.back(), interval_ms);
  const double span = double(events.back().frame - events.front().frame) / rate;
  std::size_t bytes = 0;
  for (const Event& e : events) bytes += e.bytes.size();
  std::printf(
      "span: first to last chunk %.3f s for %zu chunks (%.4f of chunks x %.0f ms), "
      "%.0f bytes/s\n",
      span, events.size(), span / (interval_ms / 1000.0 * double(events.size() - 1)), interval_ms,
      double(bytes - events.back().bytes.size()) / span);
}

// RECORD RATE [--pace CHUNK INTERVAL] FILES...: the pace the files were sent at (200 70).
int main_check(int argc, char** argv) {
  const std::vector<Event> events = read_record(argv[0]);
  const double rate = std::atof(argv[1]);
  int first_file = 2;
  std::uint32_t chunk_bytes = 200;
  double interval_ms = 70;
  if (argc >= 5 && std::string(argv[2]) == "--pace") {
    chunk_bytes = static_cast<std::uint32_t>(std::max(1, std::atoi(argv[3])));
    interval_ms = std::atof(argv[4]);
    first_file = 5;
  }
  const std::vector<Bytes> chunks =
      expected_chunks(argc - first_file, argv + first_file, chunk_bytes);
  int bad = 0;
  for (std::size_t i = 0; i < std::max(events.size(), chunks.size()) && bad < 5; ++i) {
    if (i < events.size() && i < chunks.size() && events[i].bytes == chunks[i]) continue;
    std::printf("chunk %zu differs: got %zu bytes, expected %zu\n", i,
                i < events.size() ? events[i].bytes.size() : 0,
                i < chunks.size() ? chunks[i].size() : 0);
    ++bad;
  }
  std::printf("%zu chunks received, %zu expected, %s\n", events.size(), chunks.size(),
              bad == 0 ? "all equal" : "MISMATCH");
  report_spacing(events, rate, interval_ms);
  return bad == 0 ? 0 : 1;
}

// The record's System Exclusive messages: from an F0 to its F7, or to the status byte that cut
// it short. Real-time bytes are taken out wherever they are.
std::vector<Bytes> received_messages(const std::vector<Event>& events) {
  std::vector<Bytes> messages;
  bool inside = false;
  for (const Event& e : events) {
    for (std::uint8_t byte : e.bytes) {
      if (byte >= 0xF8) continue;
      if (byte >= 0x80 && byte != 0xF7) inside = false;
      if (byte == 0xF0) {
        messages.emplace_back();
        inside = true;
      }
      if (!inside) continue;
      messages.back().push_back(byte);
      if (byte == 0xF7) inside = false;
    }
  }
  return messages;
}

int arrived(int argc, char** argv) {
  const std::vector<Bytes> got = received_messages(read_record(argv[0]));
  std::vector<Bytes> expected;
  for (int f = 1; f < argc; ++f) {
    const std::vector<Bytes> messages = sysex_messages(argv[f]);
    expected.insert(expected.end(), messages.begin(), messages.end());
  }
  // Each message received whole is one of the expected, in order; the rest are damaged.
  std::size_t next = 0, whole = 0;
  for (const Bytes& m : got) {
    for (std::size_t k = next; k < expected.size(); ++k) {
      if (expected[k] != m) continue;
      ++whole;
      next = k + 1;
      break;
    }
  }
  std::printf("%zu of %zu messages arrived whole, %zu damaged, %zu lost\n", whole, expected.size(),
              got.size() - whole, expected.size() - std::min(expected.size(), got.size()));
  return whole == expected.size() && got.size() == expected.size() ? 0 : 1;
}

int make_sysex(const char* path, int count, char** lengths) {
  std::vector<Bytes> messages;
  for (int i = 0; i < count; ++i) {
    Bytes m(static_cast<std::size_t>(std::atoi(lengths[i])));
    if (m.size() < 2) return 2;
    for (std::size_t k = 0; k < m.size(); ++k) m[k] = static_cast<std::uint8_t>((k * 5 + i) & 0x7F);
    m.front() = 0xF0;
    m.back() = 0xF7;
    messages.push_back(std::move(m));
  }
  return brisca::write_file(path, brisca::make_smf0(messages)) ? 0 : 1;
}

int make_sound(const char* path, int blocks, const char* name) {
  if (blocks < 1) return 2;
  std::vector<Bytes> messages{brisca::make_header_block(name, "DRUM", blocks)};
  for (int b = 1; b < blocks; ++b) {
    brisca::UnpackedBlock data{};
    for (std::size_t k = 0; k < data.size(); ++k) data[k] = static_cast<std::uint8_t>(k * b);
    messages.push_back(brisca::make_block(static_cast<std::uint16_t>(b), data));
  }
  return brisca::write_file(path, brisca::make_smf0(messages)) ? 0 : 1;
}

}  // namespace
