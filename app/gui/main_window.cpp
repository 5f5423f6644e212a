#include "app/gui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "app/devices/device_follower.h"
#include "app/gui/fitted_line.h"
#include "app/gui/import_dialog.h"
#include "app/gui/sound_list_widget.h"
#include "app/gui/window_controller.h"
#include "app/gui/window_resize.h"
#include "soundlist/gather.h"

namespace brisca {
namespace {

PreviewHooks& no_preview() {
  static PreviewHooks hooks;
  return hooks;
}
DownloadHooks& no_download() {
  static DownloadHooks hooks;
  return hooks;
}
MonitorHooks& no_monitor() {
  static MonitorHooks hooks;
  return hooks;
}
SetupHooks& no_setup() {
  static SetupHooks hooks;
  return hooks;
}
ReceiveHooks& no_receive() {
  static ReceiveHooks hooks;
  return hooks;
}

QPalette grey_palette(QPalette palette) {
  const QColor grey = QColor::fromRgb(kWindowGrey);
  palette.setColor(QPalette::Window, grey);
  palette.setColor(QPalette::Button, grey);
  return palette;
}

QIcon program_icon() {
  QIcon icon;
  for (const char* name : {":/PELORIN_16", ":/PELORIN", ":/PELORIN_48"})
    icon.addFile(QString::fromLatin1(name));
  return icon;
}

QByteArray load_usage_text() {
  QFile file(QStringLiteral(":/USAGE_TXT"));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A box's caption is often a file name, which the window manager elides in a narrow box: the
// box is made wide enough for the caption in a title font, with room for the title bar's
// buttons.
void make_room_for_caption(QMessageBox& box) {
  constexpr int kTitleBarButtons = 100;
  const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
  const int width = title.horizontalAdvance(box.windowTitle()) * 5 / 4 + kTitleBarButtons;
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                grid->rowCount(), 0, 1, grid->columnCount());
}

std::vector<std::string> local_paths(const QMimeData* mime) {
  std::vector<std::string> paths;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  return paths;
}

constexpr int kCursorPeriodMs = 40;  // the play cursor moves 25 times a second

}  // namespace

MainWindow::MainWindow()
    : usage_text_(load_usage_text()),
      bitmaps_(RowBitmaps::load()),
      client_(new QWidget(this)),
      controls_(build_controls(client_)),
      sound_list_(this),
      rows_(sound_list_) {
  clock_ = new QtClock(this);
  set_hooks({});
  setWindowTitle(QStringLiteral("BriscaTool"));
  setWindowIcon(program_icon());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  client_->setPalette(grey_palette(client_->palette()));
  client_->setAutoFillBackground(true);
  setCentralWidget(client_);
  setAcceptDrops(true);

  SoundListWidget* list = controls_.list;
  list->show_rows(rows_);
  delegate_ = new RowDelegate(bitmaps_, list);
  delegate_->show_overviews(&overviews_, &play_cursor_);
  delegate_->follow_pace(&download_pace_);
  list->setItemDelegate(delegate_);
  list->setMouseTracking(true);
  connect(&overviews_, &OverviewCache::ready, list->viewport(), qOverload<>(&QWidget::update));
  watch_list_changes();
  cursor_timer_ = new QTimer(this);
  cursor_timer_->setInterval(kCursorPeriodMs);
  connect(cursor_timer_, &QTimer::timeout, this, [this] { follow_play_cursor(); });
  controller_ = new WindowController(*this, controls_);

  status_ = make_status_line(this);
  status_timer_ = new QTimer(this);
  status_timer_->setSingleShot(true);
  connect(status_timer_, &QTimer::timeout, this, [this] {
    status_->hide();
    controls_.list->reserve_foot(0);
  });

  layout_ = new ClientLayout(client_, controls_);
  layout_->set_after_apply([this] { place_status(); });
  resize(kClientWidth, menuBar()->sizeHint().height() + kClientHeight);
  apply_height();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.x() + std::max(0, (area.width() - kOuterWidth) / 2), area.y());
  }
  sound_list_.refresh_total();
}

MainWindow::~MainWindow() {
  tear_down();
  // Qt deletes the children after this body, and some signal as they go (the list's model
  // resets): by then this is only a QWidget, so none of them may reach this window's handlers.
  for (QObject* child : findChildren<QObject*>())
    QObject::disconnect(child, nullptr, this, nullptr);
}

const WindowActions& MainWindow::actions() const {
  return controller_->actions();
}

void MainWindow::follow_devices(std::unique_ptr<DeviceFollower> follower) {
  device_follower_ = torn_down_ ? nullptr : std::move(follower);
}

bool MainWindow::follows_devices() const {
  return device_follower_ != nullptr && device_follower_->watching();
}

void MainWindow::set_hooks(const WindowHooks& hooks) {
  hooks_.preview = hooks.preview ? hooks.preview : &no_preview();
  hooks_.download = hooks.download ? hooks.download : &no_download();
  hooks_.monitor = hooks.monitor ? hooks.monitor : &no_monitor();
  hooks_.setup = hooks.setup ? hooks.setup : &no_setup();
  hooks_.receive = hooks.receive ? hooks.receive : &no_receive();
}

void MainWindow::set_field_text(Field field, std::string_view text) {
  auto index = static_cast<std::size_t>(field);
  if (index >= controls_.fields.size() || controls_.fields[index] == nullptr) return;
  QLineEdit* edit = controls_.fields[index];
  edit->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  // A monitor text begins with the message's kind: should it ever be wider than its field, the
  // start stays in view.
  if (index < static_cast<std::size_t>(kMonitorFieldCount)) edit->setCursorPosition(0);
}

void MainWindow::set_monitor_text(MonitorField field, const std::string& text) {
  QLineEdit* edit = controls_.fields[static_cast<std::size_t>(field)];
  edit->setText(QString::fromStdString(text));
  // A monitor text begins with the message's kind: should it ever be wider than its field, the
  // start stays in view.
  edit->setCursorPosition(0);
}

void MainWindow::show_file_error(const std::string& text, const std::string& file_name) {
  message_box(text, file_name, BoxIcon::Warning, BoxButtons::Ok);
}

BoxAnswer MainWindow::message_box(std::string_view text, std::string_view caption, BoxIcon icon,
                                  BoxButtons buttons) {
  auto qtext = [](std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
  };
  QMessageBox box(icon == BoxIcon::Warning ? QMessageBox::Warning : QMessageBox::Question,
                  qtext(caption), qtext(text),
                  buttons == BoxButtons::Ok ? QMessageBox::Ok : QMessageBox::Yes | QMessageBox::No,
                  this);
  make_room_for_caption(box);
  int answer = box.exec();
  if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
  return answer == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
}

bool MainWindow::ask(const Notice& notice) {
  if (notice.kind == Notice::Kind::Warning) {
    message_box(notice.text, notice.caption, BoxIcon::Warning, BoxButtons::Ok);
    return true;
  }
  return message_box(notice.text, notice.caption, BoxIcon::Question, BoxButtons::YesNo) ==
         BoxAnswer::Yes;
}

void MainWindow::total_changed(int total) {
  char text[16];
  std::snprintf(text, sizeof text, "%4d", total);
  set_field_text(Field::TotalBlocks, text);
}

void MainWindow::not_added(const Notice& notice) {
  ask(notice);
}

void MainWindow::post_command_line() {
  clock_->post([this] {
    const std::vector<std::string> paths = std::move(command_line_);
    command_line_.clear();
    gather_at_start(paths);
  });
}

void MainWindow::force_close() {
  forced_close_ = true;
  // A dialog or box runs an event loop of its own: end it so nothing waits for an answer.
  for (int i = 0; i < 16; ++i) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == this || !modal->close()) break;
  }
  close();
}

// Closing while a sound is being sent asks first (unless forced); No keeps sending.
void MainWindow::closeEvent(QCloseEvent* event) {
  if (!forced_close_ && !torn_down_ && hooks_.download->is_sending() &&
      message_box("A sound is being sent. Quit anyway?", "BriscaTool", BoxIcon::Question,
                  BoxButtons::YesNo) != BoxAnswer::Yes) {
    event->ignore();
    return;
  }
  tear_down();
  event->accept();
}

void MainWindow::show_status(const std::string& text, bool stays, const std::string& name) {
  status_line_ = QString::fromStdString(text);
  status_name_ = QString::fromStdString(name);
  place_status();
  status_->show();
  status_->raise();
  controls_.list->reserve_foot(kStatusRect.height());
  if (stays) {
    status_timer_->stop();
  } else {
    status_timer_->start(kStatusShownMs);
  }
}

QString MainWindow::status_text() const {
  return status_->isHidden() ? QString() : status_line_;
}

// A shortened line takes the mouse so that its tooltip can show; a whole one lets clicks through
// to the list beneath.
void MainWindow::place_status() {
  const QRect place = layout_->status_rect();
  status_->setGeometry(QRect(client_->geometry().topLeft() + place.topLeft(), place.size()));
  const bool shortened = show_fitted(status_, status_line_, status_name_);
  status_->setAttribute(Qt::WA_TransparentForMouseEvents, !shortened);
}

// The bitmaps go with the window; open devices are closed in the order MIDI in, MIDI out,
// audio out.
void MainWindow::tear_down() {
  if (torn_down_) return;
  torn_down_ = true;
  device_follower_.reset();
  cursor_timer_->stop();
  hooks_.receive->end_receiving();
  if (devices_.midi_in > 0) hooks_.monitor->close();
  if (devices_.midi_out > 0) hooks_.download->close();
  if (devices_.audio_out > 0) hooks_.preview->close();
  devices_ = {};
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!local_paths(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths = local_paths(event->mimeData());
  if (paths.empty()) return;
  event->acceptProposedAction();
  // Gathered once the drop is over: the warning boxes must not hold up the drag source.
  QMetaObject::invokeMethod(
      this, [this, paths] { add_dropped(paths); }, Qt::QueuedConnection);
}

}  // namespace brisca
