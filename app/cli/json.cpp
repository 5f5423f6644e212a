#include "app/cli/json.h"

#include <nlohmann/json.hpp>

namespace brisca::cli {

// The library's strict UTF-8 decoder: overlong forms, surrogates, code points beyond U+10FFFF
// and cut-off sequences are each replaced with U+FFFD, never passed on and never thrown.
std::string json_string(std::string_view text) {
  return nlohmann::json(std::string(text))
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace brisca::cli
