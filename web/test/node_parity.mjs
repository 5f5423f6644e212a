// The web build's node command line against the native program: `info --json` prints the same,
// `render` writes the same WAV, `import` makes the same sound file (and the same loudness).
//   node web/test/node_parity.mjs NATIVE_BRISCATOOL WORK_DIR
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { writeWav } from './wav.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '../..');
const native = path.resolve(process.argv[2] ?? `${root}/build/app/briscatool`);
const work = path.resolve(process.argv[3] ?? `${root}/build-web/parity`);
const web = `${root}/web/dist/briscatool-node.js`;
fs.rmSync(work, { recursive: true, force: true });
fs.mkdirSync(work, { recursive: true });

let passed = 0, failed = 0;
function check(what, ok, detail = '') {
  if (ok) ++passed;
  else ++failed;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${ok || !detail ? '' : `\n     ${detail}`}`);
}
function run(program, args) {
  const [cmd, full] = program === 'native' ? [native, args] : [process.execPath, [web, ...args]];
  const started = performance.now();
  const r = spawnSync(cmd, full, { encoding: 'buffer', env: { ...process.env, QT_QPA_PLATFORM: 'offscreen' } });
  return { status: r.status, out: r.stdout.toString(), err: r.stderr.toString(), ms: performance.now() - started };
}
function same(what, args) {
  const a = run('native', args), b = run('web', args);
  check(what, a.status === b.status && a.out === b.out && a.err === b.err,
    `native ${a.status}: ${a.out}${a.err}\n     web ${b.status}: ${b.out}${b.err}`);
  return [a, b];
}

const examples = fs.readdirSync(`${root}/examples`).filter((f) => f.endsWith('.mid')).sort()
  .map((f) => `${root}/examples/${f}`);
// A file cut short on disk, a kit listing the examples, a file that is no sound.
const cut = `${work}/cut.mid`;
const kick = fs.readFileSync(examples[0]);
fs.writeFileSync(cut, kick.subarray(0, Math.floor(kick.length / 2)));
fs.writeFileSync(`${work}/kit.m3u`, examples.map((e) => path.relative(work, e)).join('\n') + '\n');
fs.writeFileSync(`${work}/not-a-sound.mid`, 'hello');
same('info --json of every example, a cut file, a kit and a file that is no sound',
  ['info', '--json', ...examples, cut, `${work}/kit.m3u`, `${work}/not-a-sound.mid`]);
same('info of the examples folder', ['info', `${root}/examples`]);

for (const sound of [...examples, cut]) {
  const name = path.basename(sound, '.mid');
  const a = run('native', ['render', sound, '-o', `${work}/${name}.native.wav`]);
  const b = run('web', ['render', sound, '-o', `${work}/${name}.web.wav`]);
  const text = (r, p) => r.out.replace(`${work}/${name}.${p}.wav`, 'OUT') + r.err;
  const bytes = (p) => (fs.existsSync(`${work}/${name}.${p}.wav`) ? fs.readFileSync(`${work}/${name}.${p}.wav`) : null);
  const wa = bytes('native'), wb = bytes('web');
  check(`render ${name}: the same report and WAV bytes`, a.status === b.status &&
    text(a, 'native') === text(b, 'web') && (wa === null ? wb === null : wb !== null && wa.equals(wb)),
    `native ${a.status}: ${text(a, 'native')} ${wa?.length} bytes\n     web ${b.status}: ${text(b, 'web')} ${wb?.length} bytes`);
}

// Imports: the same blocks at the sound's own rate, and levelled to the same loudness.
writeWav(`${work}/two-seconds.wav`, 2, 44100, 1);
writeWav(`${work}/stereo.wav`, 0.3, 44100, 2);
const times = {};
for (const [what, audio, extra] of [
  ['2 s mono sound', 'two-seconds', []],
  ['stereo sound named and typed', 'stereo', ['--name', 'Stéreo Hit', '--type', 'PERC']],
  ['2 s sound at -20 LUFS', 'two-seconds', ['--loudness', '-20']],
]) {
  const out = (p) => `${work}/${audio}-${extra.length}.${p}.mid`;
  const a = run('native', ['import', `${work}/${audio}.wav`, '-o', out('native'), ...extra]);
  const b = run('web', ['import', `${work}/${audio}.wav`, '-o', out('web'), ...extra]);
  times[what] = [a.ms, b.ms];
  const ma = fs.existsSync(out('native')) ? fs.readFileSync(out('native')) : Buffer.alloc(0);
  const mb = fs.existsSync(out('web')) ? fs.readFileSync(out('web')) : Buffer.alloc(0);
  const line = (r, p) => r.out.replace(out(p), 'OUT');
  check(`import ${what}: the same sound file and report`, a.status === 0 && ma.length > 0 && ma.equals(mb) &&
    line(a, 'native') === line(b, 'web'), `native: ${a.out}${a.err}\n     web:    ${b.out}${b.err}`);
}
// Resampled imports: both sides resample with libsoxr, though its builds' last float bits differ
// (another libm, no SIMD here), so a few samples may be coded otherwise: the same blocks and the
// same report, SNR to its last digit.
writeWav(`${work}/at-22050.wav`, 2, 22050, 1);
writeWav(`${work}/at-48000.wav`, 2, 48000, 1);
for (const [what, audio, extra] of [
  ['a 22 050 Hz sound', 'at-22050', []],
  ['a 48 000 Hz sound', 'at-48000', []],
  ['a 44 100 Hz sound at 22 050 Hz', 'two-seconds', ['--rate', '22050']],
]) {
  const out = (p) => `${work}/${audio}-resampled.${p}.mid`;
  const a = run('native', ['import', `${work}/${audio}.wav`, '-o', out('native'), ...extra]);
  const b = run('web', ['import', `${work}/${audio}.wav`, '-o', out('web'), ...extra]);
  const line = (r, p) => r.out.replace(out(p), 'OUT');
  const ma = fs.existsSync(out('native')) ? fs.readFileSync(out('native')) : Buffer.alloc(0);
  const mb = fs.existsSync(out('web')) ? fs.readFileSync(out('web')) : Buffer.alloc(0);
  check(`import ${what}: the same blocks and report (${line(a, 'native').trim()})`, a.status === 0 &&
    ma.length > 0 && ma.length === mb.length && line(a, 'native') === line(b, 'web'),
    `native: ${a.out}${a.err}\n     web:    ${b.out}${b.err}`);
}

// Numbers are read in decimal alike: "01.5" is 1.5, "0x10" no number.
same('import --dry-run with a gain written "01.5"', ['import', '--dry-run', `${work}/stereo.wav`, '--gain', '01.5']);
same('import with a gain written "0x10": the same usage error', ['import', `${work}/stereo.wav`, '--gain', '0x10']);
for (const [what, [a, b]] of Object.entries(times))
  console.log(`time: import ${what}: native ${a.toFixed(0)} ms, node ${b.toFixed(0)} ms`);
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
