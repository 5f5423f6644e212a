// Makes sounds in memory on a worker thread, one at a time, for a list of audio files whose
// settings change while the user looks at them: a newer request for a row replaces the one still
// waiting, a row the user has just changed goes ahead of the rows still waiting to be filled in,
// each file is read once, and every result carries the number of the request it answers so that
// an answer to a superseded request can be told apart and dropped.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "import/import_sound.h"

namespace brisca {

struct RowSound {
  int row = 0;
  std::uint64_t request = 0;  // the number request() returned
  Result<PreparedSound> sound = PreparedSound{};
  // The audio as read, mixed to mono, at 44.1 kHz in 16 bits (full scale 32768); empty when it
  // could not be read.
  std::shared_ptr<const std::vector<std::int16_t>> original;
};

class PrepareQueue {
 public:
  // Called on the worker thread with each result.
  using Done = std::function<void(RowSound result)>;
  explicit PrepareQueue(Done done);
  // Drops the requests still waiting and waits for the one being made.
  ~PrepareQueue();
  PrepareQueue(const PrepareQueue&) = delete;
  PrepareQueue& operator=(const PrepareQueue&) = delete;

  // Why a row is asked for: filling in the list, or a change the user made to the row. Changed
  // rows are made first (the oldest change first), then the rest in the order asked.
  enum class Cause { kFill, kChange };
  // Asks for the sound of `audio` with `settings` as row `row`; returns the request's number.
  std::uint64_t request(int row, const std::string& audio, const ImportSettings& settings,
                        Cause cause = Cause::kFill);
  // True while a request waits or is being made.
  bool busy() const;

 private:
  struct Request {
    std::uint64_t number = 0;
    Cause cause = Cause::kFill;
    std::string audio;
    ImportSettings settings;
  };
  struct Source {
    Result<AudioInput> input;
    std::shared_ptr<const std::vector<std::int16_t>> original;
  };
  void work();
  const Source& source_for(const std::string& audio);

  Done done_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::map<int, Request> waiting_;         // by row, guarded by mutex_
  std::uint64_t next_number_ = 1;          // guarded by mutex_
  bool making_ = false;                    // guarded by mutex_
  bool stopping_ = false;                  // guarded by mutex_
  std::map<std::string, Source> sources_;  // worker thread only
  std::thread thread_;
};

// Float samples (full scale 1.0) in 16 bits: rounded, held within -32768 .. 32767.
std::vector<std::int16_t> to_pcm16(const std::vector<float>& samples);

}  // namespace brisca
