#include "cable/cable_check.h"

namespace brisca {
namespace {

constexpr std::uint8_t kNonCommercialId = 0x7D;

// The number a message carries, or -1 when its head is not that of a test message.
std::int64_t message_number(const std::vector<std::uint8_t>& m) {
  if (m.size() < 6 || m[1] != kNonCommercialId) return -1;
  if ((m[2] ^ m[4]) != 0x7F || (m[3] ^ m[5]) != 0x7F) return -1;
  return std::int64_t{m[2]} << 7 | m[3];
}

}  // namespace

std::vector<std::uint8_t> cable_message(std::uint32_t number) {
  std::vector<std::uint8_t> m(kCableMessageBytes);
  m[0] = 0xF0;
  m[1] = kNonCommercialId;
  m[2] = static_cast<std::uint8_t>((number >> 7) & 0x7F);
  m[3] = static_cast<std::uint8_t>(number & 0x7F);
  m[4] = static_cast<std::uint8_t>(m[2] ^ 0x7F);
  m[5] = static_cast<std::uint8_t>(m[3] ^ 0x7F);
  // A different run of every 7-bit value for each message (a linear congruential sequence).
  std::uint32_t state = number * 2654435761u + 12345u;
  for (std::size_t i = 6; i + 1 < m.size(); ++i) {
    state = state * 1103515245u + 12345u;
    m[i] = static_cast<std::uint8_t>((state >> 16) & 0x7F);
  }
  m.back() = 0xF7;
  return m;
}

std::uint32_t CableCheck::add_sent(int pace) {
  fates_.push_back(Fate::Waiting);
  paces_.push_back(pace);
  return static_cast<std::uint32_t>(fates_.size() - 1);
}

void CableCheck::feed(const std::uint8_t* data, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t byte = data[i];
    if (byte >= 0xF8) continue;  // real time: may sit anywhere, ends nothing
    if (byte >= 0x80 && byte != 0xF7) end_message();
    if (byte == 0xF0) {
      inside_ = true;
      message_.clear();
    }
    if (!inside_) continue;
    message_.push_back(byte);
    // A message that runs on far beyond its length lost its F7 and all that followed.
    if (byte == 0xF7 || message_.size() > 2 * kCableMessageBytes) end_message();
  }
}

void CableCheck::cut() {
  end_message();
}

void CableCheck::end_message() {
  if (!inside_) return;
  inside_ = false;
  const std::int64_t number = message_number(message_);
  if (number < 0) return;
  anything_back_ = true;
  if (number < std::int64_t{next_awaited_} || number >= static_cast<std::int64_t>(fates_.size()))
    return;
  const auto n = static_cast<std::uint32_t>(number);
  for (std::uint32_t k = next_awaited_; k < n; ++k) settle(k, Fate::Lost);
  settle(n, message_ == cable_message(n) ? Fate::Whole : Fate::Damaged);
  next_awaited_ = n + 1;
}

void CableCheck::settle(std::uint32_t number, Fate fate) {
  fates_[number] = fate;
  if (fate == Fate::Whole) ++whole_total_;
}

void CableCheck::close() {
  end_message();
  for (std::uint32_t k = next_awaited_; k < fates_.size(); ++k) settle(k, Fate::Lost);
  next_awaited_ = static_cast<std::uint32_t>(fates_.size());
}

CableCount CableCheck::count(int pace) const {
  CableCount c;
  for (std::size_t k = 0; k < fates_.size(); ++k) {
    if (paces_[k] != pace) continue;
    ++c.sent;
    if (fates_[k] == Fate::Whole) ++c.whole;
    if (fates_[k] == Fate::Damaged) ++c.damaged;
    if (fates_[k] == Fate::Lost) ++c.lost;
  }
  return c;
}

bool CableCheck::settled(int pace) const {
  for (std::size_t k = 0; k < fates_.size(); ++k)
    if (paces_[k] == pace && fates_[k] == Fate::Waiting) return false;
  return true;
}

}  // namespace brisca
