#include "pace/pace.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace brisca {
namespace {

// "nothing faster than 200-byte chunks every 70 ms is offered"
std::string not_offered() {
  return "nothing faster than " + std::to_string(Pace::kMaxChunkBytes) + "-byte chunks every " +
         std::to_string(Pace::kMinIntervalMs) + " ms is offered";
}

// A whole number of at most nine digits, the whole of `text`.
std::optional<int> whole_number(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

}  // namespace

double Pace::bytes_per_second() const {
  return interval_ms > 0 ? chunk_bytes * 1000.0 / interval_ms : 0.0;
}

std::string chunk_problem(long long chunk_bytes) {
  if (chunk_bytes > Pace::kMaxChunkBytes)
    return "a chunk of " + std::to_string(chunk_bytes) + " bytes is larger than " +
           std::to_string(Pace::kMaxChunkBytes) + ": " + not_offered();
  if (chunk_bytes < Pace::kMinChunkBytes)
    return "a chunk must hold 1 to " + std::to_string(Pace::kMaxChunkBytes) + " bytes, not " +
           std::to_string(chunk_bytes);
  return {};
}

std::string interval_problem(long long interval_ms) {
  if (interval_ms < Pace::kMinIntervalMs)
    return "an interval of " + std::to_string(interval_ms) + " ms is shorter than " +
           std::to_string(Pace::kMinIntervalMs) + " ms: " + not_offered();
  if (interval_ms > Pace::kMaxIntervalMs)
    return "an interval of " + std::to_string(interval_ms) + " ms is longer than the " +
           std::to_string(Pace::kMaxIntervalMs) + " ms offered";
  return {};
}

std::string file_gap_problem(long long file_gap_ms) {
  if (file_gap_ms < 0 || file_gap_ms > Pace::kMaxFileGapMs)
    return "a pause between files must be 0 to " + std::to_string(Pace::kMaxFileGapMs) +
           " ms, not " + std::to_string(file_gap_ms);
  return {};
}

std::string pace_problem(const Pace& pace) {
  for (std::string problem : {chunk_problem(pace.chunk_bytes), interval_problem(pace.interval_ms),
                              file_gap_problem(pace.file_gap_ms)})
    if (!problem.empty()) return problem;
  return {};
}

std::string pace_text(const Pace& pace) {
  std::string text = std::to_string(pace.chunk_bytes) + "-byte chunks every " +
                     std::to_string(pace.interval_ms) + " ms, ";
  if (pace.file_gap_ms == 0) return text + "no pause between files";
  return text + std::to_string(pace.file_gap_ms) + " ms between files";
}

std::string pace_to_setting(const Pace& pace) {
  return "chunk " + std::to_string(pace.chunk_bytes) + " interval " +
         std::to_string(pace.interval_ms) + " gap " + std::to_string(pace.file_gap_ms);
}

std::optional<Pace> pace_from_setting(std::string_view text) {
  // Six words: the three names, each followed by its number.
  std::vector<std::string_view> words;
  while (!text.empty() && words.size() <= 6) {
    const std::size_t space = text.find(' ');
    words.push_back(text.substr(0, space));
    text = space == std::string_view::npos ? std::string_view{} : text.substr(space + 1);
  }
  if (words.size() != 6 || words[0] != "chunk" || words[2] != "interval" || words[4] != "gap")
    return std::nullopt;
  const auto chunk = whole_number(words[1]);
  const auto interval = whole_number(words[3]);
  const auto gap = whole_number(words[5]);
  if (!chunk || !interval || !gap) return std::nullopt;
  const Pace pace{*chunk, *interval, *gap};
  if (!pace_problem(pace).empty()) return std::nullopt;
  return pace;
}

std::uint64_t chunk_count(std::uint64_t length, int chunk_bytes) {
  const auto size = static_cast<std::uint64_t>(std::max(chunk_bytes, 1));
  return (length + size - 1) / size;
}

void MessageLengths::add(std::uint32_t length) {
  ++messages_;
  if (!runs_.empty() && runs_.back().first == length) {
    ++runs_.back().second;
    return;
  }
  runs_.emplace_back(length, 1);
}

std::uint64_t MessageLengths::chunks(int chunk_bytes) const {
  std::uint64_t total = 0;
  for (const auto& [length, count] : runs_) total += chunk_count(length, chunk_bytes) * count;
  return total;
}

std::int64_t download_ms(std::uint64_t chunks, const Pace& pace) {
  const auto interval = static_cast<std::uint64_t>(std::max(pace.interval_ms, 0));
  const std::uint64_t limit =
      std::numeric_limits<std::int64_t>::max() / std::max<std::uint64_t>(interval, 1);
  return static_cast<std::int64_t>(std::min(chunks, limit) * interval);
}

std::int64_t download_ms(const MessageLengths& messages, const Pace& pace) {
  return download_ms(messages.chunks(pace.chunk_bytes), pace);
}

}  // namespace brisca
