// Small helpers over the page's elements.
import type { Bytes } from './core';

export function $(id: string): HTMLElement {
  const el = document.getElementById(id);
  if (!el) throw new Error(`no element #${id}`);
  return el;
}
export const input = (id: string) => $(id) as HTMLInputElement;
export const button = (id: string) => $(id) as HTMLButtonElement;
export const select = (id: string) => $(id) as HTMLSelectElement;

export function setText(id: string, text: string): void {
  $(id).textContent = text;
}

// Offers `bytes` as a file the browser saves; returns the link's address.
export function downloadLink(bytes: Bytes, name: string, type = 'audio/midi'): HTMLAnchorElement {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob([bytes], { type }));
  a.download = name;
  a.textContent = name;
  return a;
}

// "1:05" for milliseconds, rounded up to whole seconds.
export function minutesSeconds(ms: number): string {
  const s = Math.ceil(Math.max(0, ms) / 1000);
  return `${Math.floor(s / 60)}:${String(s % 60).padStart(2, '0')}`;
}
