#include "app/gui/receive_dialog.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace brisca {
namespace {

constexpr int kPollMs = 250;
enum Column { kNameColumn, kBlocksColumn, kFileColumn, kColumns };

// The blocks of a sound: "12 of 300" beside a bar (the count outside the bar stays legible in
// every style).
QWidget* blocks_cell(QWidget* parent, int total) {
  auto* cell = new QWidget(parent);
  auto* layout = new QHBoxLayout(cell);
  layout->setContentsMargins(2, 1, 2, 1);
  auto* count = new QLabel(cell);
  count->setObjectName(QStringLiteral("count"));
  count->setMinimumWidth(count->fontMetrics().horizontalAdvance(QStringLiteral("16384 of 16384")));
  layout->addWidget(count);
  auto* bar = new QProgressBar(cell);
  bar->setRange(0, std::max(total, 1));
  bar->setTextVisible(false);
  layout->addWidget(bar, 1);
  return cell;
}

QString text(const std::string& s) {
  return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}

QString remembered_folder(SettingsStore* store) {
  if (store != nullptr) {
    if (auto value = store->read(kReceiveFolderValue); value && !value->empty())
      return QString::fromUtf8(value->c_str());
  }
  return QDir::homePath();
}

}  // namespace

ReceiveDialog::ReceiveDialog(MidiInPort& port, SettingsStore* store,
                             std::function<void(const std::string&)> written, QWidget* parent)
    : QDialog(parent), port_(port), store_(store), written_(std::move(written)) {
  setWindowTitle(QStringLiteral("Receive Sounds"));
  setModal(false);
  auto* layout = new QVBoxLayout(this);

  auto* folder_row = new QHBoxLayout;
  folder_row->addWidget(new QLabel(QStringLiteral("Folder:"), this));
  folder_ = new QLineEdit(remembered_folder(store), this);
  folder_->setReadOnly(true);
  folder_row->addWidget(folder_, 1);
  auto* choose = new QPushButton(QStringLiteral("Choose..."), this);
  connect(choose, &QPushButton::clicked, this, &ReceiveDialog::pick_folder);
  folder_row->addWidget(choose);
  layout->addLayout(folder_row);

  sounds_ = new QTreeWidget(this);
  sounds_->setColumnCount(3);
  sounds_->setHeaderLabels(
      {QStringLiteral("Sound"), QStringLiteral("Blocks"), QStringLiteral("File")});
  sounds_->setRootIsDecorated(false);
  sounds_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  sounds_->header()->setSectionResizeMode(1, QHeaderView::Fixed);
  sounds_->header()->resizeSection(1, 150);
  sounds_->header()->setStretchLastSection(true);
  layout->addWidget(sounds_, 1);

  auto* bottom = new QHBoxLayout;
  status_ = new QLabel(this);
  bottom->addWidget(status_, 1);
  stop_ = new QPushButton(QStringLiteral("Stop"), this);
  connect(stop_, &QPushButton::clicked, this, [this] { receiving_ ? stop() : start(); });
  bottom->addWidget(stop_);
  auto* close_button = new QPushButton(QStringLiteral("Close"), this);
  connect(close_button, &QPushButton::clicked, this, &QDialog::close);
  bottom->addWidget(close_button);
  layout->addLayout(bottom);

  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &ReceiveDialog::tick);
  resize(600, 280);
  start();
}

ReceiveDialog::~ReceiveDialog() {
  stop();
}

QString ReceiveDialog::folder() const {
  return folder_->text();
}

void ReceiveDialog::choose_folder(const QString& folder) {
  folder_->setText(folder);
  if (store_ != nullptr) store_->write(kReceiveFolderValue, folder.toUtf8().toStdString());
  if (receiver_) receiver_->set_folder(QFile::encodeName(folder).toStdString());
}

void ReceiveDialog::pick_folder() {
  const QString chosen = QFileDialog::getExistingDirectory(
      this, QStringLiteral("Folder for received sounds"), folder());
  if (!chosen.isEmpty()) choose_folder(chosen);
}

void ReceiveDialog::closeEvent(QCloseEvent* event) {
  stop();
  QDialog::closeEvent(event);
}

void ReceiveDialog::start() {
  if (receiving_) return;
  ReceiveEvents& events = *this;
  receiver_ = std::make_unique<SoundReceiver>(QFile::encodeName(folder()).toStdString(), events);
  listener_ = std::make_unique<ReceiverListener>(*receiver_, port_.clock());
  port_.set_listener(listener_.get());
  receiving_ = true;
  timer_->start(kPollMs);
  stop_->setText(QStringLiteral("Stop"));
  show_status();
}

// A sound in progress is written as partial.
void ReceiveDialog::stop() {
  if (!receiving_) return;
  receiving_ = false;
  timer_->stop();
  if (port_.listener() == listener_.get()) port_.set_listener(nullptr);
  receiver_->stop();
  stop_->setText(QStringLiteral("Start"));
  show_status();
}

void ReceiveDialog::tick() {
  if (receiver_) receiver_->poll(port_.clock().now());
  show_status();
}

void ReceiveDialog::show_status() {
  QString s;
  if (!receiving_)
    s = QStringLiteral("Stopped.");
  else if (!port_.is_open())
    s = QStringLiteral("No MIDI input is open (Setup > MIDI...).");
  else if (receiver_->in_progress())
    s = QStringLiteral("Receiving...");
  else
    s = QStringLiteral("Waiting for sounds from the MIDI input.");
  if (status_->text() != s) status_->setText(s);
}

QTreeWidgetItem* ReceiveDialog::row(const SoundProgress& sound) {
  QTreeWidgetItem*& item = rows_[sound.id];
  if (item == nullptr) {
    item = new QTreeWidgetItem(sounds_, {text(sound.name)});
    sounds_->setItemWidget(item, kBlocksColumn, blocks_cell(sounds_, sound.total_blocks));
    sounds_->scrollToItem(item);
  }
  return item;
}

void ReceiveDialog::sound_begun(const SoundProgress& sound) {
  block_received(sound);
  show_status();
}

void ReceiveDialog::block_received(const SoundProgress& sound) {
  QWidget* cell = sounds_->itemWidget(row(sound), kBlocksColumn);
  auto* bar = cell->findChild<QProgressBar*>();
  bar->setValue(std::min(sound.blocks_received, bar->maximum()));
  QString count = QString::number(sound.blocks_received);
  if (sound.total_blocks > 0) count += QStringLiteral(" of ") + QString::number(sound.total_blocks);
  cell->findChild<QLabel*>(QStringLiteral("count"))->setText(count);
}

void ReceiveDialog::sound_ended(const ReceivedSound& s) {
  block_received(s.sound);
  QTreeWidgetItem* item = row(s.sound);
  if (s.path.empty()) {
    item->setText(kFileColumn, QStringLiteral("not written: ") + text(s.written.message()));
  } else {
    QString file = QFileInfo(QFile::decodeName(s.path.c_str())).fileName();
    if (!s.whole && !s.missing.empty()) file += QStringLiteral(": missing ") + text(s.missing);
    item->setText(kFileColumn, file);
    item->setToolTip(kFileColumn, QFile::decodeName(s.path.c_str()));
  }
  if (!s.whole)
    item->setToolTip(kFileColumn, item->toolTip(kFileColumn) + QStringLiteral("\nIncomplete: ") +
                                      text(s.reason));
  if (!s.path.empty() && written_) written_(s.path);
  show_status();
}

void DialogReceiveHooks::receive_sounds(QWidget* parent) {
  if (dialog_ == nullptr) {
    dialog_ = new ReceiveDialog(port_, store_, written_, parent);
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
  }
  dialog_->show();
  dialog_->raise();
  dialog_->activateWindow();
}

void DialogReceiveHooks::end_receiving() {
  if (dialog_ != nullptr) delete dialog_.data();
}

}  // namespace brisca
