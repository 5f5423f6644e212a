// The Import Audio dialog's buttons: listening to a row and writing the sounds.
#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <system_error>

#include "app/gui/import_dialog.h"
#include "app/hooks.h"
#include "soundfile/midi_reader.h"

namespace brisca {
namespace {

constexpr const char* kNoAudioOutput = "No audio output: choose one in Setup > Audio…";

std::string figures_text(const std::vector<ImportedSound>& made) {
  int blocks = 0;
  double low = HUGE_VAL, high = -HUGE_VAL;
  for (const ImportedSound& r : made) {
    blocks += r.blocks;
    low = std::min(low, r.snr_db);
    high = std::max(high, r.snr_db);
  }
  std::string text = std::to_string(blocks) + " blocks, SNR ";
  if (std::isfinite(high) && std::abs(high - low) >= 0.05) {
    char range[48];  // both ends finite, so one unit after them
    std::snprintf(range, sizeof range, "%.1f-%.1f dB", low, high);
    return text + range;
  }
  text += snr_text(low);
  return std::isfinite(low) && !std::isfinite(high) ? text + " to exact" : text;
}

}  // namespace

std::string import_summary(const std::vector<ImportedSound>& made, const std::string& where) {
  if (made.empty()) return "No sound made";
  std::string line = std::to_string(made.size()) + (made.size() == 1 ? " sound" : " sounds") +
                     " made " + where + ": " + figures_text(made);
  return line;
}

void ImportDialog::build_buttons(QVBoxLayout* layout) {
  auto* line = new QHBoxLayout;
  play_original_ = new QPushButton(QStringLiteral("Play &Original"), this);
  play_original_->setObjectName(QStringLiteral("playOriginal"));
  play_result_ = new QPushButton(QStringLiteral("Play &Result"), this);
  play_result_->setObjectName(QStringLiteral("playResult"));
  stop_ = new QPushButton(QStringLiteral("&Stop"), this);
  stop_->setObjectName(QStringLiteral("stopPlaying"));
  for (QPushButton* b : {play_original_, play_result_, stop_}) {
    b->setAutoDefault(false);
    line->addWidget(b);
  }
  line->addStretch(1);
  auto* buttons = new QDialogButtonBox(this);
  import_ = buttons->addButton(QStringLiteral("&Import"), QDialogButtonBox::AcceptRole);
  import_->setObjectName(QStringLiteral("import"));
  buttons->addButton(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
  line->addWidget(buttons);
  layout->addLayout(line);
  connect(play_original_, &QPushButton::clicked, this, [this] { play(Playing::kOriginal); });
  connect(play_result_, &QPushButton::clicked, this, [this] { play(Playing::kResult); });
  connect(stop_, &QPushButton::clicked, this, &ImportDialog::stop_playing);
  connect(buttons, &QDialogButtonBox::accepted, this, &ImportDialog::import_all);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void ImportDialog::update_play_buttons() {
  if (play_original_ == nullptr) return;
  const bool output = ports_.audio_output && ports_.preview != nullptr;
  const int r = table_->currentRow();
  play_original_->setText(output ? QStringLiteral("Play &Original")
                                 : QStringLiteral("Play Original: no audio output"));
  play_result_->setText(output ? QStringLiteral("Play &Result")
                               : QStringLiteral("Play Result: no audio output"));
  for (QPushButton* b : {play_original_, play_result_}) b->setToolTip(output ? "" : kNoAudioOutput);
  play_original_->setEnabled(output && original(r) != nullptr);
  play_result_->setEnabled(output && result(r) != nullptr);
  stop_->setEnabled(output && playing_ != Playing::kNothing);
  import_->setEnabled(rows() > 0 && settled());
}

// Starts `what` of the current row; switching from the other stream of the same row carries on
// where it had got to.
void ImportDialog::play(Playing what) {
  if (ports_.preview == nullptr || !ports_.audio_output) return;
  const int r = table_->currentRow();
  auto samples = what == Playing::kOriginal ? original(r) : result(r);
  if (!samples) return;
  std::size_t from = 0;
  if (playing_ != Playing::kNothing && playing_row_ == r) {
    if (std::optional<std::uint64_t> played = ports_.preview->played_samples())
      from = playing_from_ + static_cast<std::size_t>(*played);
  }
  if (from >= samples->size()) from = 0;
  ports_.preview->play_samples(samples, from);
  playing_ = what;
  playing_row_ = r;
  playing_from_ = from;
  update_play_buttons();
}

void ImportDialog::stop_playing() {
  if (ports_.preview != nullptr) ports_.preview->stop_preview();
  playing_ = Playing::kNothing;
  playing_row_ = -1;
  update_play_buttons();
}

std::string ImportDialog::output_for(const Row& row) const {
  return output_path_for(row.audio, folder_);
}

// Writes every row's sound as it was worked out (what was heard is what is written). Files that
// exist already are replaced only when the user says so.
void ImportDialog::import_all() {
  if (!settled()) return;
  stop_playing();
  std::vector<std::string> existing;
  std::error_code ec;
  for (const Row& row : rows_)
    if (row.sound && std::filesystem::exists(output_for(row), ec))
      existing.push_back(output_for(row));
  bool replace = false;
  if (!existing.empty()) {
    QString text = existing.size() == 1 ? QStringLiteral("This file exists already:\n")
                                        : QStringLiteral("These files exist already:\n");
    for (const std::string& e : existing) text += "\n" + QFile::decodeName(e.c_str());
    text += QStringLiteral("\n\nReplace them?");
    const auto answer =
        QMessageBox::question(this, QStringLiteral("Import Audio"), text,
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) return;
    replace = answer == QMessageBox::Yes;
  }
  // A remembered import folder that is gone is made again, as import -d makes its folder; when
  // that fails, each sound's write says why.
  if (!folder_.empty() && !std::filesystem::is_directory(folder_, ec))
    std::filesystem::create_directories(folder_, ec);
  std::vector<ImportedSound> made;
  std::vector<std::string> sounds, failures;
  std::set<std::string> written;
  for (const Row& row : rows_) {
    const std::string name(file_name_of(row.audio));
    const std::string out = output_for(row);
    if (!row.sound) {
      failures.push_back(name + ": " + row.sound.message());
      continue;
    }
    if (!written.insert(std::filesystem::weakly_canonical(out, ec).string()).second) {
      failures.push_back(name + ": " + out + " was written for another file of this import");
      continue;
    }
    Result<ImportedSound> r = write_prepared(*row.sound, out, replace);
    if (!r) {
      failures.push_back(name + ": " + r.message());
      continue;
    }
    sounds.push_back(out);
    made.push_back(std::move(*r));
  }
  std::set<std::string> folders;
  for (const std::string& s : sounds) folders.insert(std::filesystem::path(s).parent_path());
  const std::string folder = folders.size() == 1 ? short_folder(*folders.begin()) : "";
  const std::string where = folders.size() == 1 ? "in " + folder : "next to their audio files";
  if (ports_.add_sounds && !sounds.empty()) ports_.add_sounds(sounds);
  if (ports_.show_summary && !made.empty())
    ports_.show_summary(import_summary(made, where), folder);
  if (ports_.show_failures && !failures.empty()) {
    std::string text =
        failures.size() == 1 ? "This file was not imported:\n" : "These files were not imported:\n";
    for (const std::string& f : failures) text += "\n" + f;
    ports_.show_failures(text);
  }
  accept();
}

}  // namespace brisca
