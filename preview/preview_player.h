// Preview playback: plays one sound file through the chosen wave output with two alternating
// buffers. Start preview stops what plays, opens the file and fills both buffers; each
// buffer-done report refills the finished buffer until the track runs out. The device's report
// is only posted onto the clock the player was given; all reading, decoding and
// submitting happens on the clock's thread.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/result.h"
#include "platform/api/devices.h"
#include "preview/block_source.h"

namespace brisca {

inline constexpr int kStopLimitMs = 1000;  // Stop waits this long for both buffers to be done

class PreviewPlayer : private WaveOutDeviceListener {
 public:
  PreviewPlayer(AudioService& service, Clock& clock);
  ~PreviewPlayer() override;
  PreviewPlayer(const PreviewPlayer&) = delete;
  PreviewPlayer& operator=(const PreviewPlayer&) = delete;

  // Opens entry `choice` of the audio-out table (system device choice - 1) with both buffers
  // marked done; what was open is closed first. Fails for choice 0 (none) and when the device
  // cannot be opened.
  Status open(int choice);
  // Stop, then close the device and free the buffers (and the sound file, if one is open).
  void close();
  // Resets the device and waits until both buffers are done, at most kStopLimitMs. Fails when
  // the reset fails or the time runs out.
  Status stop();

  // Plays directory + name from its start. Ignored while no device is open. A file that cannot
  // be opened (Io) or whose headers are bad (BadFile, with the text the user is shown) plays
  // nothing and fails.
  Status start_preview(const std::string& directory, const std::string& name);
  // Plays 44.1 kHz samples from sample `from` on, as start_preview plays a file: what plays is
  // stopped first, and played_samples() counts from `from`. Ignored while no device is open.
  void start_samples(std::shared_ptr<const std::vector<std::int16_t>> samples, std::size_t from);
  // Fills the first free buffer from the track (or the samples) and submits it (nothing when
  // they are out).
  void refill();
  // Forgets the sound file (closing it) without touching the device.
  void clear_state() {
    source_.reset();
    samples_.reset();
  }

  int device_choice() const { return choice_; }
  // True while a buffer is queued or a report of the device has not been handled yet: playback
  // may still go on.
  bool busy() const;
  // A write the device refused ended the last preview (the device is gone).
  bool device_failed() const { return write_failed_; }

  // Samples of the current preview played so far: those of the buffers the device has reported
  // done, plus the time since the playing buffer began (at most its length). Nothing once no
  // buffer of the preview is left playing.
  std::optional<std::uint64_t> played_samples(Clock::TimePoint now);
  std::optional<std::uint64_t> played_samples() { return played_samples(clock_.now()); }

 private:
  struct Buffer {
    std::unique_ptr<std::int16_t[]> samples;
    WaveHeader header;
  };
  Buffer* free_buffer();
  void submit(Buffer& buffer, int fill_bytes);
  void account_done_buffers(Clock::TimePoint now);
  // The device's thread: posts the report.
  void block_done(WaveHeader& header) override;
  // The device's report, on the clock's thread: a buffer done refills.
  void on_report();

  // A buffer handed to the device and the samples it holds, in the order they play.
  struct Handed {
    const Buffer* buffer;
    std::uint64_t samples;
  };

  AudioService& service_;
  Clock& clock_;
  std::unique_ptr<WaveOutDevice> device_;
  int choice_ = 0;
  std::array<Buffer, 2> buffers_;
  std::optional<BlockSource> source_;
  std::shared_ptr<const std::vector<std::int16_t>> samples_;  // played instead of a file
  std::size_t samples_at_ = 0;                                // the next sample to submit
  bool write_failed_ = false;
  std::atomic<int> unhandled_reports_{0};
  std::deque<Handed> handed_;
  std::uint64_t played_done_ = 0;  // samples of the buffers reported done
  Clock::TimePoint playing_since_{};
  // Posted reports hold it weakly: one that runs after the player has gone does nothing.
  std::shared_ptr<PreviewPlayer*> alive_ = std::make_shared<PreviewPlayer*>(this);
};

}  // namespace brisca
