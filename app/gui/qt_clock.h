// The window's clock: calls run from the Qt event loop of the thread the clock lives on, and
// posted tasks are queued onto that loop from any thread.
#pragma once

#include <QObject>
#include <unordered_map>

#include "common/clock.h"

class QTimer;

namespace brisca {

class QtClock final : public QObject, public Clock {
 public:
  explicit QtClock(QObject* parent = nullptr) : QObject(parent) {}

  TimePoint now() const override { return std::chrono::steady_clock::now(); }
  TimerId call_after(Duration delay, Task task) override;
  TimerId call_every(Duration period, Task task) override;
  void cancel(TimerId id) override;
  void post(Task task) override;

 private:
  TimerId add(Duration delay, bool repeat, Task task);

  std::unordered_map<TimerId, QTimer*> timers_;
  TimerId last_id_ = 0;
};

}  // namespace brisca
