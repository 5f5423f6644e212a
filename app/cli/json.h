// Minimal JSON text output for the command line's --json forms.
#pragma once

#include <string>
#include <string_view>

namespace brisca::cli {

// A JSON string literal, quotes included; bytes that are not valid UTF-8 are replaced with
// U+FFFD so that the output always parses, even by strict parsers.
std::string json_string(std::string_view text);

}  // namespace brisca::cli
