// Keeps a file holding what `jack_lsp -c` prints (each port, then each port connected to it
// indented by three spaces), taken every 20 ms by one client that stays open, until SIGTERM or
// until the server goes (the file is then left empty, as jack_lsp prints nothing then).
//
//   jack_port_lister FILE
//
// The end-to-end scripts wait for ports through it rather than by starting jack_lsp every 50 ms.
// Each jack_lsp adds a client to the server and removes it. With clients coming and going that
// fast on a busy machine, a program opening a second client of its own (the window's MIDI out
// after its MIDI in) was seen to have that client woken by the server but never run: libjack kept
// its thread waiting for its first cycle, a synchronous server waited ten times its client
// timeout each cycle, and the program crashed inside libjack when it closed the client.
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace {

std::atomic<bool> g_stop{false};
std::atomic<bool> g_server_gone{false};
void on_signal(int) {
  g_stop = true;
}
void on_shutdown(void*) {
  g_server_gone = true;
  g_stop = true;
}

std::string snapshot(jack_client_t* client) {
  std::string text;
  const char** ports = jack_get_ports(client, nullptr, nullptr, 0);
  if (ports == nullptr) return text;
  for (const char** name = ports; *name != nullptr; ++name) {
    text.append(*name).push_back('\n');
    jack_port_t* port = jack_port_by_name(client, *name);
    if (port == nullptr) continue;
    if (const char** peers = jack_port_get_all_connections(client, port)) {
      for (const char** peer = peers; *peer != nullptr; ++peer)
        text.append("   ").append(*peer).push_back('\n');
      jack_free(peers);
    }
  }
  jack_free(ports);
  return text;
}

// Readers see the previous list or the new one, never half of one.
bool write_whole(const std::string& path, const std::string& text) {
  const std::string partial = path + ".partial";
  {
    std::ofstream out(partial, std::ios::trunc);
    out << text;
    if (!out.flush()) return false;
  }
  return std::rename(partial.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: jack_port_lister FILE\n", stderr);
    return 2;
  }
  const std::string path = argv[1];
  std::signal(SIGTERM, on_signal);
  std::signal(SIGINT, on_signal);
  jack_status_t status{};
  // Never activated: a client outside the graph takes no part in the server's cycles.
  jack_client_t* client = jack_client_open("e2e ports", JackNoStartServer, &status);
  if (client == nullptr) {
    write_whole(path, "");
    return 1;
  }
  jack_on_shutdown(client, on_shutdown, nullptr);
  std::string shown;
  bool written = false;
  while (!g_stop) {
    std::string now = snapshot(client);
    if (!written || now != shown) {
      if (!write_whole(path, now)) return 1;
      shown = std::move(now);
      written = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (g_server_gone) {
    write_whole(path, "");
    return 0;
  }
  jack_client_close(client);
  return 0;
}
