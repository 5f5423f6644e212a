// The window's preview hooks on the preview player.
#pragma once

#include <string>

#include "app/hooks.h"
#include "preview/preview_player.h"

namespace brisca {

class PlayerPreviewHooks : public PreviewHooks {
 public:
  explicit PlayerPreviewHooks(PreviewPlayer& player) : player_(player) {}
  int open(int choice) override {
    if (choice <= 0) {
      player_.close();
      return 0;
    }
    playing_.clear();
    return player_.open(choice) ? choice : 0;
  }
  void close() override {
    playing_.clear();
    player_.close();
  }
  Status start_preview(const std::string& directory, const std::string& name) override {
    playing_ = name;
    return player_.start_preview(directory, name);
  }
  // The file the last preview plays, or played until its output failed; empty when none.
  std::string playing() const {
    return player_.busy() || player_.device_failed() ? playing_ : std::string();
  }
  std::optional<std::uint64_t> played_samples() override { return player_.played_samples(); }
  void play_samples(std::shared_ptr<const std::vector<std::int16_t>> samples,
                    std::size_t from) override {
    playing_.clear();  // samples, not a file
    player_.start_samples(std::move(samples), from);
  }
  void stop_preview() override {
    (void)player_.stop();  // what plays is stopped as far as the device lets it
    player_.clear_state();
    playing_.clear();
  }

 private:
  PreviewPlayer& player_;
  std::string playing_;
};

}  // namespace brisca
