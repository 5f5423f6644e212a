// Writes sound files: packs 8-bit data into 7-bit bytes, builds header and data blocks, and
// lays System Exclusive messages out as a Standard MIDI File of format 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "soundfile/sound_block.h"

namespace brisca {

using Bytes = std::vector<std::uint8_t>;

// 7 input bytes into 8 packed bytes, high bits first; an incomplete last group is left-aligned.
Bytes pack8to7(const std::uint8_t* in, std::size_t count);

// A complete 1174-byte block message (F0 33 device 05 00 hi lo <1166 packed> F7).
Bytes make_block(std::uint16_t number, const UnpackedBlock& unpacked, std::uint8_t device = 0);
Bytes make_header_block(std::string_view name, std::string_view type, int total_blocks,
                        std::uint8_t device = 0);

// Appends a MIDI variable-length quantity: 7 bits a byte, most significant first, bit 7 set on
// every byte but the last.
void put_quantity(Bytes& out, std::uint32_t value);

// SMF format 0, one track: each message as a System Exclusive event (delta 0), then End of Track.
// Each message must begin with F0; the F0 itself is not repeated in the event body.
Bytes make_smf0(const std::vector<Bytes>& sysex_messages, std::uint16_t division = 96);

// Writes the whole file or, on a failure, leaves `path` as it was (see atomic_file.h).
bool write_file(const std::string& path, const Bytes& bytes);

}  // namespace brisca
