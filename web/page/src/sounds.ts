// The list of sounds: files and .m3u kits the user opens are written into the module's file
// system, and the core's `info` tells each one's blocks, name, duration and wholeness.
import { Core, InfoRow } from './core';
import { $, button, input, setText } from './dom';
import { playFloats, stopPlaying, toFloats } from './audio';

export interface Row extends InfoRow {
  selected: boolean;
}

let rows: Row[] = [];
let opened: string[] = []; // sound and kit paths in the module's file system, in opening order
let sortKey: keyof InfoRow | '' = '';
const listeners: (() => void)[] = [];

export const selectedRows = (): Row[] => rows.filter((r) => r.selected);
export const onSelectionChange = (f: () => void) => listeners.push(f);

function isListed(name: string): boolean {
  return /\.(mid|midi|m3u8?)$/i.test(name);
}

// Writes the files into /open, keeping folder paths so that a kit finds its sounds.
async function takeFiles(core: Core, files: File[]): Promise<void> {
  for (const f of files) {
    const rel = (f as File & { webkitRelativePath?: string }).webkitRelativePath || f.name;
    const path = `/open/${rel}`;
    core.FS.mkdirTree(path.slice(0, path.lastIndexOf('/')));
    core.FS.writeFile(path, new Uint8Array(await f.arrayBuffer()));
    if (isListed(f.name) && !opened.includes(path)) opened.push(path);
  }
  refresh(core);
}

export function refresh(core: Core): void {
  const r = core.info(opened);
  const infos = JSON.parse(r.json) as InfoRow[];
  const was = new Set(selectedRows().map((x) => x.path));
  // A sound opened both through a kit and on its own is one row, where it first came.
  const seen = new Set<string>();
  rows = infos.filter((i) => !seen.has(i.path) && seen.add(i.path))
    .map((i) => ({ ...i, selected: was.has(i.path) }));
  setText('list-notes', r.errors.trim());
  sortRows();
  draw(core);
}

function sortRows(): void {
  if (!sortKey) return;
  const k = sortKey;
  rows.sort((a, b) => String(a[k] ?? '').localeCompare(String(b[k] ?? ''), undefined, { numeric: true }));
}

function drawOverview(core: Core, canvas: HTMLCanvasElement, row: Row, longest: number): void {
  const rendered = core.render(row.path);
  const s = rendered.samples;
  const width = 160;
  canvas.width = width;
  canvas.height = 22;
  const g = canvas.getContext('2d');
  if (!g || !s || !s.length) return;
  const used = Math.max(1, Math.round((width * row.seconds) / Math.max(longest, 1e-9)));
  const per = s.length / used;
  g.fillStyle = row.complete ? '#3a6ea5' : '#b00020';
  for (let x = 0; x < used; ++x) {
    let peak = 0;
    for (let i = Math.floor(x * per); i < Math.floor((x + 1) * per); ++i) peak = Math.max(peak, Math.abs(s[i]));
    const h = Math.max(1, (peak / 32768) * 22);
    g.fillRect(x, (22 - h) / 2, 1, h);
  }
}

function draw(core: Core): void {
  const body = $('list').querySelector('tbody')!;
  body.textContent = '';
  const longest = Math.max(0, ...rows.map((r) => r.seconds));
  rows.forEach((row) => {
    const tr = document.createElement('tr');
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.checked = row.selected;
    box.setAttribute('aria-label', `Select ${row.file}`);
    box.onchange = () => {
      row.selected = box.checked;
      showTotals();
    };
    const cells = [row.file, row.name ?? '—', String(row.blocks), row.seconds.toFixed(2)];
    const first = document.createElement('td');
    first.append(box);
    tr.append(first);
    cells.forEach((c, i) => {
      const td = document.createElement('td');
      td.textContent = c;
      if (i === 1) td.className = 'name';
      tr.append(td);
    });
    const ov = document.createElement('td');
    ov.className = 'ov';
    const canvas = document.createElement('canvas');
    canvas.className = 'overview';
    ov.append(canvas);
    const mark = document.createElement('td');
    if (!row.complete) {
      mark.className = 'damaged';
      mark.textContent = 'damaged';
      mark.title = 'The file does not hold every block its header promises; it is not sent.';
    }
    tr.append(ov, mark);
    tr.dataset.path = row.path;
    body.append(tr);
    drawOverview(core, canvas, row, longest);
  });
  showTotals();
}

function showTotals(): void {
  const sel = selectedRows();
  const blocks = sel.reduce((n, r) => n + r.blocks, 0);
  const all = rows.reduce((n, r) => n + r.blocks, 0);
  setText('totals', rows.length ? `${rows.length} sounds, ${all} blocks; selected ${sel.length}, total blocks ${blocks}`
    : 'No sounds open.');
  button('listen').disabled = sel.length === 0;
  listeners.forEach((f) => f());
}

export function setUpSounds(core: Core): void {
  const open = (el: HTMLInputElement) => (el.onchange = () => void takeFiles(core, [...(el.files ?? [])]));
  open(input('open-files'));
  open(input('open-folder'));
  document.body.addEventListener('dragover', (e) => e.preventDefault());
  document.body.addEventListener('drop', (e) => {
    e.preventDefault();
    void takeFiles(core, [...(e.dataTransfer?.files ?? [])]);
  });
  input('select-all').onchange = () => {
    rows.forEach((r) => (r.selected = input('select-all').checked));
    draw(core);
  };
  $('list').querySelectorAll('th[data-sort]').forEach((th) => {
    (th as HTMLElement).onclick = () => {
      sortKey = (th as HTMLElement).dataset.sort as keyof InfoRow;
      sortRows();
      draw(core);
    };
  });
  button('listen').onclick = () => {
    const row = selectedRows()[0];
    if (!row) return;
    const r = core.render(row.path);
    if (!r.samples) return setText('list-notes', r.error);
    button('listen-stop').disabled = false;
    playFloats(toFloats(r.samples), () => (button('listen-stop').disabled = true));
  };
  button('listen-stop').onclick = () => {
    stopPlaying();
    button('listen-stop').disabled = true;
  };
}
