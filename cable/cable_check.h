// What the cable test sends and what it makes of what comes back.
//
// The test messages are System Exclusive messages of a sound-dump block's length (1174 bytes)
// with varied data, so that every byte value a block may hold goes over the cable. They carry
// the non-commercial manufacturer id (7D), which no module acts on: a module whose thru closes
// the loop passes them on and stores nothing. Bytes 2-3 number the message (7 bits each) and
// bytes 4-5 repeat the number inverted, so a piece of a message cut short is not taken for
// another message.
//
// The bytes that come back are put together into messages (an F0 to its F7, or to the status
// byte that cut it short; real-time bytes taken out), each one matched by its number to the
// message sent and compared byte for byte. Messages never overtake one another, so when
// message n arrives every earlier one still missing is lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brisca {

inline constexpr std::size_t kCableMessageBytes = 1174;

// Message `number` of a test (F0 7D ... F7, kCableMessageBytes long).
std::vector<std::uint8_t> cable_message(std::uint32_t number);

struct CableCount {
  int sent = 0;
  int whole = 0;
  int damaged = 0;
  int lost = 0;
  bool operator==(const CableCount&) const = default;
};

class CableCheck {
 public:
  enum class Fate { Waiting, Whole, Damaged, Lost };

  // A message of pace `pace` is about to be sent; returns its number.
  std::uint32_t add_sent(int pace);
  // Bytes that came back (any part of any message); real-time bytes may sit among them.
  void feed(const std::uint8_t* data, std::size_t n);
  // A status byte other than real time came back as a short message: it ends a message.
  void cut();
  // Nothing more of the messages sent so far is awaited: a message half arrived is damaged,
  // the missing ones are lost, and what arrives of them later is passed over.
  void close();

  CableCount count(int pace) const;
  // Every message sent at `pace` has arrived or is known lost.
  bool settled(int pace) const;
  // Whether a byte of a test message ever came back.
  bool anything_back() const { return anything_back_; }
  // Messages that arrived whole so far, of any pace.
  int whole_total() const { return whole_total_; }

 private:
  void end_message();
  void settle(std::uint32_t number, Fate fate);

  std::vector<Fate> fates_;
  std::vector<int> paces_;
  std::uint32_t next_awaited_ = 0;
  std::vector<std::uint8_t> message_;
  bool inside_ = false;
  bool anything_back_ = false;
  int whole_total_ = 0;
};

}  // namespace brisca
