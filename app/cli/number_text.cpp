#include "app/cli/number_text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 200000
#define BRISCA_NO_FLOAT_CHARCONV 1
#endif

namespace brisca::cli {

// The stand-in converts the prefix with strtod, in the C locale the WebAssembly build runs in.
std::from_chars_result decimal_from_chars(const char* begin, const char* end, double& value) {
#ifdef BRISCA_NO_FLOAT_CHARCONV
  const char* p = begin;
  const auto digits = [&] {
    const char* from = p;
    while (p != end && *p >= '0' && *p <= '9') ++p;
    return p - from;
  };
  if (p != end && *p == '-') ++p;
  auto count = digits();
  if (p != end && *p == '.') {
    ++p;
    count += digits();
  }
  if (count == 0) return {begin, std::errc::invalid_argument};
  if (p != end && (*p == 'e' || *p == 'E')) {
    const char* mantissa_end = p++;
    if (p != end && (*p == '+' || *p == '-')) ++p;
    if (digits() == 0) p = mantissa_end;
  }
  errno = 0;
  const double read = std::strtod(std::string(begin, p).c_str(), nullptr);
  if (errno == ERANGE) return {p, std::errc::result_out_of_range};
  value = read;
  return {p, std::errc()};
#else
  return std::from_chars(begin, end, value);
#endif
}

// The stand-in takes the fewest digits that printf's %e reads back exactly, then lays them out
// both ways.
std::string shortest_text(double value) {
#ifdef BRISCA_NO_FLOAT_CHARCONV
  if (!std::isfinite(value)) return std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf";
  char e[40];
  for (int precision = 0; precision < 17; ++precision) {
    std::snprintf(e, sizeof e, "%.*e", precision, value);
    if (std::strtod(e, nullptr) == value) break;
  }
  std::string text(e);
  const std::size_t at = text.find('e');
  const int exponent = std::atoi(text.c_str() + at + 1);
  std::string sign = text[0] == '-' ? "-" : "";
  std::string digits;
  for (std::size_t i = sign.size(); i < at; ++i)
    if (text[i] != '.') digits += text[i];
  // Scientific: "1e+20", "1.5e-07", as to_chars writes it.
  std::string sci = sign + digits.substr(0, 1) + (digits.size() > 1 ? "." + digits.substr(1) : "");
  char exp_text[8];
  std::snprintf(exp_text, sizeof exp_text, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  sci += exp_text;
  // Fixed: the digits with the point placed, zeros filled in.
  const int n = static_cast<int>(digits.size());
  std::string fixed;
  if (exponent < 0)
    fixed = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  else if (exponent + 1 >= n)
    fixed = digits + std::string(static_cast<std::size_t>(exponent + 1 - n), '0');
  else
    fixed = digits.substr(0, static_cast<std::size_t>(exponent + 1)) + "." +
            digits.substr(static_cast<std::size_t>(exponent + 1));
  fixed = sign + fixed;
  return fixed.size() <= sci.size() ? fixed : sci;
#else
  char text[32];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return ec == std::errc() ? std::string(text, end) : std::string("0");
#endif
}

}  // namespace brisca::cli
