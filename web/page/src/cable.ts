// The cable test at the pace of the Send section: test messages out, each one whole message at
// the time the pace gives it, and what comes back checked by the core's CableCheck.
import { Core } from './core';
import { button, input, setText } from './dom';
import { chosenInput, chosenOutput } from './midi';
import { inputListeners } from './receive';

const MESSAGES = 10;
const SETTLE_MS = 2000;

export function setUpCable(core: Core): void {
  button('cable-start').onclick = async () => {
    const out = chosenOutput();
    if (!out || !chosenInput()) return setText('cable-status', 'Choose a MIDI output and a MIDI input first.');
    const chunk = input('chunk').valueAsNumber, interval = input('interval').valueAsNumber;
    const problem = core.paceProblem(chunk, interval, 0);
    if (problem) return setText('cable-status', problem);
    button('cable-start').disabled = true;
    const check = new core.CableCheck();
    const listen = (d: Uint8Array) => {
      if (d[0] === 0xf0) check.feed(d);
      else if (d[0] < 0xf8) check.cut();
    };
    inputListeners.push(listen);
    const gap = core.messageMs(1174, chunk, interval);
    for (let i = 0; i < MESSAGES; ++i) {
      out.send(core.cableMessage(check.addSent(0)));
      setText('cable-status', `${i + 1} of ${MESSAGES} sent…`);
      await new Promise((r) => setTimeout(r, gap));
    }
    const until = performance.now() + SETTLE_MS;
    while (!check.settled(0) && performance.now() < until) await new Promise((r) => setTimeout(r, 50));
    check.close();
    inputListeners.splice(inputListeners.indexOf(listen), 1);
    const c = check.count(0);
    const verdict = c.whole === c.sent ? 'the cable carries this pace'
      : c.whole + c.damaged === 0 ? 'nothing came back on the input' : 'the cable does not carry this pace';
    setText('cable-status', `${core.paceText(chunk, interval, 0).split(', ')[0]}: ${c.sent} sent, ${c.whole} whole, ` +
      `${c.damaged} damaged, ${c.lost} lost: ${verdict}.`);
    button('cable-start').disabled = false;
  };
}
