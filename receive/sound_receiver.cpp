#include "receive/sound_receiver.h"

#include <algorithm>
#include <cstdio>

#include "receive/sound_folder.h"
#include "soundfile/sound_block.h"

namespace brisca {
namespace {

constexpr int kBlockNumbers = 1 << 14;  // block numbers are 14 bits

}  // namespace

void SoundReceiver::long_data(const std::uint8_t* data, std::size_t n, Clock::time_point now) {
  if (n == 0) return;
  // Only the dump's own bytes keep it alive: other messages may go on arriving after it died.
  dump_bytes_seen_ = assembler_.in_block();
  assembler_.feed(data, n, *this);
  if (dump_bytes_seen_ || assembler_.in_block()) last_activity_ = now;
}

void SoundReceiver::poll(Clock::time_point now) {
  if (!in_progress() || now - last_activity_ < quiet_timeout_) return;
  assembler_.abandon(*this);
  const auto seconds = std::chrono::duration<double>(quiet_timeout_).count();
  char text[64];
  std::snprintf(text, sizeof text, "nothing arrived for %g s", seconds);
  if (sound_) end_sound(text);
}

void SoundReceiver::stop(const std::string& reason) {
  assembler_.abandon(*this);
  if (sound_) end_sound(reason);
}

void SoundReceiver::block(const std::uint8_t* data, std::size_t length) {
  dump_bytes_seen_ = true;
  const auto n = static_cast<std::uint32_t>(length);
  if (length < 8) {  // no room for a block number and any data: a broken block
    broken_block(data, length);
    return;
  }
  const std::uint16_t number = block_number(data, n);
  if (number == 0) {
    header_block(data, length);
  } else {
    data_block(number, data, length);
  }
}

void SoundReceiver::broken_block(const std::uint8_t* data, std::size_t length) {
  dump_bytes_seen_ = true;
  if (!sound_) return;  // nothing of it can be kept, and no sound is waiting for it
  const auto n = static_cast<std::uint32_t>(length);
  if (length >= 7 && block_number(data, n) == 0) {
    end_sound("a header block of another sound arrived broken");
    return;
  }
  note_problem(length >= 7 ? "block " + std::to_string(block_number(data, n)) + " broke off"
                           : "a block broke off");
}

void SoundReceiver::header_block(const std::uint8_t* data, std::size_t length) {
  if (sound_) end_sound("the header block of another sound arrived");
  const UnpackedBlock unpacked = unpack_block(data, static_cast<std::uint32_t>(length));
  begin(true);
  SoundProgress& p = sound_->progress;
  p.name = header_name(unpacked);
  p.type = header_type(unpacked);
  p.total_blocks = header_total_blocks(unpacked);
  const auto blocks = static_cast<std::size_t>(std::min(p.total_blocks, kBlockNumbers));
  sound_->bytes.reserve(blocks * (kPackedBlockSize + 1));  // room for the sound, grown once
  keep(data, length);
  events_.sound_begun(p);
  if (p.total_blocks == 0) {
    end_sound("its header gives 0 blocks");
  } else if (p.total_blocks == 1) {
    end_sound({});
  }
}

// Why a data block numbered `number` cannot belong to the sound in progress; empty when it
// continues it.
std::string SoundReceiver::foreign_block(std::uint16_t number) const {
  const Sound& s = *sound_;
  const std::string block = "block " + std::to_string(number);
  if (number == s.last) return block + " arrived twice";
  if (number < s.last) return block + " arrived after block " + std::to_string(s.last);
  if (s.has_header && number >= s.progress.total_blocks)
    return block + " lies beyond its " + std::to_string(s.progress.total_blocks) + " blocks";
  return {};
}

void SoundReceiver::data_block(std::uint16_t number, const std::uint8_t* data, std::size_t length) {
  if (sound_) {
    if (std::string reason = foreign_block(number); !reason.empty()) end_sound(reason);
  }
  if (!sound_) {
    begin(false);
    sound_->progress.name = "Unnamed";
    note_problem("its header block did not arrive");
    events_.sound_begun(sound_->progress);
  }
  Sound& s = *sound_;
  s.last = number;
  keep(data, length);
  events_.block_received(s.progress);
  if (s.has_header && s.check.complete()) end_sound({});
}

void SoundReceiver::begin(bool has_header) {
  sound_.emplace();
  sound_->has_header = has_header;
  sound_->progress.id = next_id_++;
}

void SoundReceiver::keep(const std::uint8_t* data, std::size_t length) {
  Sound& s = *sound_;
  s.bytes.insert(s.bytes.end(), data, data + length);
  s.ends.push_back(static_cast<std::uint32_t>(s.bytes.size()));
  s.check.add_message(data, static_cast<std::uint32_t>(length));
  ++s.progress.blocks_received;
}

void SoundReceiver::note_problem(std::string problem) {
  if (sound_ && sound_->problem.empty()) sound_->problem = std::move(problem);
}

// `reason_if_short` says why the sound ends before all its blocks arrived.
void SoundReceiver::end_sound(const std::string& reason_if_short) {
  Sound s = std::move(*sound_);
  sound_.reset();
  ReceivedSound r;
  r.sound = s.progress;
  if (s.has_header) {
    r.missing = s.check.missing();
    r.missing_count = s.check.missing_count();
  } else {
    r.missing = "0 (the header)";
    r.missing_count = 1;
  }
  r.whole = s.check.complete();
  if (!r.whole) {
    r.reason = !s.problem.empty() ? s.problem : reason_if_short;
    if (r.reason.empty()) r.reason = s.check.whole().message();
  }
  (r.whole ? whole_ : incomplete_) += 1;
  Result<std::string> written =
      write_sound_file(folder_, file_stem(r.sound.name), !r.whole, SoundMessages{s.bytes, s.ends});
  if (written)
    r.path = std::move(*written);
  else
    r.written = written.error();
  if (r.path.empty()) ++unwritten_;
  events_.sound_ended(r);
}

}  // namespace brisca
