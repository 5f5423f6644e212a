// A window that records what the core asks of it, for tests without a display.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "common/window_port.h"

namespace brisca::test {

struct Box {
  std::string text, caption;
  BoxIcon icon;
  BoxButtons buttons;
};

struct Posted {
  WindowMessage message;
  std::uintptr_t wparam, lparam;
};

class FakeWindow : public WindowPort {
 public:
  void set_field_text(Field field, std::string_view text) override {
    fields[field] = std::string(text);
    field_log.emplace_back(field, std::string(text));
  }
  BoxAnswer message_box(std::string_view text, std::string_view caption, BoxIcon icon,
                        BoxButtons buttons) override {
    boxes.push_back({std::string(text), std::string(caption), icon, buttons});
    return buttons == BoxButtons::Ok ? BoxAnswer::Ok : answer;
  }
  void post_message(WindowMessage message, std::uintptr_t wparam,
                    std::uintptr_t lparam) override {
    std::lock_guard lock(mutex);
    posted.push_back({message, wparam, lparam});
  }
  void start_timer(int id, int period_ms) override { timers[id] = period_ms; }
  void stop_timer(int id) override { timers.erase(id); }

  // Takes the oldest posted message, if any.
  bool take_posted(Posted& out) {
    std::lock_guard lock(mutex);
    if (posted.empty()) return false;
    out = posted.front();
    posted.pop_front();
    return true;
  }
  std::string field(Field f) const {
    auto it = fields.find(f);
    return it == fields.end() ? std::string() : it->second;
  }

  std::map<Field, std::string> fields;
  std::vector<std::pair<Field, std::string>> field_log;
  std::vector<Box> boxes;
  std::map<int, int> timers;  // running timers: id -> period
  BoxAnswer answer = BoxAnswer::Yes;  // what a Yes/No box answers
  std::mutex mutex;
  std::deque<Posted> posted;
};

}  // namespace brisca::test
