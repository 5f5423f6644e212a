// MIDI access: the outputs and inputs the browser offers, kept in the two choosers as ports
// come and go, and a clear word when there is no WebMIDI or no permission for System Exclusive.
import { select, setText } from './dom';

export let access: MIDIAccess | null = null;

const WORKS = 'Opening, listing and listening to sounds, and importing audio, work.';

export async function requestMidi(): Promise<boolean> {
  if (!('requestMIDIAccess' in navigator)) {
    setText('midi-status', `This browser has no WebMIDI: sending, receiving, the monitor and the cable ` +
      `test need Chrome, Edge or Opera (or Firefox with its site-permission add-on). ${WORKS}`);
    return false;
  }
  try {
    access = await navigator.requestMIDIAccess({ sysex: true });
  } catch (e) {
    setText('midi-status', `MIDI with System Exclusive was not allowed (${(e as Error).message}): ` +
      `sending, receiving, the monitor and the cable test are off. ${WORKS} ` +
      `Allow MIDI for this site in the browser's site settings and reload to use them.`);
    return false;
  }
  access.onstatechange = () => fillPorts();
  fillPorts();
  return true;
}

function fill(sel: HTMLSelectElement, ports: Iterable<MIDIPort>): void {
  const was = sel.value;
  sel.textContent = '';
  for (const p of ports) {
    if (p.state !== 'connected') continue;
    const o = document.createElement('option');
    o.value = p.id;
    o.textContent = p.name ?? p.id;
    sel.append(o);
  }
  if ([...sel.options].some((o) => o.value === was)) sel.value = was;
  sel.dispatchEvent(new Event('change'));
}

export function fillPorts(): void {
  if (!access) return;
  fill(select('output'), access.outputs.values());
  fill(select('input'), access.inputs.values());
  const outs = select('output').options.length, ins = select('input').options.length;
  setText('midi-status', `MIDI ready: ${outs} output${outs === 1 ? '' : 's'}, ${ins} input${ins === 1 ? '' : 's'}.` +
    (outs + ins === 0 ? ' Connect a MIDI interface; it shows here when it is plugged in.' : ''));
}

export function chosenOutput(): MIDIOutput | null {
  return access?.outputs.get(select('output').value) ?? null;
}
export function chosenInput(): MIDIInput | null {
  return access?.inputs.get(select('input').value) ?? null;
}
