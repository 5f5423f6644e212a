#include "app/gui/audio_import.h"

#include <QFile>
#include <QFileDialog>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "import/audio_input.h"

namespace brisca {

std::vector<std::string> choose_audio_files(QWidget* parent) {
  QString patterns;
  for (const std::string& p : audio_file_patterns())
    patterns += (patterns.isEmpty() ? "" : " ") + QString::fromStdString(p);
  QFileDialog dialog(parent);
  dialog.setWindowTitle(QStringLiteral("Import Audio"));
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(
      {QStringLiteral("Audio Files (%1)").arg(patterns), QStringLiteral("All Files (*.*)")});
  std::vector<std::string> paths;
  if (dialog.exec() != QDialog::Accepted) return paths;
  for (const QString& f : dialog.selectedFiles())
    paths.push_back(QFile::encodeName(f).toStdString());
  return paths;
}

std::vector<std::string> choose_audio_folder(QWidget* parent, const std::string& start,
                                             std::string& folder) {
  folder =
      QFile::encodeName(QFileDialog::getExistingDirectory(parent, QStringLiteral("Import Folder"),
                                                          QFile::decodeName(start.c_str())))
          .toStdString();
  std::vector<std::string> paths;
  if (folder.empty()) return paths;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    std::error_code kind;
    if (entry.is_regular_file(kind) && is_audio_file(entry.path().string()))
      paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace brisca
