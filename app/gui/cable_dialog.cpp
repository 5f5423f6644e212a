#include "app/gui/cable_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/devices/pace_settings.h"

namespace brisca {

CableDialog::CableDialog(MidiService& service, SettingsStore* store, CableEntries entries,
                         std::function<void()> kept, QWidget* parent)
    : QDialog(parent),
      store_(store),
      entries_(std::move(entries)),
      kept_(std::move(kept)),
      clock_(new QtClock(this)) {
  setWindowTitle(QStringLiteral("Test Cable"));
  test_ = std::make_unique<CableTest>(service, *clock_, static_cast<CableEvents&>(*this));

  auto* layout = new QVBoxLayout(this);
  const bool ready = entries_.out_choice > 0 && entries_.in_choice > 0;
  auto* about = new QLabel(
      ready ? QStringLiteral("Sends test messages on \"%1\" and compares what comes back on "
                             "\"%2\", at the default pace and then at slower ones.")
                  .arg(QString::fromStdString(entries_.out_entry),
                       QString::fromStdString(entries_.in_entry))
            : QStringLiteral("Choose the MIDI input cabled to the MIDI output in Setup > MIDI... "
                             "first."),
      this);
  about->setWordWrap(true);
  layout->addWidget(about);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1000);
  bar_->setValue(0);
  layout->addWidget(bar_);
  lines_ = new QPlainTextEdit(this);
  lines_->setReadOnly(true);
  lines_->setLineWrapMode(QPlainTextEdit::NoWrap);
  lines_->setMinimumSize(lines_->fontMetrics().horizontalAdvance(QStringLiteral(
                             "200-byte chunks every 140 ms: 10 sent, 10 whole, 10 damaged, 10 "
                             "lost, 2857 bytes/s  passed")) +
                             40,
                         140);
  layout->addWidget(lines_);
  result_ = new QLabel(this);
  result_->setWordWrap(true);
  layout->addWidget(result_);
  auto* buttons = new QHBoxLayout();
  start_ = new QPushButton(QStringLiteral("Start"), this);
  keep_ = new QPushButton(QStringLiteral("Keep Pace"), this);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  start_->setEnabled(ready);
  keep_->setEnabled(false);
  buttons->addWidget(start_);
  buttons->addStretch();
  buttons->addWidget(keep_);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  connect(start_, &QPushButton::clicked, this, [this] {
    if (test_->running()) {
      test_->stop();
    } else {
      start();
    }
  });
  connect(keep_, &QPushButton::clicked, this, [this] { keep(); });
  connect(close, &QPushButton::clicked, this, &CableDialog::reject);
}

// The test first, so no report reaches a dialog half taken apart.
CableDialog::~CableDialog() {
  test_.reset();
}

void CableDialog::start() {
  found_.reset();
  keep_->setEnabled(false);
  lines_->clear();
  bar_->setValue(0);
  if (const Status started = test_->start(entries_.out_choice, entries_.in_choice); !started) {
    result_->setText(QString::fromStdString(started.message()));
    return;
  }
  result_->setText(QStringLiteral("Testing..."));
  start_->setText(QStringLiteral("Stop"));
}

void CableDialog::pace_tried(const CablePaceResult& result) {
  lines_->appendPlainText(QString::fromStdString(pace_line(result)) +
                          (result.passed ? QStringLiteral("  passed") : QString()));
}

void CableDialog::progress(double fraction) {
  bar_->setValue(static_cast<int>(std::lround(fraction * 1000)));
}

void CableDialog::finished(const CableOutcome& outcome) {
  start_->setText(QStringLiteral("Start"));
  QString text = QString::fromStdString(outcome.text);
  if (outcome.end == CableEnd::Passed && outcome.found) {
    found_ = outcome.found->pace;
    text += QStringLiteral(" (%1 bytes/s). Keep it for \"%2\"?")
                .arg(std::lround(outcome.found->bytes_per_second))
                .arg(QString::fromStdString(entries_.out_entry));
    keep_->setEnabled(true);
  }
  result_->setText(text);
}

// The pause between files is no part of the test: the one chosen for the output stays.
void CableDialog::keep() {
  if (!found_) return;
  Pace pace = *found_;
  pace.file_gap_ms = pace_for_output(store_, entries_.out_entry).file_gap_ms;
  if (!remember_pace(store_, entries_.out_entry, pace)) {
    result_->setText(QStringLiteral("The pace could not be remembered."));
    return;
  }
  keep_->setEnabled(false);
  result_->setText(QStringLiteral("Kept for \"%1\": %2")
                       .arg(QString::fromStdString(entries_.out_entry),
                            QString::fromStdString(chunk_pace_text(pace))));
  if (kept_) kept_();
}

// Closing stops a test still running; its devices are closed at once.
void CableDialog::reject() {
  test_->stop();
  QDialog::reject();
}

}  // namespace brisca
