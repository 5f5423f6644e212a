#include "import/prepare_queue.h"

#include <algorithm>
#include <cmath>

namespace brisca {

std::vector<std::int16_t> to_pcm16(const std::vector<float>& samples) {
  std::vector<std::int16_t> out(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double v = std::nearbyint(static_cast<double>(samples[i]) * 32768.0);
    out[i] = static_cast<std::int16_t>(std::clamp(std::isfinite(v) ? v : 0.0, -32768.0, 32767.0));
  }
  return out;
}

PrepareQueue::PrepareQueue(Done done) : done_(std::move(done)) {
  thread_ = std::thread([this] { work(); });
}

PrepareQueue::~PrepareQueue() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    waiting_.clear();
  }
  wake_.notify_all();
  thread_.join();
}

std::uint64_t PrepareQueue::request(int row, const std::string& audio,
                                    const ImportSettings& settings, Cause cause) {
  std::uint64_t number = 0;
  {
    std::lock_guard lock(mutex_);
    number = next_number_++;
    waiting_[row] = Request{number, cause, audio, settings};
  }
  wake_.notify_all();
  return number;
}

bool PrepareQueue::busy() const {
  std::lock_guard lock(mutex_);
  return making_ || !waiting_.empty();
}

const PrepareQueue::Source& PrepareQueue::source_for(const std::string& audio) {
  auto found = sources_.find(audio);
  if (found != sources_.end()) return found->second;
  Source source{read_import_source(audio), nullptr};
  if (source.input.ok()) {
    // A source the resampler refuses plays nothing.
    Result<std::vector<float>> original = original_at_top_rate(*source.input);
    source.original = std::make_shared<const std::vector<std::int16_t>>(
        to_pcm16(original ? *original : std::vector<float>{}));
  }
  return sources_.emplace(audio, std::move(source)).first->second;
}

// Worker thread: the oldest change first, then the oldest fill, so the row being edited does not
// wait behind a folder's rows and the rest fill in the order they were asked for.
void PrepareQueue::work() {
  for (;;) {
    int row = 0;
    Request job;
    {
      std::unique_lock lock(mutex_);
      making_ = false;
      wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
      if (stopping_) return;
      auto oldest = std::min_element(waiting_.begin(), waiting_.end(), [](auto& a, auto& b) {
        const bool a_first = a.second.cause == Cause::kChange;
        const bool b_first = b.second.cause == Cause::kChange;
        return a_first != b_first ? a_first : a.second.number < b.second.number;
      });
      row = oldest->first;
      job = std::move(oldest->second);
      waiting_.erase(oldest);
      making_ = true;
    }
    const Source& source = source_for(job.audio);
    RowSound result;
    result.row = row;
    result.request = job.number;
    result.sound = prepare_sound(job.audio, source.input, job.settings);
    result.original = source.original;
    done_(std::move(result));
  }
}

}  // namespace brisca
