#include "app/gui/pace_box.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "app/devices/pace_settings.h"

namespace brisca {
namespace {

QSpinBox* add_row(QGridLayout& grid, int row, const char* label, const char* unit, int low,
                  int high) {
  auto* box = new QSpinBox;
  box->setRange(low, high);
  box->setAccelerated(true);
  grid.addWidget(new QLabel(QString::fromLatin1(label)), row, 0);
  grid.addWidget(box, row, 1);
  grid.addWidget(new QLabel(QString::fromLatin1(unit)), row, 2);
  return box;
}

// "2 857 bytes/s", the rate while a file is sent with every chunk full.
QString rate_text(const Pace& pace) {
  const int rate = static_cast<int>(pace.bytes_per_second());
  QString digits = QString::number(rate);
  if (rate >= 1000) digits.insert(digits.size() - 3, QLatin1Char(' '));
  return digits + QStringLiteral(" bytes/s");
}

}  // namespace

PaceBox::PaceBox(SettingsStore* store, QWidget* parent)
    : QGroupBox(QStringLiteral("Down-load pace"), parent), store_(store) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setVerticalSpacing(2);
  chunk_ = add_row(*grid, 0, "Chunk", "bytes", Pace::kMinChunkBytes, Pace::kMaxChunkBytes);
  interval_ = add_row(*grid, 1, "Interval", "ms", Pace::kMinIntervalMs, Pace::kMaxIntervalMs);
  gap_ = add_row(*grid, 2, "Gap between files", "ms", 0, Pace::kMaxFileGapMs);
  interval_->setToolTip(QStringLiteral("One chunk per interval; 70 ms is the fastest offered"));
  default_ = new QPushButton(QStringLiteral("Default"));
  default_->setAutoDefault(false);
  rate_ = new QLabel;
  grid->addWidget(default_, 3, 0);
  grid->addWidget(rate_, 3, 1, 1, 2);
  for (QSpinBox* box : {chunk_, interval_, gap_})
    connect(box, &QSpinBox::valueChanged, this, [this] { edited(); });
  connect(default_, &QPushButton::clicked, this, [this] {
    set_pace(Pace{});
    edited();
  });
  set_pace(Pace{});
}

void PaceBox::show_output(int index, const std::string& entry) {
  index_ = index;
  entry_ = entry;
  const auto edit = edits_.find(entry);
  set_pace(index <= 0             ? Pace{}
           : edit != edits_.end() ? edit->second
                                  : pace_for_output(store_, entry));
  setEnabled(index > 0);
}

Pace PaceBox::pace() const {
  return Pace{chunk_->value(), interval_->value(), gap_->value()};
}

void PaceBox::set_pace(const Pace& pace) {
  loading_ = true;
  chunk_->setValue(pace.chunk_bytes);
  interval_->setValue(pace.interval_ms);
  gap_->setValue(pace.file_gap_ms);
  loading_ = false;
  rate_->setText(rate_text(pace));
}

void PaceBox::edited() {
  rate_->setText(rate_text(pace()));
  if (loading_ || index_ <= 0) return;
  edits_[entry_] = pace();
}

void PaceBox::store_edits() {
  for (const auto& [entry, pace] : edits_) {
    const std::optional<Pace> remembered = remembered_pace(store_, entry);
    if (remembered ? *remembered != pace : !pace.is_default()) remember_pace(store_, entry, pace);
  }
}

}  // namespace brisca
