// The "Import Audio" dialog: one row per audio file with the sound's name, type, rate, trim and
// level, and the blocks, down-load time and SNR of the sound those settings make (worked out on a
// worker thread each time a setting changes). The settings below the table apply to every
// selected row. "Play Original" and "Play Result" play the audio as read and what the module
// will play through the chosen audio output; switching between them carries on at the same
// place. "Import" writes the sounds into the import folder; "Cancel" writes nothing.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "import/prepare_queue.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QVBoxLayout;

namespace brisca {

class PreviewHooks;
class SettingsStore;

struct ImportDialogPorts {
  PreviewHooks* preview = nullptr;  // null or without an open output: nothing to play on
  bool audio_output = false;        // an audio output is chosen
  SettingsStore* settings = nullptr;
  Pace pace;  // the down-load pace in force: the rows' down-load times are counted at it
  // The sound files written, to be added to the list.
  std::function<void(const std::vector<std::string>& sounds)> add_sounds;
  // The one line saying what was made, and the folder it names ("/…/kit"; empty when none).
  std::function<void(const std::string& line, const std::string& folder)> show_summary;
  // The files that could not be imported, each with its reason, in one text.
  std::function<void(const std::string& text)> show_failures;
};

class ImportDialog : public QDialog {
  Q_OBJECT

 public:
  ImportDialog(QWidget* parent, const std::vector<std::string>& audio_paths,
               ImportDialogPorts ports);
  ~ImportDialog() override;

  // Columns of the table.
  enum Column { kAudio, kName, kType, kRate, kTrim, kLevel, kBlocks, kTime, kSnr, kColumns };

  int rows() const { return static_cast<int>(rows_.size()); }
  // True once every row shows the figures of its current settings.
  bool settled() const;
  QTableWidget* table() const { return table_; }
  // The folder the sounds go to; empty: next to each audio file.
  const std::string& folder() const { return folder_; }
  // The samples "Play Original" and "Play Result" play for `row` (null until worked out).
  std::shared_ptr<const std::vector<std::int16_t>> original(int row) const;
  std::shared_ptr<const std::vector<std::int16_t>> result(int row) const;

 private:
  struct Row {
    std::string audio;
    ImportSettings settings;
    std::uint64_t asked = 0;     // the latest request for this row
    std::uint64_t answered = 0;  // the request `sound` answers
    Result<PreparedSound> sound = PreparedSound{};
    std::shared_ptr<const std::vector<std::int16_t>> original, result;
  };
  enum class Playing { kNothing, kOriginal, kResult };

  void build_table();
  void fit_columns();
  QWidget* build_settings();
  QWidget* build_folder_line();
  void build_buttons(QVBoxLayout* layout);
  void show_row(int row);
  void show_figures(int row);
  // Asks for the row's sound with its current settings (a change by default: it goes first).
  void ask(int row, PrepareQueue::Cause cause = PrepareQueue::Cause::kChange);
  void take(RowSound result);
  void on_item_changed(int row, int column);
  void on_selection();
  // Applies `change` to every selected row (the current row when none is selected) and asks for
  // their sounds again.
  void for_selected(const std::function<void(ImportSettings&)>& change);
  LevelChoice level_from_panel() const;
  void show_folder();
  void change_folder();

  void play(Playing what);
  void stop_playing();
  void update_play_buttons();
  void import_all();
  std::string output_for(const Row& row) const;

  ImportDialogPorts ports_;
  std::vector<Row> rows_;
  std::string folder_;
  QTableWidget* table_ = nullptr;
  QLineEdit* type_ = nullptr;
  QComboBox* rate_ = nullptr;
  QCheckBox* trim_ = nullptr;
  QComboBox* level_ = nullptr;
  QDoubleSpinBox* level_value_ = nullptr;
  QLabel* folder_label_ = nullptr;
  QPushButton* play_original_ = nullptr;
  QPushButton* play_result_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* import_ = nullptr;
  Playing playing_ = Playing::kNothing;
  int playing_row_ = -1;
  std::size_t playing_from_ = 0;
  bool filling_ = false;                 // the table or the panel is being filled, not edited
  std::unique_ptr<PrepareQueue> queue_;  // last: its thread ends before the rest goes
};

// "/…/kit" for a folder deeper than one level, else the folder itself.
std::string short_folder(const std::string& folder);

// "3 sounds made in /…/kit: 61 blocks, SNR 44.1-51.3 dB".
std::string import_summary(const std::vector<ImportedSound>& made, const std::string& where);

}  // namespace brisca
