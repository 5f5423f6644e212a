#include "soundfile/sound_writer.h"

#include <algorithm>
#include <cstdio>

#include "soundfile/atomic_file.h"

namespace brisca {

Bytes pack8to7(const std::uint8_t* in, std::size_t count) {
  Bytes out;
  out.reserve(count * 8 / 7 + 1);
  std::uint32_t bits = 0;
  int held = 0;
  for (std::size_t n = 0; n < count; ++n) {
    bits = (bits << 8) | in[n];
    held += 8;
    while (held >= 7) {
      held -= 7;
      out.push_back(static_cast<std::uint8_t>((bits >> held) & 0x7F));
    }
  }
  if (held > 0) out.push_back(static_cast<std::uint8_t>((bits << (7 - held)) & 0x7F));
  return out;
}

Bytes make_block(std::uint16_t number, const UnpackedBlock& unpacked, std::uint8_t device) {
  Bytes block{0xF0,
              0x33,
              static_cast<std::uint8_t>(device & 0x7F),
              0x05,
              0x00,
              static_cast<std::uint8_t>((number >> 7) & 0x7F),
              static_cast<std::uint8_t>(number & 0x7F)};
  // 1020 bytes pack into 1166: 145 whole groups of 8 and 6 bytes holding the last 5, whose
  // final byte carries 5 bits, left-aligned. The block then ends with F7: 1174 bytes.
  Bytes packed = pack8to7(unpacked.data(), unpacked.size());
  packed.resize(kPackedDataBytes);
  block.insert(block.end(), packed.begin(), packed.end());
  block.push_back(0xF7);
  return block;
}

Bytes make_header_block(std::string_view name, std::string_view type, int total_blocks,
                        std::uint8_t device) {
  UnpackedBlock header{};
  std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 31), header.begin());
  std::copy_n(type.begin(), std::min<std::size_t>(type.size(), 4), header.begin() + 32);
  header[44] = static_cast<std::uint8_t>((total_blocks >> 8) & 0xFF);
  header[45] = static_cast<std::uint8_t>(total_blocks & 0xFF);
  return make_block(0, header, device);
}

void put_quantity(Bytes& out, std::uint32_t value) {
  std::uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (n > 1) out.push_back(static_cast<std::uint8_t>(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

namespace {
void put32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}
}  // namespace

Bytes make_smf0(const std::vector<Bytes>& sysex_messages, std::uint16_t division) {
  Bytes track;
  for (const Bytes& message : sysex_messages) {
    if (message.empty()) continue;
    track.push_back(0x00);  // delta time
    track.push_back(0xF0);
    put_quantity(track, static_cast<std::uint32_t>(message.size() - 1));
    track.insert(track.end(), message.begin() + 1, message.end());
  }
  for (std::uint8_t b : {0x00, 0xFF, 0x2F, 0x00}) track.push_back(b);

  Bytes file{'M',
             'T',
             'h',
             'd',
             0,
             0,
             0,
             6,
             0,
             0,
             0,
             1,
             static_cast<std::uint8_t>(division >> 8),
             static_cast<std::uint8_t>(division & 0xFF),
             'M',
             'T',
             'r',
             'k'};
  put32(file, static_cast<std::uint32_t>(track.size()));
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

bool write_file(const std::string& path, const Bytes& bytes) {
  return write_file_atomic(path, bytes);
}

}  // namespace brisca
