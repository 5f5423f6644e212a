#include "app/gui/overview_cache.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QThread>
#include <algorithm>

namespace brisca {

OverviewCache::OverviewCache(QObject* parent) : QObject(parent) {
  // One worker below the machine's cores, so the window's thread keeps one to itself.
  worker_count_ = std::max(1, QThread::idealThreadCount() - 1);
  connect(this, &OverviewCache::result_waiting, this, &OverviewCache::take_results,
          Qt::QueuedConnection);
}

OverviewCache::~OverviewCache() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
    jobs_.clear();
  }
  job_ready_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

OverviewCache::Stamp OverviewCache::stamp_of(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return {static_cast<std::int64_t>(st.st_size),
          static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::shared_ptr<const SoundOverview> OverviewCache::find(const std::string& path) {
  const Stamp now = stamp_of(path);
  auto it = entries_.find(path);
  if (it != entries_.end() && it->second.stamp == now) return it->second.overview;
  ask(path);
  return nullptr;
}

std::shared_ptr<const SoundOverview> OverviewCache::last(const std::string& path) const {
  auto it = entries_.find(path);
  return it != entries_.end() ? it->second.overview : nullptr;
}

void OverviewCache::ask(const std::string& path) {
  if (running_.count(path) != 0) return;
  auto it = std::find(waiting_.begin(), waiting_.end(), path);
  if (it != waiting_.end()) waiting_.erase(it);
  waiting_.push_front(path);
  if (waiting_.size() > kMaxWaiting) waiting_.pop_back();
  start_next();
}

void OverviewCache::sweep(std::vector<std::string> paths) {
  sweep_.clear();
  if (paths.size() > kMaxSweep) return;
  std::reverse(paths.begin(), paths.end());  // the top of the list first
  sweep_ = std::move(paths);
  start_next();
}

// The next file to compute: a row's ask first, else the next of the sweep not yet made.
bool OverviewCache::next_path(std::string& path) {
  if (!waiting_.empty()) {
    path = std::move(waiting_.front());
    waiting_.pop_front();
    return true;
  }
  while (!sweep_.empty()) {
    path = std::move(sweep_.back());
    sweep_.pop_back();
    if (entries_.count(path) == 0 && running_.count(path) == 0) return true;
  }
  return false;
}

// Hands the next files to the workers (a row's ask first, then the sweep), no more at a time than
// there are workers, so the asks left waiting can still be overtaken by newer ones.
void OverviewCache::start_next() {
  if (workers_.empty())
    for (int i = 0; i < worker_count_; ++i) workers_.emplace_back([this] { work(); });
  bool queued = false;
  {
    std::lock_guard lock(mutex_);
    std::string path;
    while (static_cast<int>(running_.size()) < worker_count_ && next_path(path)) {
      running_.insert(path);
      jobs_.push_back(std::move(path));
      queued = true;
    }
  }
  if (queued) job_ready_.notify_all();
}

// A worker: reads one asked file at a time, at a lower priority than the window, and queues the
// overview for the window's thread.
void OverviewCache::work() {
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
  for (;;) {
    std::string path;
    {
      std::unique_lock lock(mutex_);
      job_ready_.wait(lock, [this] { return ending_ || !jobs_.empty(); });
      if (ending_) return;
      path = std::move(jobs_.front());
      jobs_.pop_front();
    }
    // Stamped before reading: a change while reading shows as a new stamp at the next look.
    const Stamp stamp = stamp_of(path);
    auto overview = std::make_shared<const SoundOverview>(compute_overview(path));
    {
      std::lock_guard lock(mutex_);
      results_.push_back({std::move(path), stamp, std::move(overview)});
    }
    result_ready_.notify_all();
    emit result_waiting();
  }
}

void OverviewCache::take_results() {
  for (;;) {
    Result result;
    {
      std::lock_guard lock(mutex_);
      if (results_.empty()) return;
      result = std::move(results_.front());
      results_.pop_front();
    }
    done(std::move(result));
  }
}

void OverviewCache::done(Result result) {
  running_.erase(result.path);
  if (entries_.size() >= kMaxEntries) entries_.clear();
  entries_[result.path] = Entry{result.stamp, std::move(result.overview)};
  last_made_ = result.path;
  ++computed_;
  start_next();
  emit ready();
}

void OverviewCache::wait_idle() {
  start_next();
  while (!running_.empty()) {
    {
      std::unique_lock lock(mutex_);
      result_ready_.wait(lock, [this] { return !results_.empty(); });
    }
    take_results();  // each result starts the next file
  }
}

}  // namespace brisca
