// The import's worker: the core's encoder off the page's thread.
import { loadCore } from './core';

interface Job {
  name: string;
  bytes: Uint8Array | null;
  channels: Float32Array[] | null;
  rate: number;
  args: string[];
}

self.onmessage = async (e: MessageEvent<Job>) => {
  const reply = (r: object) => (self as unknown as Worker).postMessage(r);
  try {
    const core = await loadCore();
    const job = e.data;
    const path = `/import/${job.name.replace(/\//g, '_')}`;
    core.FS.mkdirTree('/import');
    core.FS.writeFile(path, job.bytes ?? new Uint8Array(0));
    reply(core.importSound(path, job.channels, job.rate, job.args));
  } catch (error) {
    reply({ error: `The import failed: ${(error as Error).message ?? error}` });
  }
};
