#include "app/gui/audio_import.h"

#include <QFile>
#include <QFileDialog>
#include <QProgressDialog>

#include "import/audio_input.h"
#include "soundfile/midi_reader.h"

namespace brisca {
namespace {

QString file_label(const std::string& path) {
  return QString::fromUtf8(std::string(file_name_of(path)).c_str());
}

}  // namespace

AudioImport::AudioImport(QWidget* owner, SoundMade on_sound, Failures on_failures)
    : QObject(owner),
      owner_(owner),
      on_sound_(std::move(on_sound)),
      on_failures_(std::move(on_failures)) {
  connect(this, &AudioImport::result_waiting, this, &AudioImport::take_results,
          Qt::QueuedConnection);
}

AudioImport::~AudioImport() {
  if (!worker_.joinable()) return;
  cancel_rest();
  worker_.join();
}

void AudioImport::add(const std::vector<std::string>& audio_paths, const std::string& folder) {
  if (audio_paths.empty()) return;
  {
    std::lock_guard lock(mutex_);
    for (const std::string& audio : audio_paths)
      queue_.push_back({audio, output_path_for(audio, folder)});
  }
  names_.insert(names_.end(), audio_paths.begin(), audio_paths.end());
  if (names_.size() > 1 && progress_ == nullptr) {
    progress_ = new QProgressDialog(owner_);
    progress_->setWindowTitle(QStringLiteral("Import Audio"));
    progress_->setCancelButtonText(QStringLiteral("Cancel"));
    // Not modal: the window stays usable, and setValue() never runs the event loop inside it
    // (as it does for a modal one), so no result is taken in while another is.
    progress_->setWindowModality(Qt::NonModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setMinimumWidth(320);
    connect(progress_, &QProgressDialog::canceled, this, &AudioImport::cancel_rest);
    show_progress();
    progress_->show();
  }
  show_progress();
  if (!worker_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stopping_ = false;
    }
    start_thread();
  }
}

void AudioImport::start_thread() {
  worker_ended_ = false;
  worker_ = std::thread([this] { work(); });
}

// Worker thread: takes the files one at a time until none is left or the rest is cancelled.
// Each result, and at last the worker's end, is queued under the lock and announced to the
// window's thread, which takes them in order.
void AudioImport::work() {
  for (;;) {
    Job job;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty() || stopping_) {
        worker_ended_ = true;
        break;
      }
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    ImportResult result = import_audio(job.audio, job.output, ImportSettings{});
    {
      std::lock_guard lock(mutex_);
      results_.push_back({std::move(result), std::move(job.audio)});
    }
    emit result_waiting();
  }
  emit result_waiting();
}

// One result at a time: a box shown for a result may take in the next ones meanwhile.
void AudioImport::take_results() {
  for (;;) {
    Result r;
    {
      std::lock_guard lock(mutex_);
      if (results_.empty()) {
        if (!worker_ended_ || !worker_.joinable()) return;
        break;
      }
      r = std::move(results_.front());
      results_.pop_front();
    }
    on_result(r.result, r.audio);
  }
  worker_.join();
  on_thread_done();
}

void AudioImport::on_result(const ImportResult& result, const std::string& audio) {
  ++done_;
  if (result.ok())
    on_sound_(result.output);
  else
    failures_.push_back(std::string(file_name_of(audio)) + ": " + result.error);
  show_progress();
}

// Results are queued before the worker's end, so every one has been taken in by now.
void AudioImport::on_thread_done() {
  {
    std::lock_guard lock(mutex_);
    if (!queue_.empty() && !stopping_) {  // files added just as the thread ran out of work
      start_thread();
      return;
    }
    queue_.clear();
  }
  if (progress_) {
    progress_->hide();
    progress_->deleteLater();
  }
  progress_ = nullptr;
  std::vector<std::string> failures = std::move(failures_);
  failures_.clear();
  names_.clear();
  done_ = 0;
  if (!failures.empty()) {
    std::string text =
        failures.size() == 1 ? "This file was not imported:\n" : "These files were not imported:\n";
    for (const std::string& f : failures) text += "\n" + f;
    on_failures_(text);
  }
  emit finished();
}

void AudioImport::show_progress() {
  if (progress_ == nullptr) return;
  const int total = static_cast<int>(names_.size());
  if (done_ < total)
    progress_->setLabelText(QStringLiteral("Importing %1\n(%2 of %3)")
                                .arg(file_label(names_[static_cast<std::size_t>(done_)]))
                                .arg(done_ + 1)
                                .arg(total));
  progress_->setRange(0, total);
  progress_->setValue(done_);
}

void AudioImport::cancel_rest() {
  std::lock_guard lock(mutex_);
  stopping_ = true;
  queue_.clear();
}

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

}  // namespace brisca
