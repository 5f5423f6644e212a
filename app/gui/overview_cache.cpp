#include "app/gui/overview_cache.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

namespace brisca {

OverviewCache::OverviewCache(QObject* parent) : QObject(parent) {
  // One worker below the machine's cores, so the window's thread keeps one to itself.
  pool_.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
  pool_.setThreadPriority(QThread::LowPriority);
}

OverviewCache::~OverviewCache() {
  waiting_.clear();
  sweep_.clear();
  pool_.clear();
  pool_.waitForDone();
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

void OverviewCache::start_next() {
  std::string path;
  while (static_cast<int>(running_.size()) < pool_.maxThreadCount() && next_path(path)) {
    running_.insert(path);
    pool_.start([this, path] {
      // Stamped before reading: a change while reading shows as a new stamp at the next look.
      const Stamp stamp = stamp_of(path);
      auto overview = std::make_shared<const SoundOverview>(compute_overview(path));
      QMetaObject::invokeMethod(
          this, [this, path, stamp, overview] { done(path, stamp, overview); },
          Qt::QueuedConnection);
    });
  }
}

void OverviewCache::done(const std::string& path, Stamp stamp,
                         std::shared_ptr<const SoundOverview> overview) {
  running_.erase(path);
  if (entries_.size() >= kMaxEntries) entries_.clear();
  entries_[path] = Entry{stamp, std::move(overview)};
  last_made_ = path;
  ++computed_;
  start_next();
  emit ready();
}

void OverviewCache::wait_idle() {
  while (!running_.empty() || !waiting_.empty() || !sweep_.empty()) {
    pool_.waitForDone();
    QCoreApplication::sendPostedEvents(this);
  }
}

}  // namespace brisca
