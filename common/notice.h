// What a core part has to tell the user, or ask: the front end shows it in its own way (a box in
// the window, a line on the command line) and, for a question, passes the answer back.
#pragma once

#include <functional>
#include <string>

namespace brisca {

struct Notice {
  enum class Kind {
    Warning,   // told, with one button to close it
    Question,  // asked, answered yes or no
  };
  Kind kind = Kind::Warning;
  std::string text;
  std::string caption;
  bool operator==(const Notice&) const = default;
};

inline Notice warning(std::string text, std::string caption) {
  return Notice{Notice::Kind::Warning, std::move(text), std::move(caption)};
}
inline Notice question(std::string text, std::string caption) {
  return Notice{Notice::Kind::Question, std::move(text), std::move(caption)};
}

// Shows a notice and waits for the answer: true for yes (and for a warning once closed).
using AskUser = std::function<bool(const Notice&)>;

}  // namespace brisca
