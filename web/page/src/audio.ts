// Listening through WebAudio: the decoder's 16-bit samples at 44 100 Hz, played as they are.
import type { Floats } from './core';

let context: AudioContext | null = null;
let playing: AudioBufferSourceNode | null = null;

export function stopPlaying(): void {
  if (playing) {
    playing.onended = null;
    playing.stop();
    playing = null;
  }
}

export function playFloats(samples: Floats, onEnd: () => void = () => {}): void {
  stopPlaying();
  context ??= new AudioContext({ sampleRate: 44100 });
  void context.resume();
  const buffer = context.createBuffer(1, Math.max(1, samples.length), 44100);
  buffer.copyToChannel(samples, 0);
  const source = context.createBufferSource();
  source.buffer = buffer;
  source.connect(context.destination);
  source.onended = () => {
    playing = null;
    onEnd();
  };
  playing = source;
  source.start();
}

export function toFloats(samples: Int16Array): Floats {
  const out = new Float32Array(samples.length);
  for (let i = 0; i < samples.length; ++i) out[i] = samples[i] / 32768;
  return out;
}
