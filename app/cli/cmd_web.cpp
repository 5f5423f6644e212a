// briscatool web [--port N] [--root DIR]: serves the web edition's page (the same core as
// WebAssembly, with MIDI through the browser's WebMIDI) on 127.0.0.1 and prints its address.
// WebMIDI needs a secure context, which http://127.0.0.1 is; nothing is served to other hosts.
#include <httplib.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <system_error>

#include "app/cli/cli.h"

namespace brisca::cli {
namespace {

namespace fs = std::filesystem;

// The built page: beside the source tree's build while developing, or where the package
// installs it.
std::string default_root() {
  std::error_code ec;
  for (const char* dir : {BRISCA_WEB_BUILT_PAGE, BRISCA_WEB_INSTALLED_PAGE})
    if (fs::is_regular_file(fs::path(dir) / "index.html", ec)) return dir;
  return BRISCA_WEB_BUILT_PAGE;
}

}  // namespace

int cmd_web(const Args& args, Streams io) {
  int port = 8580;
  std::string root = default_root();
  auto app = make_command("web",
                          "Serves the web edition's page on 127.0.0.1 and prints its address; "
                          "open it in Chrome, Edge or Opera (Firefox with a site-permission "
                          "add-on) and allow MIDI to send and receive. Ctrl+C ends it.");
  app->add_option("--port", port, "the port (default 8580; 0 takes any free port)")
      ->type_name("N")
      ->check(CLI::Range(0, 65535));
  app->add_option("--root", root, "the folder of the built page (web/dist/page)")->type_name("DIR");
  if (const int status = parse_command(*app, args, io); status >= 0) return status;
  std::error_code ec;
  if (!fs::is_regular_file(fs::path(root) / "index.html", ec)) {
    io.err << root << ": holds no built page (index.html); build it with bash web/build.sh\n";
    return kFailed;
  }
  httplib::Server server;
  server.set_file_extension_and_mimetype_mapping("wasm", "application/wasm");
  server.set_file_extension_and_mimetype_mapping("mjs", "text/javascript");
  server.set_file_extension_and_mimetype_mapping("js", "text/javascript");
  if (!server.set_mount_point("/", root)) {
    io.err << root << ": cannot be served\n";
    return kFailed;
  }
  const int bound = port == 0 ? server.bind_to_any_port("127.0.0.1")
                              : (server.bind_to_port("127.0.0.1", port) ? port : -1);
  if (bound < 0) {
    io.err << "briscatool web: port " << port << " on 127.0.0.1 is taken; try --port 0\n";
    return kFailed;
  }
  io.out << "BriscaTool's page: http://127.0.0.1:" << bound << "/\n" << std::flush;
  return server.listen_after_bind() ? kOk : kFailed;
}

}  // namespace brisca::cli
