#include "app/gui/import_folder_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/devices/settings.h"

namespace brisca {

std::string remembered_import_folder(SettingsStore* store) {
  if (store == nullptr) return {};
  return store->read(kImportFolderValue).value_or(std::string());
}

std::optional<std::string> choose_import_folder(QWidget* parent, const std::string& current) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QStringLiteral("Import Folder"));
  auto* beside = new QRadioButton(QStringLiteral("&Next to each audio file"), &dialog);
  auto* chosen = new QRadioButton(QStringLiteral("&In this folder:"), &dialog);
  auto* path = new QLineEdit(QFile::decodeName(current.c_str()), &dialog);
  path->setObjectName(QStringLiteral("folderPath"));
  path->setMinimumWidth(260);
  auto* browse = new QPushButton(QStringLiteral("&Browse..."), &dialog);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  auto* grid = new QGridLayout(&dialog);
  grid->addWidget(beside, 0, 0, 1, 2);
  grid->addWidget(chosen, 1, 0, 1, 2);
  grid->addWidget(path, 2, 0);
  grid->addWidget(browse, 2, 1);
  grid->addWidget(buttons, 3, 0, 1, 2);
  (current.empty() ? beside : chosen)->setChecked(true);
  auto sync = [=] {
    path->setEnabled(chosen->isChecked());
    browse->setEnabled(chosen->isChecked());
    buttons->button(QDialogButtonBox::Ok)
        ->setEnabled(beside->isChecked() || QFileInfo(path->text()).isDir());
  };
  QObject::connect(beside, &QRadioButton::toggled, &dialog, sync);
  QObject::connect(path, &QLineEdit::textChanged, &dialog, sync);
  QObject::connect(browse, &QPushButton::clicked, &dialog, [&dialog, path] {
    QString dir =
        QFileDialog::getExistingDirectory(&dialog, QStringLiteral("Import Folder"), path->text());
    if (!dir.isEmpty()) path->setText(dir);
  });
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  sync();
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  if (beside->isChecked()) return std::string();
  return QFile::encodeName(path->text()).toStdString();
}

}  // namespace brisca
