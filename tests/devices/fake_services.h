// Services with chosen device names, and device hooks that log what is opened and closed.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/devices/settings.h"
#include "app/hooks.h"
#include "platform/api/devices.h"

namespace brisca::test {

// A watch the test drives by hand: tell() reports a change to whoever watches.
struct HandWatch {
  std::unique_ptr<DeviceWatch> watch(DeviceWatchListener& listener) {
    watcher = &listener;
    return std::make_unique<Watch>(watcher);
  }
  void tell(const DeviceEvent& event) {
    if (watcher != nullptr) watcher->device_changed(event);
  }
  DeviceWatchListener* watcher = nullptr;  // null while none watches

 private:
  struct Watch : DeviceWatch {
    explicit Watch(DeviceWatchListener*& watcher) : watcher_(watcher) {}
    ~Watch() override { watcher_ = nullptr; }
    DeviceWatchListener*& watcher_;
  };
};

class NamedMidiService : public MidiService {
 public:
  std::vector<std::string> inputs, outputs;
  std::vector<std::string> input_names() override { return inputs; }
  std::vector<std::string> output_names() override { return outputs; }
  std::unique_ptr<MidiInDevice> open_input(int, MidiInDeviceListener&) override { return nullptr; }
  std::unique_ptr<MidiOutDevice> open_output(int, MidiOutDeviceListener&) override {
    return nullptr;
  }

  HandWatch hand;
  std::unique_ptr<DeviceWatch> watch(Clock&, DeviceWatchListener& listener) override {
    return hand.watch(listener);
  }
  void tell(const DeviceEvent& event) { hand.tell(event); }
};

class NamedAudioService : public AudioService {
 public:
  std::vector<AudioDeviceInfo> inputs, outputs;
  std::vector<AudioDeviceInfo> input_devices() override { return inputs; }
  std::vector<AudioDeviceInfo> output_devices() override { return outputs; }
  std::unique_ptr<WaveOutDevice> open_output(int, WaveOutDeviceListener&) override {
    return nullptr;
  }
  HandWatch hand;
  std::unique_ptr<DeviceWatch> watch(Clock&, DeviceWatchListener& listener) override {
    return hand.watch(listener);
  }
};

class MemoryStore : public SettingsStore {
 public:
  std::map<std::string, std::string> values;
  bool readable = true, writable = true;
  int writes = 0;
  std::optional<std::string> read(const std::string& name) override {
    auto it = values.find(name);
    if (!readable || it == values.end()) return std::nullopt;
    return it->second;
  }
  bool write(const std::string& name, const std::string& text) override {
    if (!writable) return false;
    ++writes;
    values[name] = text;
    return true;
  }
};

// Logs "open NAME k" and "close NAME" into a shared list; fails to open the choices in `fails`.
class LoggingHooks : public DeviceHooks {
 public:
  LoggingHooks(std::string name, std::vector<std::string>& log)
      : name_(std::move(name)), log_(log) {}
  std::vector<int> fails;
  int open(int choice) override {
    log_.push_back("open " + name_ + " " + std::to_string(choice));
    if (choice == 0) return 0;
    for (int f : fails)
      if (f == choice) return 0;
    return choice;
  }
  void close() override { log_.push_back("close " + name_); }

 private:
  std::string name_;
  std::vector<std::string>& log_;
};

}  // namespace brisca::test
