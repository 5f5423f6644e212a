// The core as WebAssembly: one module, loaded once, shared by the page's parts.

// What the module hands out is copied out of its memory: arrays of plain buffers.
export type Bytes = Uint8Array<ArrayBuffer>;
export type Floats = Float32Array<ArrayBuffer>;
export type Samples = Int16Array<ArrayBuffer>;

export interface InfoRow {
  path: string;
  file: string;
  blocks: number;
  name: string | null;
  type: string | null;
  seconds: number;
  complete: boolean;
}

export interface ReceivedSound {
  name: string;
  whole: boolean;
  reason: string;
  missing: string;
  path: string;
  error: string;
  blocks: number;
}

export interface CableCount {
  sent: number;
  whole: number;
  damaged: number;
  lost: number;
}

export interface CablePace {
  chunk: number;
  interval: number;
  text: string;
}

export interface ImportOutcome {
  error: string;
  line?: string;
  blocks?: number;
  seconds?: number;
  downloadSeconds?: number;
  snrText?: string;
  gainDb?: number;
  file?: Bytes;
  played?: Samples;
  original?: Floats;
}

export interface Receiver {
  feed(bytes: Uint8Array, nowMs: number): void;
  poll(nowMs: number): void;
  stop(): void;
  ended(): ReceivedSound[];
  progress(): string;
}

export interface CableCheck {
  addSent(pace: number): number;
  feed(bytes: Uint8Array): void;
  cut(): void;
  close(): void;
  settled(pace: number): boolean;
  count(pace: number): CableCount;
  delete(): void;
}

export interface Core {
  FS: {
    mkdirTree(path: string): void;
    writeFile(path: string, data: Uint8Array): void;
    readFile(path: string): Bytes;
    unlink(path: string): void;
    readdir(path: string): string[];
  };
  info(paths: string[]): { status: number; json: string; errors: string };
  render(path: string): { samples?: Samples; error: string };
  messages(path: string): { messages: Bytes[]; whole: boolean; problem: string };
  messageMs(length: number, chunk: number, interval: number): number;
  paceProblem(chunk: number, interval: number, gap: number): string;
  paceText(chunk: number, interval: number, gap: number): string;
  monitor(message: Uint8Array): { field: number; text: string };
  monitorLabel(field: number): string;
  importSound(path: string, channels: Float32Array[] | null, rate: number, args: string[]): ImportOutcome;
  cableMessage(n: number): Bytes;
  cablePaces(chunk: number, interval: number): CablePace[];
  Receiver: new (folder: string) => Receiver;
  CableCheck: new () => CableCheck;
}

let loading: Promise<Core> | null = null;

// The module sits beside the page's script; its loader finds the .wasm beside itself.
export function loadCore(base: string = new URL('.', import.meta.url).href): Promise<Core> {
  if (!loading) {
    const url = new URL('briscatool-core.mjs', base).href;
    loading = import(/* @vite-ignore */ url).then((m) => m.default() as Promise<Core>);
  }
  return loading;
}
