#include "app/gui/dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/gui/window_layout.h"
#include "soundlist/gather.h"

namespace brisca {
namespace {

// Dialog units of an 8-point sans-serif: a quarter of the average character width
// across, an eighth of the line height down.
QRect dlu(int x, int y, int width, int height) {
  auto across = [](int units) { return (units * 3 + 1) / 2; };
  auto down = [](int units) { return (units * 13 + 4) / 8; };
  return QRect(across(x), down(y), across(width), down(height));
}

void prepare(QDialog& dialog, const char* title, QRect size) {
  dialog.setWindowTitle(QString::fromLatin1(title));
  dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  dialog.setFont(ui_font());
  dialog.setFixedSize(size.size());
  dialog.setModal(true);
}

QPushButton* ok_button(QDialog& dialog, QRect where) {
  auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
  ok->setGeometry(where);
  ok->setDefault(true);
  ok->setProperty("controlId", 1);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  return ok;
}

}  // namespace

void show_about_dialog(QWidget* parent) {
  QDialog dialog(parent);
  prepare(dialog, "About BriscaTool", dlu(0, 0, 143, 77));
  auto* icon = new QLabel(&dialog);
  icon->setPixmap(QPixmap(QStringLiteral(":/PELORIN")));
  icon->setGeometry(QRect(dlu(7, 7, 0, 0).topLeft(), QSize(32, 32)));
  const char* lines[] = {"BriscaTool", "Version 1.10", "Sound loader for the", "Brisca drum module",
                         "by the BriscaTool team"};
  int y = 7;
  for (const char* line : lines) {
    auto* label = new QLabel(QString::fromLatin1(line), &dialog);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(dlu(36, y, 100, 8));
    y += y == 7 ? 9 : 8;
  }
  ok_button(dialog, dlu(61, 56, 50, 14))->setFocus();
  dialog.exec();
}

void show_usage_dialog(QWidget* parent, const QByteArray& usage_text) {
  QDialog dialog(parent);
  prepare(dialog, "Usage", dlu(0, 0, 222, 130));
  auto* edit = new QPlainTextEdit(&dialog);
  edit->setGeometry(dlu(7, 7, 208, 91));
  edit->setReadOnly(true);
  edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  edit->setProperty("controlId", kUsageEditId);
  edit->setPlainText(QString::fromUtf8(usage_text));
  ok_button(dialog, dlu(87, 109, 50, 14))->setFocus();
  dialog.exec();
}

void open_files_dialog(QWidget* parent, Gatherer& gather, QString& folder) {
  QFileDialog dialog(parent);
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) dialog.setDirectory(folder);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setNameFilters({QStringLiteral("MIDI Files and Playlists (*.mid *.m3u *.m3u8)"),
                         QStringLiteral("MIDI Files (*.mid)"),
                         QStringLiteral("Playlists (*.m3u *.m3u8)"),
                         QStringLiteral("All Files (*.*)")});
  if (dialog.exec() != QDialog::Accepted) return;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return;
  folder = QFileInfo(files.first()).absolutePath();
  // The chosen files normally share one folder; a name typed with a folder of its own is
  // gathered as a path by itself.
  FileChoice choice{QFile::encodeName(QFileInfo(files.first()).absolutePath()).toStdString(), {}};
  std::vector<std::string> elsewhere;
  for (const QString& file : files) {
    QFileInfo info(file);
    if (QFile::encodeName(info.absolutePath()).toStdString() == choice.folder)
      choice.names.push_back(QFile::encodeName(info.fileName()).toStdString());
    else
      elsewhere.push_back(QFile::encodeName(info.absoluteFilePath()).toStdString());
  }
  Gatherer::Batch one_report(gather);
  gather.add_file_list(choice);
  gather.add_paths(elsewhere);
}

QString save_list_dialog(QWidget* parent, const QString& folder) {
  QFileDialog dialog(parent, QStringLiteral("Save List As"));
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) dialog.setDirectory(folder);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({QStringLiteral("Playlists (*.m3u)")});
  dialog.setDefaultSuffix(QStringLiteral("m3u"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

}  // namespace brisca
