// A small fixed noise source (xorshift), so synthesised sounds come out the same on every
// machine.
#pragma once

#include <cstdint>

namespace brisca {

class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed) {}
  double next() {  // -1 .. 1
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
  }

 private:
  std::uint32_t state_;
};

}  // namespace brisca
