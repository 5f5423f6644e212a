// The About and Usage dialogs and the Open dialog for sound files.
#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

namespace brisca {

class Gatherer;

inline constexpr int kUsageEditId = 1008;

// Both modal, centred over the parent.
void show_about_dialog(QWidget* parent);
void show_usage_dialog(QWidget* parent, const QByteArray& usage_text);

// Lets the user pick sound files or playlists (several at once) and gathers the chosen ones with
// `gather`; a cancelled dialog changes nothing. The dialog starts in `folder` when it is set,
// and leaves there the folder the user ended in.
void open_files_dialog(QWidget* parent, Gatherer& gather, QString& folder);

// Asks where to save the list as a playlist, starting in `folder`; the path chosen (ending in
// ".m3u" unless the user gave a playlist name), or an empty string when cancelled.
QString save_list_dialog(QWidget* parent, const QString& folder);

}  // namespace brisca
