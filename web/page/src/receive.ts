// What arrives on the chosen input: the monitor's ten fields, sound dumps received into files
// (named and marked partial by the core as the desktop names them), and the cable test's echoes.
import { Bytes, CableCheck, Core } from './core';
import { $, button, downloadLink, select, setText } from './dom';
import { chosenInput } from './midi';

type Listener = (data: Uint8Array) => void;
export const inputListeners: Listener[] = [];

let receiver: { feed(b: Uint8Array, t: number): void; poll(t: number): void; stop(): void;
  ended(): { name: string; whole: boolean; reason: string; missing: string; path: string; error: string }[];
  progress(): string } | null = null;
let folder: FileSystemDirectoryHandle | null = null;

// Writes a file into the folder chosen with "Save into a folder…" (where the browser has the
// File System Access API); says where it went, or why it did not.
export async function saveInFolder(bytes: Bytes, name: string): Promise<string> {
  if (!folder) return 'no folder chosen';
  try {
    const handle = await folder.getFileHandle(name, { create: true });
    const w = await handle.createWritable();
    await w.write(bytes);
    await w.close();
    return `saved in ${folder.name}`;
  } catch (e) {
    return `not saved in ${folder.name}: ${(e as Error).message}`;
  }
}
export const folderChosen = () => folder !== null;

function setUpMonitor(core: Core): HTMLElement[] {
  const box = $('monitor');
  const fields: HTMLElement[] = [];
  for (let i = 0; i < 10; ++i) {
    const div = document.createElement('div');
    const label = document.createElement('b');
    label.textContent = core.monitorLabel(i);
    const text = document.createElement('code');
    div.append(label, text);
    box.append(div);
    fields.push(text);
  }
  return fields;
}

async function keep(core: Core): Promise<void> {
  if (!receiver) return;
  for (const s of receiver.ended()) {
    const li = document.createElement('li');
    if (!s.path) {
      li.textContent = `${s.name}: could not be written (${s.error})`;
    } else {
      const name = s.path.slice(s.path.lastIndexOf('/') + 1);
      const bytes = core.FS.readFile(s.path);
      li.append(downloadLink(bytes, name));
      li.append(s.whole ? ' whole' : ` partial: ${s.reason}${s.missing ? `, missing ${s.missing}` : ''}`);
      if (folder) li.append(` (${await saveInFolder(bytes, name)})`);
    }
    $('received').append(li);
  }
  setText('receive-status', receiver.progress() || 'Waiting for sound dumps.');
}

export function setUpReceive(core: Core): void {
  const fields = setUpMonitor(core);
  core.FS.mkdirTree('/received');
  receiver = new core.Receiver('/received');
  let current: MIDIInput | null = null;
  select('input').onchange = () => {
    if (current) current.onmidimessage = null;
    current = chosenInput();
    button('receive-stop').disabled = !current;
    if (!current) return;
    setText('receive-status', 'Waiting for sound dumps.');
    current.onmidimessage = (e: MIDIMessageEvent) => {
      const data = e.data;
      if (!data || !data.length) return;
      const line = core.monitor(data);
      if (line.field >= 0) fields[line.field].textContent = line.text;
      if (data[0] === 0xf0) receiver?.feed(data, performance.now());
      inputListeners.forEach((f) => f(data));
      void keep(core);
    };
  };
  button('receive-stop').onclick = () => {
    receiver?.stop();
    void keep(core);
  };
  setInterval(() => {
    receiver?.poll(performance.now());
    void keep(core);
  }, 500);
  if ('showDirectoryPicker' in window) {
    const pick = document.createElement('button');
    pick.textContent = 'Save into a folder…';
    pick.onclick = async () => {
      folder = await (window as unknown as { showDirectoryPicker(o: object): Promise<FileSystemDirectoryHandle> })
        .showDirectoryPicker({ mode: 'readwrite' });
      pick.textContent = `Saving into ${folder.name}`;
    };
    button('receive-stop').after(pick);
  }
}

export type { CableCheck };
