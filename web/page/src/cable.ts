// The cable test: test messages out, each one whole message at the time the pace gives it, and
// what comes back checked by the core's CableCheck. It starts at the pace of the Send section and,
// as the desktop's does, goes on to the slower paces the core lists until one carries every
// message whole; the pace found becomes the Send section's.
import { CableCount, CableCheck, CablePace, Core } from './core';
import { button, input, setText } from './dom';
import { chosenInput, chosenOutput } from './midi';
import { inputListeners } from './receive';

const MESSAGES = 10;
const SETTLE_MS = 2000; // after a pace's last message, for what is still on its way
const FAILED_SETTLE_MS = 1000; // the same after a pace failed: the interface empties its buffer

const sleep = (ms: number) => new Promise((r) => setTimeout(r, ms));
const failing = (c: CableCount) => c.damaged > 0 || c.lost > 0;

// One pace: its messages (no more once one was damaged or lost: it cannot pass), then the wait
// for what is still on its way.
async function tryPace(core: Core, check: CableCheck, index: number, pace: CablePace,
  out: MIDIOutput, done: string[]): Promise<CableCount> {
  const gap = core.messageMs(1174, pace.chunk, pace.interval);
  for (let i = 0; i < MESSAGES && !failing(check.count(index)); ++i) {
    out.send(core.cableMessage(check.addSent(index)));
    setText('cable-status', [...done, `${pace.text}: ${i + 1} of ${MESSAGES} sent…`].join('\n'));
    await sleep(gap);
  }
  const until = performance.now() + (failing(check.count(index)) ? FAILED_SETTLE_MS : SETTLE_MS);
  while (!check.settled(index) && performance.now() < until) await sleep(50);
  check.close();
  return check.count(index);
}

async function run(core: Core, out: MIDIOutput, paces: CablePace[]): Promise<string[]> {
  const check = new core.CableCheck();
  const listen = (d: Uint8Array) => {
    if (d[0] === 0xf0) check.feed(d);
    else if (d[0] < 0xf8) check.cut();
  };
  inputListeners.push(listen);
  const lines: string[] = [];
  try {
    for (const [index, pace] of paces.entries()) {
      const c = await tryPace(core, check, index, pace, out, lines);
      const passed = c.sent >= MESSAGES && c.whole === c.sent;
      const nothing = index === 0 && c.whole + c.damaged === 0;
      const verdict = passed ? 'the cable carries this pace'
        : nothing ? 'nothing came back on the input' : 'the cable does not carry this pace';
      lines.push(`${pace.text}: ${c.sent} sent, ${c.whole} whole, ${c.damaged} damaged, ${c.lost} lost: ${verdict}.`);
      if (nothing) return lines;
      if (passed) {
        input('chunk').value = String(pace.chunk);
        input('interval').value = String(pace.interval);
        input('interval').dispatchEvent(new Event('input'));
        return [...lines, `Pace found: ${pace.text}`];
      }
    }
    return [...lines, 'No pace passed: the cable is unusable.'];
  } finally {
    inputListeners.splice(inputListeners.indexOf(listen), 1);
    check.delete();
  }
}

export function setUpCable(core: Core): void {
  button('cable-start').onclick = async () => {
    const out = chosenOutput();
    if (!out || !chosenInput()) return setText('cable-status', 'Choose a MIDI output and a MIDI input first.');
    const chunk = input('chunk').valueAsNumber, interval = input('interval').valueAsNumber;
    const problem = core.paceProblem(chunk, interval, 0);
    if (problem) return setText('cable-status', problem);
    button('cable-start').disabled = true;
    try {
      setText('cable-status', (await run(core, out, core.cablePaces(chunk, interval))).join('\n'));
    } finally {
      button('cable-start').disabled = false;
    }
  };
}
