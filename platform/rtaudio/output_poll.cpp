#include "platform/rtaudio/output_poll.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/core/event_poster.h"

namespace brisca::rtaudio {
namespace {

// The entries of `names` beyond as many as `others` holds of each.
std::vector<std::string> beyond(const std::vector<std::string>& names,
                                const std::vector<std::string>& others) {
  std::map<std::string, int> allowance;
  for (const std::string& name : others) ++allowance[name];
  std::vector<std::string> extra;
  for (const std::string& name : names)
    if (allowance[name]-- <= 0) extra.push_back(name);
  return extra;
}

class OutputPoll final : public DeviceWatch {
 public:
  OutputPoll(brisca::Clock& clock, DeviceWatchListener& listener,
             std::function<std::vector<std::string>()> list, std::chrono::milliseconds period)
      : poster_(clock, listener), list_(std::move(list)), period_(period), known_(list_()) {
    poller_ = std::thread([this] { run(); });
  }
  ~OutputPoll() override {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    poller_.join();
    poster_.stop();
  }

 private:
  void run() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, period_, [this] { return stopping_; })) {
      lock.unlock();
      std::vector<std::string> now = list_();
      for (DeviceEvent& event : output_changes(known_, now)) poster_.post(std::move(event));
      known_ = std::move(now);
      lock.lock();
    }
  }

  EventPoster poster_;
  std::function<std::vector<std::string>()> list_;
  std::chrono::milliseconds period_;
  std::vector<std::string> known_;  // the polling thread's, once it runs
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread poller_;
};

}  // namespace

std::vector<DeviceEvent> output_changes(const std::vector<std::string>& before,
                                        const std::vector<std::string>& after) {
  std::vector<DeviceEvent> events;
  for (std::string& name : beyond(before, after))
    events.push_back({DeviceChange::Removed, DeviceKind::AudioOut, std::move(name)});
  for (std::string& name : beyond(after, before))
    events.push_back({DeviceChange::Added, DeviceKind::AudioOut, std::move(name)});
  return events;
}

std::unique_ptr<DeviceWatch> poll_outputs(brisca::Clock& clock, DeviceWatchListener& listener,
                                          std::function<std::vector<std::string>()> list,
                                          std::chrono::milliseconds period) {
  return std::make_unique<OutputPoll>(clock, listener, std::move(list), period);
}

}  // namespace brisca::rtaudio
