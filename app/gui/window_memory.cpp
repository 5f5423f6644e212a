#include "app/gui/window_memory.h"

#include <QByteArray>
#include <QDataStream>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <optional>

#include "app/devices/settings.h"

namespace brisca {
namespace {

constexpr int kSaveDelayMs = 400;  // a drag or a resize is saved once it rests

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> store_recent(SettingsStore* store, std::vector<std::string> lists) {
  if (lists.size() > kMaxRecentLists) lists.resize(kMaxRecentLists);
  std::string text;
  for (const std::string& path : lists) text += path + "\n";
  if (store != nullptr) store->write(kRecentListsValue, text);
  return lists;
}

// What Qt's record of a window (QWidget::saveGeometry) holds of use without Qt's own checks.
struct SavedGeometry {
  QRect normal;
  bool maximized = false;
  bool full_screen = false;
};

std::optional<SavedGeometry> read_saved_geometry(const QByteArray& record) {
  QDataStream in(record);
  in.setVersion(QDataStream::Qt_4_0);
  quint32 magic = 0;
  quint16 major = 0, minor = 0;
  in >> magic >> major >> minor;
  if (in.status() != QDataStream::Ok || magic != 0x1D9D0CB || major < 1 || major > 3)
    return std::nullopt;
  QRect frame, normal;
  qint32 screen = 0;
  quint8 maximized = 0, full_screen = 0;
  in >> frame >> normal >> screen >> maximized >> full_screen;
  if (in.status() != QDataStream::Ok || !normal.isValid()) return std::nullopt;
  return SavedGeometry{normal, maximized != 0, full_screen != 0};
}

}  // namespace

bool read_flag(SettingsStore* store, const char* name, bool fallback) {
  if (store == nullptr) return fallback;
  const std::optional<std::string> text = store->read(name);
  if (!text || (*text != "0" && *text != "1")) return fallback;
  return *text == "1";
}

void write_flag(SettingsStore* store, const char* name, bool on) {
  if (store != nullptr) store->write(name, on ? "1" : "0");
}

std::vector<std::string> read_recent_lists(SettingsStore* store) {
  if (store == nullptr) return {};
  std::vector<std::string> lists = split_lines(store->read(kRecentListsValue).value_or(""));
  if (lists.size() > kMaxRecentLists) lists.resize(kMaxRecentLists);
  return lists;
}

std::vector<std::string> remember_recent_list(SettingsStore* store, const std::string& path) {
  std::vector<std::string> lists = read_recent_lists(store);
  if (path.find_first_of("\n\r") != std::string::npos) return lists;
  lists.erase(std::remove(lists.begin(), lists.end(), path), lists.end());
  lists.insert(lists.begin(), path);
  return store_recent(store, std::move(lists));
}

std::vector<std::string> forget_recent_list(SettingsStore* store, const std::string& path) {
  std::vector<std::string> lists = read_recent_lists(store);
  lists.erase(std::remove(lists.begin(), lists.end(), path), lists.end());
  return store_recent(store, std::move(lists));
}

GeometryMemory::GeometryMemory(QWidget* window, SettingsStore* store)
    : QObject(window), window_(window), store_(store) {
  later_.setSingleShot(true);
  later_.setInterval(kSaveDelayMs);
  connect(&later_, &QTimer::timeout, this, [this] { save(); });
  window->installEventFilter(this);
}

bool GeometryMemory::restore() {
  if (store_ == nullptr) return false;
  const std::optional<std::string> text = store_->read(kWindowGeometryValue);
  if (!text || text->empty()) return false;
  // Qt's own record of the window: the normal geometry, the maximised state and the screen;
  // restoring it brings a place off every screen back onto one. Qt refuses a record made on a
  // screen much wider or narrower than the one now (another scale factor): the window then takes
  // its size and place from the record as they are, cut to the screen below.
  const QByteArray record = QByteArray::fromBase64(QByteArray::fromStdString(*text));
  if (!window_->restoreGeometry(record)) {
    const std::optional<SavedGeometry> saved = read_saved_geometry(record);
    if (!saved) return false;
    window_->setGeometry(saved->normal);
    if (saved->full_screen)
      window_->setWindowState(window_->windowState() | Qt::WindowFullScreen);
    else if (saved->maximized)
      window_->setWindowState(window_->windowState() | Qt::WindowMaximized);
  }
  keep_on_screen();
  return true;
}

// A size larger than the screen now (a smaller screen, or a larger scale) is cut to it, and the
// window moved wholly onto it.
void GeometryMemory::keep_on_screen() {
  const QScreen* screen = QGuiApplication::screenAt(window_->geometry().center());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr || window_->isMaximized() || window_->isFullScreen()) return;
  // The room for the window's own area: the screen less the window system's frame, once known.
  const QRect frame = window_->frameGeometry(), inner = window_->geometry();
  const QRect area = screen->availableGeometry().marginsRemoved(
      QMargins(inner.left() - frame.left(), inner.top() - frame.top(),
               frame.right() - inner.right(), frame.bottom() - inner.bottom()));
  QRect place = inner;
  place.setSize(place.size().boundedTo(area.size()).expandedTo(window_->minimumSize()));
  place.moveLeft(std::clamp(place.left(), area.left(),
                            std::max(area.left(), area.right() - place.width() + 1)));
  place.moveTop(std::clamp(place.top(), area.top(),
                           std::max(area.top(), area.bottom() - place.height() + 1)));
  if (place != window_->geometry()) window_->setGeometry(place);
}

bool GeometryMemory::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) return false;
  switch (event->type()) {
    case QEvent::Show:
      if (!shown_) keep_on_screen();  // as the window system placed it
      shown_ = true;
      break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
      if (shown_) later_.start();
      break;
    case QEvent::Hide:
      if (shown_) save();
      break;
    default:
      break;
  }
  return false;
}

void GeometryMemory::save() {
  later_.stop();
  if (store_ == nullptr || window_->isMinimized()) return;
  store_->write(kWindowGeometryValue, window_->saveGeometry().toBase64().toStdString());
}

}  // namespace brisca
