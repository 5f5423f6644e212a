#include "tools/example_sounds.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/noise.h"

namespace brisca::examples {
namespace {

constexpr double kRate = 44100.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

using brisca::Noise;

std::vector<double> silence(double seconds) {
  return std::vector<double>(static_cast<std::size_t>(seconds * kRate), 0.0);
}

// Scales so that the loudest sample is `peak` of full scale.
std::vector<std::int16_t> to_samples(const std::vector<double>& x, double peak) {
  double top = 0.0;
  for (double v : x) top = std::max(top, std::abs(v));
  const double scale = top > 0.0 ? peak * 32767.0 / top : 0.0;
  std::vector<std::int16_t> out(x.size());
  for (std::size_t i = 0; i < x.size(); ++i)
    out[i] = static_cast<std::int16_t>(std::lround(std::clamp(x[i] * scale, -32767.0, 32767.0)));
  return out;
}

// A sine whose frequency glides from `high` down to `low` with time constant `glide`.
void add_swept_sine(std::vector<double>& x, double low, double high, double glide, double decay,
                    double level) {
  double phase = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double f = low + (high - low) * std::exp(-t / glide);
    x[i] += level * std::sin(phase) * std::exp(-t / decay);
    phase += kTwoPi * f / kRate;
  }
}

// Two-pole resonator over white noise: a band around `centre`.
void add_band_noise(std::vector<double>& x, Noise& noise, double centre, double q,
                    const std::vector<double>& envelope) {
  const double r = std::exp(-std::numbers::pi * centre / (q * kRate));
  const double a1 = 2.0 * r * std::cos(kTwoPi * centre / kRate), a2 = -r * r;
  double y1 = 0.0, y2 = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double y = (1.0 - r) * noise.next() + a1 * y1 + a2 * y2;
    y2 = y1;
    y1 = y;
    x[i] += y * envelope[i];
  }
}

std::vector<double> exp_envelope(std::size_t n, double start, double decay) {
  std::vector<double> e(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kRate - start;
    if (t >= 0.0) e[i] = std::exp(-t / decay);
  }
  return e;
}

}  // namespace

std::vector<std::int16_t> kick() {
  std::vector<double> x = silence(0.5);
  add_swept_sine(x, 45.0, 150.0, 0.04, 0.18, 1.0);
  Noise noise(1);
  for (std::size_t i = 0; i < 88; ++i) x[i] += 0.25 * noise.next() * (1.0 - i / 88.0);  // beater
  return to_samples(x, 0.9);
}

std::vector<std::int16_t> snare() {
  std::vector<double> x = silence(0.3);
  add_swept_sine(x, 180.0, 200.0, 0.01, 0.06, 0.5);
  add_swept_sine(x, 330.0, 340.0, 0.01, 0.05, 0.3);
  Noise noise(2);
  add_band_noise(x, noise, 5000.0, 0.7, exp_envelope(x.size(), 0.0, 0.09));
  return to_samples(x, 0.85);
}

std::vector<std::int16_t> closed_hat() {
  // Six detuned square waves, as metal cymbals are often made, high-passed, with a short decay.
  std::vector<double> x = silence(0.12);
  const double freqs[] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
  std::vector<double> metal(x.size(), 0.0);
  for (double f : freqs)
    for (std::size_t i = 0; i < x.size(); ++i)
      metal[i] += std::sin(kTwoPi * 8.0 * f * static_cast<double>(i) / kRate) >= 0 ? 1.0 : -1.0;
  Noise noise(3);
  double prev = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double v = metal[i] + 2.0 * noise.next();
    x[i] = (v - prev) * std::exp(-t / 0.025);  // first difference: a gentle high-pass
    prev = v;
  }
  return to_samples(x, 0.7);
}

std::vector<std::int16_t> clap() {
  // Three quick bursts of band noise and then a longer tail.
  std::vector<double> x = silence(0.35);
  std::vector<double> envelope(x.size(), 0.0);
  for (double start : {0.0, 0.011, 0.023}) {
    const auto burst = exp_envelope(x.size(), start, 0.004);
    for (std::size_t i = 0; i < x.size(); ++i) envelope[i] += burst[i];
  }
  const auto tail = exp_envelope(x.size(), 0.034, 0.09);
  for (std::size_t i = 0; i < x.size(); ++i) envelope[i] += 0.7 * tail[i];
  Noise noise(4);
  add_band_noise(x, noise, 1200.0, 1.5, envelope);
  return to_samples(x, 0.85);
}

std::vector<std::int16_t> tom() {
  std::vector<double> x = silence(0.4);
  add_swept_sine(x, 110.0, 170.0, 0.05, 0.15, 1.0);
  return to_samples(x, 0.85);
}

std::vector<ExampleSound> all_examples() {
  return {
      {"kick.mid", "Example Kick", "DRUM", kick()},
      {"snare.mid", "Example Snare", "DRUM", snare()},
      {"hat.mid", "Example Closed Hat", "DRUM", closed_hat()},
      {"clap.mid", "Example Clap", "DRUM", clap()},
      {"tom.mid", "Example Tom", "DRUM", tom()},
  };
}

std::vector<std::int16_t> drum_loop(double seconds) {
  const std::size_t length = static_cast<std::size_t>(seconds * kRate);
  std::vector<double> mix(length, 0.0);
  const std::size_t sixteenth = static_cast<std::size_t>(kRate * 60.0 / 120.0 / 4.0);
  const std::vector<std::int16_t> parts[] = {kick(), snare(), closed_hat(), clap(), tom()};
  // Per sixteenth step of a bar: which sounds start there (bit k = sound k).
  const int pattern[16] = {1 | 4, 4, 4, 4, 2 | 4, 4, 1 | 4, 4, 1 | 4, 4, 4, 16, 2 | 8, 4, 16, 4};
  for (std::size_t at = 0, step = 0; at < length; at += sixteenth, step = (step + 1) % 16) {
    for (int k = 0; k < 5; ++k) {
      if (!(pattern[step] & (1 << k))) continue;
      const auto& p = parts[k];
      for (std::size_t i = 0; i < p.size() && at + i < length; ++i) mix[at + i] += 0.5 * p[i];
    }
  }
  std::vector<std::int16_t> out(length);
  for (std::size_t i = 0; i < length; ++i)
    out[i] = static_cast<std::int16_t>(std::clamp(std::lround(mix[i]), -32767L, 32767L));
  return out;
}

}  // namespace brisca::examples
