#include "app/cli/json.h"

#include <cstdio>

namespace brisca::cli {
namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0 when it is not valid.
std::size_t utf8_length(std::string_view s, std::size_t i) {
  auto c = static_cast<unsigned char>(s[i]);
  std::size_t n = c < 0x80           ? 1
                  : (c >> 5) == 0x6  ? 2
                  : (c >> 4) == 0xE  ? 3
                  : (c >> 3) == 0x1E ? 4
                                     : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

}  // namespace

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = utf8_length(text, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    if (n > 1) {
      out.append(text.substr(i, n));
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
    i += n;
  }
  out += '"';
  return out;
}

}  // namespace brisca::cli
