// The main window's overviews as the list changes: the rows' column placed anew, the whole list
// swept for its longest sound, which sets the time scale the overviews share (shown over the
// list), and the list kept in the store when it is to be opened again at start.
#include <QLabel>
#include <QTimer>

#include "app/gui/main_window.h"
#include "app/gui/overview_painter.h"
#include "app/gui/sound_list_widget.h"
#include "app/gui/window_memory.h"
#include "soundlist/playlist.h"

namespace brisca {
namespace {

constexpr int kScaleDelayMs = 150;  // overviews arriving in a burst change the scale once

}  // namespace

void MainWindow::watch_list_changes() {
  // Once per burst of changes (a folder of a thousand files is one), after it.
  list_changed_timer_ = new QTimer(this);
  list_changed_timer_->setSingleShot(true);
  list_changed_timer_->setInterval(0);
  connect(list_changed_timer_, &QTimer::timeout, this, [this] { list_changed(); });
  QAbstractItemModel* model = controls_.list->model();
  auto later = [this] { list_changed_timer_->start(); };
  connect(model, &QAbstractItemModel::rowsInserted, this, later);
  connect(model, &QAbstractItemModel::rowsRemoved, this, later);
  connect(model, &QAbstractItemModel::rowsMoved, this, later);
  connect(model, &QAbstractItemModel::modelReset, this, later);
  connect(model, &QAbstractItemModel::layoutChanged, this, later);

  scale_timer_ = new QTimer(this);
  scale_timer_->setSingleShot(true);
  scale_timer_->setInterval(kScaleDelayMs);
  connect(scale_timer_, &QTimer::timeout, this, [this] { update_overview_scale(); });
  // A longer sound widens the scale at once; a shorter one (a file that changed) narrows it
  // once the burst is over.
  connect(&overviews_, &OverviewCache::ready, this, [this] {
    std::shared_ptr<const SoundOverview> made = overviews_.last(overviews_.last_made());
    if (made && !made->damaged() && made->seconds() > longest_sound_)
      show_overview_scale(made->seconds());
    if (!scale_timer_->isActive()) scale_timer_->start();
  });
}

void MainWindow::list_changed() {
  list_changed_timer_->stop();
  delegate_->labels_changed();
  std::vector<std::string> paths;
  paths.reserve(static_cast<std::size_t>(controls_.list->count()));
  for (int row = 0; row < controls_.list->count(); ++row)
    paths.push_back(sound_list_.full_path(row));
  if (reopen_last_ && store_ != nullptr) store_->write(kLastListValue, playlist_text(paths, ""));
  overviews_.sweep(std::move(paths));
  update_overview_scale();
  controls_.list->viewport()->update();
}

// The longest whole sound of the list, as far as its overviews are made, sets the scale.
void MainWindow::update_overview_scale() {
  double longest = 0;
  for (int row = 0; row < controls_.list->count(); ++row) {
    std::shared_ptr<const SoundOverview> overview = overviews_.last(sound_list_.full_path(row));
    if (overview && !overview->damaged()) longest = std::max(longest, overview->seconds());
  }
  show_overview_scale(longest);
}

void MainWindow::show_overview_scale(double longest) {
  longest_sound_ = longest;
  const double scale = overview_scale(longest);
  controls_.overview_scale->setText(
      longest > 0 ? QStringLiteral("Overview scale: %1").arg(scale_text(scale)) : QString());
  if (scale == delegate_->scale()) return;
  delegate_->set_scale(scale);
  controls_.list->viewport()->update();
}

}  // namespace brisca
