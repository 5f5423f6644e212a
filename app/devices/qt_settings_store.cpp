#include "app/devices/qt_settings_store.h"

#include <QSettings>
#include <memory>

namespace brisca {
namespace {

std::unique_ptr<QSettings> open_store(const QString& file) {
  if (file.isEmpty())
    return std::make_unique<QSettings>(QStringLiteral("Osmira"), QStringLiteral("Pelorin"));
  return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

}  // namespace

std::optional<std::string> QtSettingsStore::read(const std::string& name) {
  const auto store = open_store(file_);
  if (store->status() != QSettings::NoError) return std::nullopt;
  const QVariant value = store->value(QString::fromStdString(name));
  const int type = value.typeId();
  if (type != QMetaType::QString && type != QMetaType::QByteArray) return std::nullopt;
  return value.toString().toStdString();
}

bool QtSettingsStore::write(const std::string& name, const std::string& text) {
  const auto store = open_store(file_);
  if (store->status() == QSettings::NoError && store->isWritable()) {
    store->setValue(QString::fromStdString(name), QString::fromStdString(text));
    store->sync();
    if (store->status() == QSettings::NoError) return true;
  }
  const std::string file = store->fileName().toStdString();
  problem_ = store->status() == QSettings::FormatError ? file + " is not a settings file"
                                                       : file + " cannot be written";
  return false;
}

}  // namespace brisca
