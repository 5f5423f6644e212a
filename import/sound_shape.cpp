#include "import/sound_shape.h"

#include <array>
#include <cmath>
#include <filesystem>

namespace brisca {

double rate_for_pitch(int pitch) {
  return kTopRate * std::exp2(-pitch / 8.0);
}

std::optional<int> pitch_for_rate(double hz) {
  if (!(hz >= kLowestImportRate && hz <= kTopRate)) return std::nullopt;  // NaN too
  int best = 0;
  for (int b = 1; b <= kMaxImportPitch; ++b)
    if (std::fabs(rate_for_pitch(b) - hz) < std::fabs(rate_for_pitch(best) - hz)) best = b;
  return best;
}

std::size_t trimmed_length(std::span<const float> samples, float threshold) {
  std::size_t keep = samples.size();
  while (keep > 1 && !(std::fabs(samples[keep - 1]) >= threshold)) --keep;
  return std::min<std::size_t>(std::max<std::size_t>(keep, 1), samples.size());
}

namespace {

// U+00C0 .. U+00FF.
constexpr std::array<std::string_view, 64> kLatin1{
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I",  "I",
    "D", "N", "O", "O", "O", "O", "O",  "x", "O", "U", "U", "U", "U", "Y", "TH", "ss",
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i",  "i",
    "d", "n", "o", "o", "o", "o", "o",  "_", "o", "u", "u", "u", "u", "y", "th", "y"};
// U+0100 .. U+017F, one letter each; U+0132, U+0133, U+0152 and U+0153 are two letters.
constexpr std::string_view kLatinA =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi"
    "..JjKkkLlLlLlLlLlNnNnNnnNnOoOoOo..RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";

std::string_view spelling(char32_t c) {
  if (c >= 0x20 && c < 0x7F) return {};  // the caller keeps it
  if (c >= 0xC0 && c <= 0xFF) return kLatin1[c - 0xC0];
  switch (c) {
    case 0x132:
      return "IJ";
    case 0x133:
      return "ij";
    case 0x152:
      return "OE";
    case 0x153:
      return "oe";
    case 0xA0:
      return " ";
    case 0x2018:
    case 0x2019:
    case 0xB4:
      return "'";
    case 0x201C:
    case 0x201D:
    case 0xAB:
    case 0xBB:
      return "\"";
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2013:
    case 0x2014:
      return "-";
    default:
      break;
  }
  if (c >= 0x100 && c <= 0x17F) return kLatinA.substr(c - 0x100, 1);
  return "_";
}

// The next code point of `text` from `pos`, or U+FFFD for a byte that does not start a valid
// UTF-8 sequence (one byte is then used).
char32_t next_code_point(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  int extra = lead < 0x80         ? 0
              : (lead >> 5) == 6  ? 1
              : (lead >> 4) == 14 ? 2
              : (lead >> 3) == 30 ? 3
                                  : -1;
  if (extra < 0 || pos + static_cast<std::size_t>(extra) >= text.size()) {
    ++pos;
    return 0xFFFD;
  }
  char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
  for (int i = 1; i <= extra; ++i) {
    const auto b = static_cast<unsigned char>(text[pos + static_cast<std::size_t>(i)]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    c = (c << 6) | (b & 0x3F);
  }
  pos += static_cast<std::size_t>(extra) + 1;
  return c;
}

}  // namespace

std::string header_name_from(std::string_view utf8) {
  std::string name;
  for (std::size_t pos = 0; pos < utf8.size() && name.size() < kNameBytes;) {
    const char32_t c = next_code_point(utf8, pos);
    if (c >= 0x20 && c < 0x7F)
      name += static_cast<char>(c);
    else
      name += spelling(c);
  }
  if (name.size() > kNameBytes) name.resize(kNameBytes);
  return name;
}

std::string header_name_for_file(std::string_view path) {
  return header_name_from(std::filesystem::path(path).stem().string());
}

bool valid_type(std::string_view type) {
  if (type.size() != 4) return false;
  for (char c : type)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

}  // namespace brisca
