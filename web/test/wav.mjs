// Test audio the web tests import.
import fs from 'node:fs';

// A 2 s sound that exercises the encoder: a decaying chord, a click and some noise, 16-bit.
export function writeWav(file, seconds, rate, channels) {
  const frames = Math.round(seconds * rate);
  const data = Buffer.alloc(frames * channels * 2);
  let seed = 12345;
  for (let i = 0; i < frames; ++i) {
    const t = i / rate;
    seed = (seed * 1103515245 + 12345) % 2147483648;
    const noise = seed / 2147483648 - 0.5;
    const v = Math.exp(-3 * t) * (0.5 * Math.sin(2 * Math.PI * 110 * t) + 0.25 * Math.sin(2 * Math.PI * 1234 * t)) +
      (i < 200 ? 0.4 : 0) + 0.02 * noise;
    for (let c = 0; c < channels; ++c)
      data.writeInt16LE(Math.max(-32768, Math.min(32767, Math.round(v * (c ? 0.8 : 1) * 32767))), (i * channels + c) * 2);
  }
  const h = Buffer.alloc(44);
  h.write('RIFF', 0); h.writeUInt32LE(36 + data.length, 4); h.write('WAVE', 8); h.write('fmt ', 12);
  h.writeUInt32LE(16, 16); h.writeUInt16LE(1, 20); h.writeUInt16LE(channels, 22); h.writeUInt32LE(rate, 24);
  h.writeUInt32LE(rate * channels * 2, 28); h.writeUInt16LE(channels * 2, 32); h.writeUInt16LE(16, 34);
  h.write('data', 36); h.writeUInt32LE(data.length, 40);
  fs.writeFileSync(file, Buffer.concat([h, data]));
}


// The same sound as a FLAC file (mono, 16-bit, frames stored verbatim): audio that is no WAV,
// which the page hands to the browser to decode and the desktop reads with libsndfile.
export function writeFlac(file, seconds, rate) {
  writeWav(file, seconds, rate, 1);
  const wav = fs.readFileSync(file);
  const samples = Array.from({ length: (wav.length - 44) / 2 }, (_, i) => wav.readInt16LE(44 + 2 * i));
  const block = 4096;
  const info = Buffer.alloc(42);
  info.write('fLaC', 0);
  info.writeUInt32BE(0x80000000 + 34, 4); // the last metadata block, STREAMINFO, 34 bytes
  info.writeUInt16BE(block, 8);
  info.writeUInt16BE(block, 10);
  // Bytes 12-17: frame sizes unknown. Then rate (20 bits), channels - 1 (3), bits - 1 (5),
  // total samples (36); the MD5 sum (16 bytes) left unknown.
  info.writeUInt32BE(((rate << 12) | (0 << 9) | (15 << 4)) >>> 0, 18);
  info.writeUInt32BE(samples.length, 22);
  const frames = [info];
  for (let n = 0, at = 0; at < samples.length; ++n, at += block) {
    const count = Math.min(block, samples.length - at);
    // Sync, block size from the header's end (16 bits), rate from the STREAMINFO, mono, 16-bit,
    // the frame number (one UTF-8 byte: fewer than 128 frames), the block size - 1, CRC-8.
    if (n >= 128) throw new Error('writeFlac: too long');
    const head = [0xff, 0xf8, 0x70, 0x08, n, (count - 1) >> 8, (count - 1) & 0xff];
    head.push(crc(head, 8, 0x07));
    const body = [...head, 0x02]; // a verbatim subframe
    for (let i = 0; i < count; ++i) body.push((samples[at + i] >> 8) & 0xff, samples[at + i] & 0xff);
    const sum = crc(body, 16, 0x8005);
    frames.push(Buffer.from([...body, sum >> 8, sum & 0xff]));
  }
  fs.writeFileSync(file, Buffer.concat(frames));
}

function crc(bytes, width, poly) {
  const top = 1 << (width - 1), mask = (1 << width) - 1;
  let c = 0;
  for (const b of bytes) {
    c ^= b << (width - 8);
    for (let k = 0; k < 8; ++k) c = c & top ? ((c << 1) ^ poly) & mask : (c << 1) & mask;
  }
  return c;
}
