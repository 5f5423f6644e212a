// Import: the chosen audio file goes to a Web Worker that runs the core's encoder, so the page
// never freezes. WAV files are read by the core as the desktop reads them; other formats are
// decoded by the browser at 44 100 Hz (its resampler) and handed over channel by channel.
import type { ImportOutcome } from './core';
import { button, downloadLink, input, select, setText } from './dom';
import { playFloats, toFloats } from './audio';
import { folderChosen, saveInFolder } from './receive';

let worker: Worker | null = null;
let last: ImportOutcome | null = null;
let chosen: File | null = null;

function args(): string[] {
  const a: string[] = [];
  const name = input('import-name').value.trim();
  if (name) a.push('--name', name);
  a.push('--type', input('import-type').value || 'DRUM');
  a.push('--rate', input('import-rate').value || '44100');
  if (!input('import-trim').checked) a.push('--no-trim');
  const level = select('import-level').value, value = input('import-level-value').value;
  if (level === 'peak') a.push('--normalize', 'peak');
  if (level === 'loudness') a.push('--loudness', value);
  if (level === 'gain') a.push('--gain', value);
  return a;
}

async function decodeElsewhere(bytes: ArrayBuffer): Promise<{ channels: Float32Array[]; rate: number }> {
  const ctx = new OfflineAudioContext(1, 1, 44100);
  const buf = await ctx.decodeAudioData(bytes.slice(0));
  const channels = [];
  for (let c = 0; c < buf.numberOfChannels; ++c) channels.push(buf.getChannelData(c).slice());
  return { channels, rate: buf.sampleRate };
}

async function prepare(): Promise<void> {
  if (!chosen) return;
  button('import-prepare').disabled = true;
  setText('import-result', 'Preparing…');
  const bytes = await chosen.arrayBuffer();
  const isWav = new TextDecoder().decode(new Uint8Array(bytes, 0, Math.min(12, bytes.byteLength))).match(/^RIFF....WAVE/s);
  const decoded = isWav ? null : await decodeElsewhere(bytes).catch(() => null);
  const started = performance.now();
  worker ??= new Worker(new URL('worker.js', import.meta.url), { type: 'module' });
  worker.onmessage = (e: MessageEvent<ImportOutcome>) => {
    last = e.data;
    const ms = Math.round(performance.now() - started);
    setText('import-result', last.error ? last.error : `${last.line} (prepared in ${ms} ms)`);
    document.body.dataset.importMs = String(ms);
    const ok = !last.error;
    button('play-original').disabled = !ok;
    button('play-result').disabled = !ok;
    button('import-save').disabled = !ok;
    button('import-prepare').disabled = false;
  };
  worker.onerror = (e: ErrorEvent) => {
    setText('import-result', `The import failed: ${e.message}`);
    button('import-prepare').disabled = false;
    worker = null; // a fresh worker for the next try
  };
  worker.postMessage({ name: chosen.name, bytes: decoded ? null : new Uint8Array(bytes),
    channels: decoded?.channels ?? null, rate: decoded?.rate ?? 0, args: args() });
}

export function setUpImport(): void {
  input('import-file').onchange = () => {
    chosen = input('import-file').files?.[0] ?? null;
    setText('import-chosen', chosen?.name ?? '');
    button('import-prepare').disabled = !chosen;
  };
  button('import-prepare').onclick = () => void prepare();
  button('play-original').onclick = () => last?.original && playFloats(last.original);
  button('play-result').onclick = () => last?.played && playFloats(toFloats(last.played));
  button('import-save').onclick = () => {
    if (!last?.file || !chosen) return;
    const name = chosen.name.replace(/\.[^.]*$/, '') + '.mid';
    if (folderChosen()) {
      const file = last.file;
      void saveInFolder(file, name).then((where) => setText('import-result', `${last?.line} (${name}: ${where})`));
      return;
    }
    downloadLink(last.file, name).click();
  };
}
