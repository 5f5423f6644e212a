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

