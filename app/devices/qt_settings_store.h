// The settings store on QSettings: organisation "Osmira", application "Pelorin" (the registry
// key Software\Osmira\Pelorin on Windows, ~/.config/Osmira/Pelorin.conf on Linux). Each read
// and write opens the store afresh, so what another instance wrote in between is seen.
#pragma once

#include <QString>

#include "app/devices/settings.h"

namespace brisca {

class QtSettingsStore : public SettingsStore {
 public:
  QtSettingsStore() = default;
  // A store in this INI file instead of the per-user place.
  explicit QtSettingsStore(QString file) : file_(std::move(file)) {}

  std::optional<std::string> read(const std::string& name) override;
  bool write(const std::string& name, const std::string& text) override;
  std::string write_problem() const override { return problem_; }

 private:
  QString file_;
  std::string problem_;
};

}  // namespace brisca
