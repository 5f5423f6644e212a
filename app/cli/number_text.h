// Numbers as the command line reads and writes them: decimal only, and the shortest text that
// reads back as the same double. std::from_chars and std::to_chars do both where the standard
// library has them for floating point; libc++ before version 20 (the WebAssembly build's) has
// not, and gets stand-ins that give the same results.
#pragma once

#include <charconv>
#include <string>

namespace brisca::cli {

// As std::from_chars(begin, end, value): the longest prefix of an optional minus sign, digits
// with at most one point, and an exponent; no blank, plus sign or hexadecimal.
std::from_chars_result decimal_from_chars(const char* begin, const char* end, double& value);

// As std::to_chars(value): the fewest significant digits that read back as `value`, in fixed
// or scientific notation, whichever is shorter (fixed when both are as long).
std::string shortest_text(double value);

}  // namespace brisca::cli
