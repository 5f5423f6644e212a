// The sounds the encoder is measured on: generated drum-like hits, and recorded hits read from
// folders of WAV or FLAC files (mixed to mono, at most 3 s each).
#pragma once

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "tools/example_sounds.h"
#include "tools/noise.h"

namespace brisca::bench {

struct Hit {
  std::string name;
  std::vector<float> samples;  // 44.1 kHz, full scale 1.0
};

inline constexpr double kRate = 44100.0;

namespace synth {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

using brisca::Noise;

inline double t_of(std::size_t i) {
  return static_cast<double>(i) / kRate;
}

// Metal: six detuned squares plus noise, first-differenced (bright), decaying.
inline std::vector<double> metal(double seconds, double base, double decay, std::uint32_t seed) {
  const double ratios[] = {1.0, 1.483, 1.800, 2.546, 2.630, 3.897};
  Noise noise(seed);
  std::vector<double> x(static_cast<std::size_t>(seconds * kRate));
  double prev = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    double v = 1.5 * noise.next();
    for (double r : ratios) v += std::sin(kTwoPi * base * r * t_of(i)) >= 0 ? 0.5 : -0.5;
    x[i] = (v - prev) * std::exp(-t_of(i) / decay);
    prev = v;
  }
  return x;
}

// A drum head: a sine gliding from `high` to `low`, with a burst of noise for the stick.
inline std::vector<double> head(double seconds, double low, double high, double decay, double stick,
                                std::uint32_t seed) {
  Noise noise(seed);
  std::vector<double> x(static_cast<std::size_t>(seconds * kRate));
  double phase = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double t = t_of(i);
    x[i] = std::sin(phase) * std::exp(-t / decay) + stick * noise.next() * std::exp(-t / 0.004);
    phase += kTwoPi * (low + (high - low) * std::exp(-t / 0.03)) / kRate;
  }
  return x;
}

// Noise through a two-pole band around `centre`, under an envelope.
inline std::vector<double> band(double seconds, double centre, double q, double attack,
                                double decay, std::uint32_t seed) {
  Noise noise(seed);
  const double r = std::exp(-std::numbers::pi * centre / (q * kRate));
  const double a1 = 2.0 * r * std::cos(kTwoPi * centre / kRate), a2 = -r * r;
  std::vector<double> x(static_cast<std::size_t>(seconds * kRate));
  double y1 = 0.0, y2 = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double y = (1.0 - r) * noise.next() + a1 * y1 + a2 * y2;
    y2 = y1;
    y1 = y;
    const double t = t_of(i);
    x[i] = y * (1.0 - std::exp(-t / attack)) * std::exp(-t / decay);
  }
  return x;
}

inline std::vector<float> scaled(const std::vector<double>& x, double peak) {
  double top = 0.0;
  for (double v : x) top = std::max(top, std::abs(v));
  std::vector<float> out(x.size());
  for (std::size_t i = 0; i < x.size(); ++i)
    out[i] = static_cast<float>(top > 0.0 ? x[i] * peak / top : 0.0);
  return out;
}

inline std::vector<float> from_16bit(const std::vector<std::int16_t>& s) {
  std::vector<float> out(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) out[i] = static_cast<float>(s[i] / 32768.0);
  return out;
}

}  // namespace synth

inline std::vector<Hit> generated_hits() {
  using namespace synth;
  std::vector<Hit> hits;
  for (const auto& e : examples::all_examples())
    hits.push_back({"gen/" + e.file.substr(0, e.file.size() - 4), from_16bit(e.samples)});
  hits.push_back({"gen/crash", scaled(metal(3.0, 340.0, 0.9, 11), 0.8)});
  hits.push_back({"gen/ride", scaled(metal(2.0, 520.0, 0.7, 12), 0.5)});
  hits.push_back({"gen/open-hat", scaled(metal(0.6, 410.0, 0.2, 13), 0.7)});
  hits.push_back({"gen/shaker", scaled(band(0.25, 7000.0, 1.0, 0.02, 0.05, 14), 0.6)});
  hits.push_back({"gen/conga", scaled(head(0.4, 320.0, 360.0, 0.12, 0.3, 15), 0.9)});
  hits.push_back({"gen/cowbell", scaled(band(0.3, 800.0, 30.0, 0.0005, 0.08, 16), 0.8)});
  hits.push_back({"gen/rim", scaled(band(0.1, 1700.0, 8.0, 0.0002, 0.012, 17), 0.95)});
  hits.push_back({"gen/sub-kick", scaled(head(1.5, 48.0, 120.0, 0.5, 0.05, 18), 0.99)});
  hits.push_back({"gen/floor-tom", scaled(head(0.8, 82.0, 120.0, 0.25, 0.15, 19), 0.9)});
  return hits;
}

// Every .wav and .flac under `folder` (sorted by path), at 44.1 kHz, mixed to mono, cut to 3 s.
inline std::vector<Hit> recorded_hits(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string ext = it->path().extension().string();
    if (ext == ".wav" || ext == ".flac") files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  std::vector<Hit> hits;
  for (const fs::path& path : files) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) continue;
    if (info.samplerate == 44100 && info.channels > 0) {
      const auto frames = std::min<sf_count_t>(info.frames, 3 * 44100);
      std::vector<float> all(static_cast<std::size_t>(frames * info.channels));
      const sf_count_t got = sf_readf_float(f, all.data(), frames);
      Hit hit{path.parent_path().filename().string() + "/" + path.stem().string(), {}};
      for (sf_count_t i = 0; i < got; ++i) {
        double sum = 0.0;
        for (int c = 0; c < info.channels; ++c)
          sum += all[static_cast<std::size_t>(i * info.channels + c)];
        hit.samples.push_back(static_cast<float>(sum / info.channels));
      }
      if (!hit.samples.empty()) hits.push_back(std::move(hit));
    }
    sf_close(f);
  }
  return hits;
}

}  // namespace brisca::bench
