// briscatool info [--json] PATH...: the block count of each sound file as the list shows it,
// the header's name and type, the duration of its decoded samples and whether it is whole. A
// playlist PATH stands for the sounds it lists, in its order.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>

#include "app/cli/cli.h"
#include "app/cli/json.h"
#include "app/cli/number_text.h"
#include "app/cli/playlist_args.h"
#include "preview/overview.h"
#include "soundfile/block_count.h"
#include "soundlist/kit.h"

namespace brisca::cli {
namespace {

namespace fs = std::filesystem;

struct FileInfo {
  std::string path, file;
  BlockCount count;
  SoundOverview overview;  // duration and wholeness
};

// Reads one file; prints its error and returns nothing when it cannot be read.
std::optional<FileInfo> read_info(const std::string& path, std::ostream& err) {
  std::string file(file_name_of(path));
  auto track = TrackReader::open(path);
  if (!track && track.code() == ErrorCode::BadFile) {
    err << file << ": " << track.message() << '\n';
    return std::nullopt;
  }
  if (!track) {
    err << path << ": cannot be opened (" << unopened_file_reason(path) << ")" << '\n';
    return std::nullopt;
  }
  BlockCount count = count_blocks(*track);
  return FileInfo{path, file, std::move(count), compute_overview(path)};
}

void print_line(std::ostream& out, const FileInfo& info) {
  out << info.file << "   [" << info.count.blocks << "]";
  if (info.count.has_header)
    out << "   name \"" << info.count.name << "\", type \"" << info.count.type << "\"";
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "   %.2f s", info.overview.seconds());
  out << seconds;
  if (!info.overview.complete) out << "   incomplete: " << info.overview.problem;
  out << '\n';
}

void print_json(std::ostream& out, const std::vector<FileInfo>& infos) {
  out << "[";
  for (std::size_t i = 0; i < infos.size(); ++i) {
    const FileInfo& f = infos[i];
    out << (i ? ",\n " : "\n ") << "{\"path\": " << json_string(f.path)
        << ", \"file\": " << json_string(f.file) << ", \"blocks\": " << f.count.blocks
        << ", \"name\": " << (f.count.has_header ? json_string(f.count.name) : "null")
        << ", \"type\": " << (f.count.has_header ? json_string(f.count.type) : "null")
        << ", \"seconds\": " << shortest_text(f.overview.seconds())
        << ", \"complete\": " << (f.overview.complete ? "true" : "false") << "}";
  }
  out << (infos.empty() ? "]\n" : "\n]\n");
}

}  // namespace

int cmd_info(const Args& args, Streams io) {
  bool json = false;
  std::vector<std::string> paths;
  auto app = make_command("info",
                          "Prints each sound file's block count, as the list shows it, its "
                          "header's name and type, the duration of its sound and whether it "
                          "holds every block its header promises.");
  app->add_flag("--json", json, "print a JSON array, one object per file");
  app->add_option("PATH", paths,
                  "a sound file, a folder (its files, not sub-folders) or a playlist (.m3u: its "
                  "sounds, in order)")
      ->required()
      ->type_name("");
  if (const int status = parse_command(*app, args, io); status >= 0) return status;
  std::vector<FileInfo> infos;
  const ExpandedPaths expanded = expand_playlists(paths, io.err, "listed");
  bool failed = expanded.failed;
  for (const std::string& path : expanded.paths) {
    std::error_code ec;
    std::vector<std::string> files{path};
    if (fs::is_directory(path, ec)) files = folder_file_paths(path, ec);
    if (ec) {
      io.err << path << ": cannot be read (" << ec.message() << ")\n";
      failed = true;
      continue;
    }
    for (const std::string& file : files) {
      auto info = read_info(file, io.err);
      if (!info) {
        failed = true;
        continue;
      }
      if (!json) print_line(io.out, *info);
      infos.push_back(std::move(*info));
    }
  }
  if (json) print_json(io.out, infos);
  return failed ? kFailed : kOk;
}

}  // namespace brisca::cli
