#include "preview/preview_player.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "preview/decoder.h"
#include "soundfile/midi_reader.h"
#include "soundfile/track_reader.h"

namespace brisca {
namespace {

std::string join_path(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory.back() == '/') return directory + name;
  return directory + '/' + name;
}

bool is_done(const WaveHeader& header) {
  return (load_flags(header.flags) & HDR_DONE) != 0;
}

}  // namespace

PreviewPlayer::PreviewPlayer(AudioService& service, Clock& clock)
    : service_(service), clock_(clock) {}

PreviewPlayer::~PreviewPlayer() {
  close();
}

Status PreviewPlayer::open(int choice) {
  if (device_) close();
  if (choice <= 0) return make_error(ErrorCode::InvalidArgument, "no audio output chosen");
  for (Buffer& b : buffers_) {
    b.samples = std::make_unique<std::int16_t[]>(kPreviewBufferBytes / 2);
    b.header = WaveHeader{reinterpret_cast<std::uint8_t*>(b.samples.get()), 0, HDR_DONE};
  }
  device_ = service_.open_output(choice - 1, *this);
  if (!device_) {
    for (Buffer& b : buffers_) b = Buffer{};
    return make_error(ErrorCode::DeviceFailed, "cannot be opened");
  }
  choice_ = choice;
  return {};
}

// The device's own thread hands the buffers back: this waits on the real time, whatever the
// clock, as nothing else runs meanwhile.
Status PreviewPlayer::stop() {
  if (!device_) return {};
  const bool reset = device_->reset().ok();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopLimitMs);
  while (!(is_done(buffers_[0].header) && is_done(buffers_[1].header))) {
    if (std::chrono::steady_clock::now() >= deadline)
      return make_error(ErrorCode::DeviceFailed, "did not hand its buffers back");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (!reset) return make_error(ErrorCode::DeviceFailed, "refused to stop");
  return {};
}

void PreviewPlayer::close() {
  if (!device_) return;
  (void)stop();
  (void)device_->close();
  device_.reset();
  for (Buffer& b : buffers_) b = Buffer{};
  clear_state();
  handed_.clear();
  choice_ = 0;
}

Status PreviewPlayer::start_preview(const std::string& directory, const std::string& name) {
  if (!device_) return {};
  (void)stop();  // a failure is not acted upon: the new file is opened anyway
  clear_state();
  write_failed_ = false;
  handed_.clear();
  played_done_ = 0;
  const std::string path = join_path(directory, name);
  Result<TrackReader> track = TrackReader::open(path);
  if (!track) return track.error();
  source_.emplace(std::move(*track));
  refill();
  refill();
  return {};
}

void PreviewPlayer::start_samples(std::shared_ptr<const std::vector<std::int16_t>> samples,
                                  std::size_t from) {
  if (!device_) return;
  (void)stop();
  clear_state();
  write_failed_ = false;
  handed_.clear();
  played_done_ = 0;
  if (!samples) return;
  samples_at_ = std::min(from, samples->size());
  samples_ = std::move(samples);
  refill();
  refill();
}

PreviewPlayer::Buffer* PreviewPlayer::free_buffer() {
  for (Buffer& b : buffers_) {
    const std::uint32_t flags = load_flags(b.header.flags);
    if ((flags & HDR_PREPARED) != 0 && (flags & HDR_DONE) != 0)
      (void)device_->unprepare_header(b.header);
    if ((load_flags(b.header.flags) & HDR_PREPARED) == 0) return &b;
  }
  return nullptr;
}

void PreviewPlayer::refill() {
  if (!device_) return;
  Buffer* buffer = free_buffer();
  if (buffer == nullptr) return;
  if (samples_) {
    const std::size_t count = std::min(kPreviewBufferBytes / 2, samples_->size() - samples_at_);
    std::copy_n(samples_->data() + samples_at_, count, buffer->samples.get());
    samples_at_ += count;
    if (count > 0) submit(*buffer, static_cast<int>(count * 2));
    return;
  }
  if (!source_) return;
  const int fill = source_->fill(buffer->samples.get(), kPreviewBufferBytes);
  if (fill > 0) submit(*buffer, fill);
}

void PreviewPlayer::submit(Buffer& buffer, int fill_bytes) {
  WaveHeader& header = buffer.header;
  header.buffer_length = static_cast<std::uint32_t>(fill_bytes);
  store_flags(header.flags, 0);
  Status result = device_->prepare_header(header);
  if (result) result = device_->write(header);
  if (result) {
    if (handed_.empty()) playing_since_ = clock_.now();
    handed_.push_back({&buffer, static_cast<std::uint64_t>(fill_bytes) / 2});
    return;
  }
  // The device refused the buffer (it is gone): leave the buffer free and done, so that the next
  // Stop does not wait for it, and end this preview.
  (void)device_->unprepare_header(header);
  store_flags(header.flags, HDR_DONE);
  clear_state();
  write_failed_ = true;
}

void PreviewPlayer::block_done(WaveHeader&) {
  unhandled_reports_.fetch_add(1, std::memory_order_relaxed);
  clock_.post([alive = std::weak_ptr<PreviewPlayer*>(alive_)] {
    if (const auto player = alive.lock()) (*player)->on_report();
  });
}

void PreviewPlayer::on_report() {
  unhandled_reports_.fetch_sub(1, std::memory_order_relaxed);
  account_done_buffers(clock_.now());
  refill();
}

// Buffers are judged by their done flag rather than by the reports, so that reports left over
// from a stopped preview count for nothing.
void PreviewPlayer::account_done_buffers(Clock::TimePoint now) {
  while (!handed_.empty() && is_done(handed_.front().buffer->header)) {
    played_done_ += handed_.front().samples;
    handed_.pop_front();
    playing_since_ = now;
  }
}

std::optional<std::uint64_t> PreviewPlayer::played_samples(Clock::TimePoint now) {
  if (!device_) return std::nullopt;
  account_done_buffers(now);
  if (handed_.empty()) return std::nullopt;
  const double seconds = std::chrono::duration<double>(now - playing_since_).count();
  const auto into = static_cast<std::uint64_t>(std::max(0.0, seconds) * kOutputRate);
  return played_done_ + std::min(into, handed_.front().samples);
}

bool PreviewPlayer::busy() const {
  if (unhandled_reports_.load(std::memory_order_relaxed) > 0) return true;
  if (!device_) return false;
  for (const Buffer& b : buffers_)
    if ((load_flags(b.header.flags) & HDR_PREPARED) != 0 && !is_done(b.header)) return true;
  return false;
}

}  // namespace brisca
