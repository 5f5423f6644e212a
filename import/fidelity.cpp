#include "import/fidelity.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "preview/block_source.h"
#include "preview/decoder.h"
#include "preview/kernel.h"

namespace brisca {
namespace {

constexpr std::size_t kBufferSamples = kPreviewBufferBytes / 2;
constexpr std::size_t kFillThreshold = kFillThresholdBytes / 2;

// Runs `decode(k, out, room)` for the blocks in the order and with the room of the preview's
// buffer fills (a fill takes blocks until it holds more than the threshold), and hands each
// fill to `take(samples, count)`.
template <typename T, typename Decode, typename Take>
void run_fills(std::size_t blocks, Decode decode, Take take) {
  std::vector<T> buffer(kBufferSamples);
  std::size_t k = 0;
  while (k < blocks) {
    std::size_t filled = 0;
    while (filled <= kFillThreshold && filled < kBufferSamples && k < blocks)
      filled += decode(k++, buffer.data() + filled, kBufferSamples - filled);
    take(buffer.data(), filled);
  }
}

// The decoder's walk through one block, on a history of doubles: the same phases, rows and
// windows, the same room limit and phase carry.
std::size_t ideal_block(const double* history, int pitch_byte, std::size_t room, double* out,
                        double& carry) {
  const double* kernel = kernel_doubles();
  const double step = step_for_pitch(pitch_byte);
  double frac = carry * step;
  auto row_of = [](double f) {
    if (!(f > 0.0)) return 0;
    if (f >= 1.0) return kKernelRows - 1;
    return static_cast<int>(f * 512.0);
  };
  auto sum = [&](int row, std::size_t m) {
    const double* w = kernel + row * kKernelStride;
    double v = 0.0;
    for (int i = 0; i < kKernelTaps; ++i) v += w[i] * history[m + static_cast<std::size_t>(i)];
    return v;
  };
  std::size_t count = 0, m = 0;
  int row = row_of(frac);
  double acc = 0.0;
  while (true) {
    // Row 0 is (0, 0, w, 0, 0, 0): its sum is w x history value 2.
    out[count++] = row == 0 ? kernel[2] * history[m + 2] : sum(row, m);
    acc += step;
    const double whole = std::floor(acc);
    frac = acc - whole;
    row = static_cast<int>(frac * 512.0);
    m = pitch_byte <= 0 ? m + 1 : static_cast<std::size_t>(whole);
    if (m == kSamplesPerBlock || count == room) break;
  }
  carry = frac / step;
  return count;
}

}  // namespace

std::vector<std::int16_t> decode_like_render(std::span<const UnpackedBlock> blocks) {
  double carry = 0.0;
  std::vector<std::int16_t> all;
  run_fills<std::int16_t>(
      blocks.size(),
      [&](std::size_t k, std::int16_t* out, std::size_t room) {
        return decode_block(out, room, blocks[k], carry) / 2;
      },
      [&](const std::int16_t* samples, std::size_t n) {
        all.insert(all.end(), samples, samples + n);
      });
  return all;
}

double ideal_snr_db(std::span<const std::int16_t> decoded, std::size_t blocks, int pitch_byte,
                    const HistoryOf& history_of) {
  double carry = 0.0, signal = 0.0, noise = 0.0;
  std::size_t at = 0;
  std::vector<double> history(kHistoryValues);
  run_fills<double>(
      blocks,
      [&](std::size_t k, double* out, std::size_t room) {
        history_of(k, history.data());
        return ideal_block(history.data(), pitch_byte, room, out, carry);
      },
      [&](const double* r, std::size_t n) {
        for (std::size_t i = 0; i < n && at < decoded.size(); ++i, ++at) {
          const double e = r[i] - decoded[at];
          signal += r[i] * r[i];
          noise += e * e;
        }
      });
  if (noise == 0.0) return std::numeric_limits<double>::infinity();
  return 10.0 * std::log10(signal / noise);
}

}  // namespace brisca
