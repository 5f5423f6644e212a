// Importing audio files from the window: each file is made into a sound file on a worker thread
// while the window stays responsive; each sound made is handed back to become a row. With
// several files a progress dialog shows how far it got (and can cancel the rest); the files
// that failed are listed, each with its reason, in one box at the end.
#pragma once

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "import/import_sound.h"

class QProgressDialog;
class QWidget;

namespace brisca {

class AudioImport : public QObject {
  Q_OBJECT

 public:
  using SoundMade = std::function<void(const std::string& sound_path)>;
  using Failures = std::function<void(const std::string& text)>;
  AudioImport(QWidget* owner, SoundMade on_sound, Failures on_failures);
  // Drops the files still waiting and waits for the one being encoded.
  ~AudioImport() override;

  // Imports each file into `folder`, or next to the file when `folder` is empty. Files added
  // while an import runs join it.
  void add(const std::vector<std::string>& audio_paths, const std::string& folder);
  bool busy() const { return worker_.joinable(); }

 signals:
  // Every file asked for is done (imported, failed or cancelled) and the box has been closed.
  void finished();
  // From the worker: a result, or the worker's end, waits to be taken in.
  void result_waiting();

 private:
  struct Job {
    std::string audio, output;
  };
  struct Result {
    ImportResult result;
    std::string audio;
  };
  void start_thread();
  void work();
  void take_results();
  void on_result(const ImportResult& result, const std::string& audio);
  void on_thread_done();
  void cancel_rest();
  void show_progress();

  QWidget* owner_;
  SoundMade on_sound_;
  Failures on_failures_;
  // Handed between the window's thread and the worker, guarded by mutex_.
  std::mutex mutex_;
  std::deque<Job> queue_;
  std::deque<Result> results_;
  bool stopping_ = false;
  bool worker_ended_ = false;  // the worker has queued its last result and returns
  std::thread worker_;         // joined by the window's thread once it has ended
  // The window's thread only.
  QPointer<QProgressDialog> progress_;
  std::vector<std::string> names_;  // every file of this import, in order
  int done_ = 0;
  std::vector<std::string> failures_;
};

// The Open dialog for audio files; the chosen paths, none when cancelled.
std::vector<std::string> choose_audio_files(QWidget* parent);

}  // namespace brisca
