// The page: the core loaded, then each part set up; MIDI last, as it may ask the user.
import { loadCore } from './core';
import { button, setText } from './dom';
import { requestMidi } from './midi';
import { setUpCable } from './cable';
import { setUpImport } from './importer';
import { setUpReceive } from './receive';
import { setUpSend } from './send';
import { onSelectionChange, selectedRows, setUpSounds } from './sounds';

async function start(): Promise<void> {
  const started = performance.now();
  const core = await loadCore();
  setUpSounds(core);
  setUpSend(core);
  setUpReceive(core);
  setUpCable(core);
  setUpImport();
  const midi = await requestMidi();
  onSelectionChange(() => (button('send-start').disabled = !midi || selectedRows().length === 0));
  button('cable-start').disabled = !midi;
  document.body.dataset.ready = String(Math.round(performance.now() - started));
}

start().catch((e) => setText('midi-status', `The page could not start: ${(e as Error).message}`));
