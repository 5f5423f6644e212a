// Sending the chosen sounds to a WebMIDI output. WebMIDI takes only whole messages, so each
// block goes as one message, and the next waits the time the pace gives the block: its chunks
// at one interval each, as the desktop program sends them. Files are sent whole or not at all:
// a damaged file stops the send before its first block.
import { Core } from './core';
import { button, input, minutesSeconds, setText } from './dom';
import { chosenOutput } from './midi';
import { selectedRows } from './sounds';

let stopRequested = false;
let timer = 0;
let wake: () => void = () => {};

interface Pace {
  chunk: number;
  interval: number;
  gap: number;
}

function pace(): Pace {
  return { chunk: input('chunk').valueAsNumber, interval: input('interval').valueAsNumber,
    gap: input('file-gap').valueAsNumber };
}

export function showPace(core: Core): string {
  const p = pace();
  const problem = core.paceProblem(p.chunk || 0, p.interval || 0, p.gap || 0);
  const block = problem ? 0 : core.messageMs(1174, p.chunk, p.interval);
  setText('pace-note', problem ||
    `WebMIDI sends whole messages only, so each block goes as one message and the next one waits ` +
    `for the time the pace gives it (${core.paceText(p.chunk, p.interval, p.gap)}: ${block} ms for a ` +
    `1\u00a0174-byte block). The default is the desktop's: no faster than 2\u00a0857 bytes/s.`);
  return problem;
}

// Resolves after `ms`, or at once when Stop is pressed.
const wait = (ms: number) => new Promise<void>((resolve) => {
  wake = resolve;
  timer = window.setTimeout(resolve, Math.max(0, ms));
});

async function sendAll(core: Core): Promise<void> {
  const out = chosenOutput();
  const p = pace();
  const rows = selectedRows();
  if (!out) return setText('send-status', 'Choose a MIDI output first.');
  if (!rows.length || showPace(core)) return;
  const files = rows.map((r) => ({ row: r, m: core.messages(r.path) }));
  const damaged = files.find((f) => !f.m.whole);
  if (damaged) return setText('send-status', `${damaged.row.file}: ${damaged.m.problem}; nothing sent.`);
  const plan = files.map((f) => f.m.messages.map((m) => core.messageMs(m.length, p.chunk, p.interval)));
  let left = plan.flat().reduce((a, b) => a + b, 0) + p.gap * (files.length - 1);
  const total = plan.flat().length;
  let done = 0;
  stopRequested = false;
  button('send-start').disabled = true;
  button('send-stop').disabled = false;
  const bar = document.getElementById('send-progress') as HTMLProgressElement;
  for (let f = 0; f < files.length && !stopRequested; ++f) {
    if (f > 0 && p.gap > 0) {
      left -= p.gap;
      await wait(p.gap);
    }
    const msgs = files[f].m.messages;
    for (let k = 0; k < msgs.length && !stopRequested; ++k) {
      out.send(msgs[k]);
      bar.value = ++done / total;
      setText('send-status', `${files[f].row.file}: block ${k + 1} of ${msgs.length}, ` +
        `${minutesSeconds(left)} left`);
      // Each gap is counted from the message before, never shortened to catch up with a late
      // timer: the pace is the fastest the module is known to take.
      left -= plan[f][k];
      await wait(plan[f][k]);
    }
  }
  setText('send-status', stopRequested ? `Stopped after ${done} of ${total} blocks.`
    : `${files.length} sound${files.length === 1 ? '' : 's'}, ${total} blocks sent.`);
  button('send-start').disabled = false;
  button('send-stop').disabled = true;
}

export function setUpSend(core: Core): void {
  for (const id of ['chunk', 'interval', 'file-gap']) input(id).oninput = () => showPace(core);
  showPace(core);
  button('send-start').onclick = () => void sendAll(core);
  button('send-stop').onclick = () => {
    stopRequested = true;
    clearTimeout(timer);
    wake();
  };
}
