#include "import/level.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "import/loudness.h"

namespace brisca {
namespace {

// The decoder holds its output within +-32767; a sample there may have been cut, so the aim is
// a little below it.
constexpr double kRail = 32767.0;
constexpr double kAimPeak = 32700.0;
constexpr int kMostPasses = 4;  // then only clipping goes on lowering the gain
constexpr int kHardestLimit = 12;
constexpr double kCloseEnough = 0.005;  // about 0.04 dB

double peak_of(std::span<const std::int16_t> samples) {
  int peak = 0;
  for (std::int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  return peak;
}

double peak_of(std::span<const float> samples) {
  float peak = 0.0f;
  for (float s : samples) peak = std::max(peak, std::abs(s));
  return peak;
}

double db(double ratio) {
  return ratio > 0.0 ? 20.0 * std::log10(ratio) : -HUGE_VAL;
}

double ratio_of(double decibels) {
  return std::pow(10.0, decibels / 20.0);
}

EncodedSound encode_scaled(std::span<const float> source, double gain, int pitch_byte) {
  std::vector<float> scaled(source.begin(), source.end());
  for (float& s : scaled) s = static_cast<float>(s * gain);
  EncoderOptions options;
  options.pitch_byte = pitch_byte;
  return encode_sound(scaled, options);
}

void measure(LeveledSound& out, double gain) {
  const double peak = peak_of(out.sound.decoded);
  out.gain_db = db(gain);
  out.peak_dbfs = db(peak / 32768.0);
  out.loudness_lufs = loudness_lufs(out.sound.decoded);
  out.clipped = peak >= kRail;
}

// The first guess: the source's own peak or loudness stands for the decoded one.
double first_gain(std::span<const float> source, int pitch_byte, const LevelChoice& level) {
  const double peak = peak_of(source) * 32768.0;
  if (!(peak > 0.0)) return 1.0;
  const double peak_gain = kAimPeak / peak;
  if (level.mode == LevelMode::kPeak) return peak_gain;
  const double rate = 44100.0 * std::pow(2.0, -pitch_byte / 8.0);
  const double lufs = loudness_lufs(source, rate);
  if (!std::isfinite(lufs)) return 1.0;
  return std::min(ratio_of(level.value - lufs), peak_gain);
}

}  // namespace

LeveledSound encode_leveled(std::span<const float> source, int pitch_byte,
                            const LevelChoice& level) {
  LeveledSound out;
  if (level.mode == LevelMode::kAsIs || level.mode == LevelMode::kGain) {
    const double gain = level.mode == LevelMode::kGain ? ratio_of(level.value) : 1.0;
    out.sound = encode_scaled(source, gain, pitch_byte);
    measure(out, gain);
    return out;
  }
  double gain = first_gain(source, pitch_byte, level);
  for (int pass = 0; pass < kHardestLimit && (pass < kMostPasses || out.clipped); ++pass) {
    out.sound = encode_scaled(source, gain, pitch_byte);
    measure(out, gain);
    const double peak = peak_of(out.sound.decoded);
    if (!(peak > 0.0)) break;  // silence stays silence
    const double peak_gain = gain * kAimPeak / peak;
    double next = peak_gain;
    out.limited = false;
    if (level.mode == LevelMode::kLoudness && std::isfinite(out.loudness_lufs)) {
      next = gain * ratio_of(level.value - out.loudness_lufs);
      out.limited = next >= peak_gain;
      next = std::min(next, peak_gain);
    }
    // A clipped result hides its true peak: take off more than the rail's overshoot shows.
    if (out.clipped) next = std::min(next, gain * 0.97);
    if (!out.clipped && std::abs(next / gain - 1.0) < kCloseEnough) break;
    gain = next;
  }
  return out;
}

std::string level_text(const LevelChoice& level) {
  char text[48];
  switch (level.mode) {
    case LevelMode::kAsIs:
      return "as is";
    case LevelMode::kPeak:
      return "peak";
    case LevelMode::kLoudness:
      std::snprintf(text, sizeof text, "%g LUFS", level.value);
      return text;
    case LevelMode::kGain:
      std::snprintf(text, sizeof text, "%+.1f dB", level.value);
      return text;
  }
  return {};
}

}  // namespace brisca
