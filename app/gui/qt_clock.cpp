#include "app/gui/qt_clock.h"

#include <QMetaObject>
#include <QTimer>

namespace brisca {

Clock::TimerId QtClock::add(Duration delay, bool repeat, Task task) {
  const TimerId id = ++last_id_;
  auto* timer = new QTimer(this);
  timer->setSingleShot(true);
  timer->setTimerType(Qt::PreciseTimer);
  timers_.emplace(id, timer);
  QObject::connect(timer, &QTimer::timeout, this,
                   [this, id, timer, repeat, task = std::move(task)] {
                     if (repeat) {
                       // Re-armed before the task runs: the next run comes a whole period after
                       // this one, however late this one was.
                       timer->start();
                       task();
                       return;
                     }
                     const Task once = task;  // the timer and this lambda go with cancel()
                     cancel(id);
                     once();
                   });
  timer->start(static_cast<int>(std::max<Duration::rep>(0, delay.count())));
  return id;
}

Clock::TimerId QtClock::call_after(Duration delay, Task task) {
  return add(delay, false, std::move(task));
}

Clock::TimerId QtClock::call_every(Duration period, Task task) {
  return add(std::max(period, Duration(1)), true, std::move(task));
}

void QtClock::cancel(TimerId id) {
  const auto it = timers_.find(id);
  if (it == timers_.end()) return;
  it->second->stop();
  it->second->deleteLater();  // may be the timer whose timeout is running
  timers_.erase(it);
}

void QtClock::post(Task task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

}  // namespace brisca
