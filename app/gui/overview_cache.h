// The overviews of the list's rows, computed on worker threads as rows are drawn and kept by
// path, size and modification time. A row asks while it is drawn; the newest asks are served
// first and old ones fall off the queue, so scrolling through a long list computes only the rows
// that stay in view. Behind them, at their own pace, a sweep computes the rest of the list, so
// that the longest sound (the overviews' time scale) is known. When an overview is ready the
// cache reports it and the list repaints.
#pragma once

#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "preview/overview.h"

namespace brisca {

class OverviewCache : public QObject {
  Q_OBJECT

 public:
  static constexpr std::size_t kMaxWaiting = 64;    // asks kept; older ones are dropped
  static constexpr std::size_t kMaxEntries = 4096;  // overviews kept before starting afresh

  explicit OverviewCache(QObject* parent = nullptr);
  // Drops the asks not yet taken and joins the workers (each finishes the file it reads).
  ~OverviewCache() override;

  // The overview of the file as it is now on disk, or nullptr while it is being computed (it is
  // then asked for). A file that is gone or changed since its overview was made is asked again.
  std::shared_ptr<const SoundOverview> find(const std::string& path);
  // The overview last made of the file, whatever the file is now (for tooltips and the cursor).
  std::shared_ptr<const SoundOverview> last(const std::string& path) const;
  // Computes the overviews of these files not yet made, whenever no row waits for one; replaces
  // the sweep before. A list of more than kMaxSweep files is not swept (the cache would not
  // hold it).
  static constexpr std::size_t kMaxSweep = kMaxEntries / 2;
  void sweep(std::vector<std::string> paths);

  // Waits for the computations under way (tests and tear-down).
  void wait_idle();
  int computed() const { return computed_; }
  // The file whose overview was made last (the one ready() tells of).
  const std::string& last_made() const { return last_made_; }

 signals:
  void ready();
  // From a worker: a result waits in results_ (taken in on the window's thread).
  void result_waiting();

 private:
  struct Stamp {
    std::int64_t size = -1;
    std::int64_t mtime_ns = 0;
    bool operator==(const Stamp&) const = default;
  };
  struct Entry {
    Stamp stamp;
    std::shared_ptr<const SoundOverview> overview;
  };
  struct Result {
    std::string path;
    Stamp stamp;
    std::shared_ptr<const SoundOverview> overview;
  };
  static Stamp stamp_of(const std::string& path);
  void ask(const std::string& path);
  void start_next();
  bool next_path(std::string& path);
  void work();
  void take_results();
  void done(Result result);

  // The window's thread only.
  std::unordered_map<std::string, Entry> entries_;
  std::deque<std::string> waiting_;  // newest first
  std::vector<std::string> sweep_;   // taken from the back
  std::unordered_set<std::string> running_;
  int computed_ = 0;
  std::string last_made_;
  int worker_count_ = 1;

  // Handed between the window's thread and the workers, guarded by mutex_.
  std::mutex mutex_;
  std::condition_variable job_ready_;     // a job was queued, or the cache is ending
  std::condition_variable result_ready_;  // a result was queued (wait_idle waits on it)
  std::deque<std::string> jobs_;
  std::deque<Result> results_;
  bool ending_ = false;
  std::vector<std::thread> workers_;  // started with the first ask
};

}  // namespace brisca
