// The About and Usage dialogs and the Open dialog for sound files.
#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

namespace brisca {

class SoundList;

inline constexpr int kUsageEditId = 1008;

// Both modal, centred over the parent.
void show_about_dialog(QWidget* parent);
void show_usage_dialog(QWidget* parent, const QByteArray& usage_text);

// Lets the user pick sound files (several at once) and gathers the chosen ones; a cancelled
// dialog changes nothing. The dialog starts in `folder` when it is set, and leaves there the
// folder the user ended in.
void open_files_dialog(QWidget* parent, SoundList& list, QString& folder);

}  // namespace brisca
