// The page in headless Chromium, served by `briscatool web`, on a WebMIDI stand-in: it lists the
// examples as the native `info` does, plays what `render` writes, sends what the native down-load
// puts on the wire (checked by the end-to-end tests' own tool) at the pace's gaps, saves a
// received dump as the desktop does, passes a cable loop (and finds a slower pace for one that
// loses messages), imports a sound as `briscatool import` does (a WAV file, and a FLAC file the
// browser decodes), and says what works without MIDI. Grabs go to build/screenshots/web_*.png.
//   node web/test/browser.mjs NATIVE_BUILD_DIR WORK_DIR
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';
import { writeFlac, writeWav } from './wav.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '../..');
const build = path.resolve(process.argv[2] ?? `${root}/build`);
const work = path.resolve(process.argv[3] ?? `${root}/build-web/browser`);
const native = `${build}/app/briscatool`;
const tool = `${build}/tests/e2e/jack_midi_tool`;
const shots = `${build}/screenshots`;
fs.rmSync(work, { recursive: true, force: true });
fs.mkdirSync(work, { recursive: true });
fs.mkdirSync(shots, { recursive: true });

let passed = 0, failed = 0;
function check(what, ok, detail = '') {
  if (ok) ++passed;
  else ++failed;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${ok || !detail ? '' : `\n     ${detail}`}`);
}
const nativeOut = (program, args) => {
  const r = spawnSync(program, args, { encoding: 'utf8', env: { ...process.env, QT_QPA_PLATFORM: 'offscreen' } });
  if (r.status !== 0) throw new Error(`${program} ${args.join(' ')}: ${r.stderr}`);
  return r.stdout;
};
const hexLines = (text) => text.trim().split('\n').filter(Boolean).map((l) => l.trim().split(/\s+/).map((h) => parseInt(h, 16)));
const examples = ['clap', 'hat', 'kick', 'snare', 'tom'].map((n) => `${root}/examples/${n}.mid`);

// `briscatool web` on any free port; its address is the first line it prints.
const server = spawn(native, ['web', '--port', '0', '--root', `${root}/web/dist/page`], { stdio: ['ignore', 'pipe', 'inherit'] });
const address = await new Promise((resolve, reject) => {
  let text = '';
  server.stdout.on('data', (d) => {
    text += d;
    const m = text.match(/http:\/\/127\.0\.0\.1:\d+\//);
    if (m) resolve(m[0]);
  });
  server.on('exit', (code) => reject(new Error(`briscatool web ended with ${code}`)));
});
const wasmType = (await fetch(`${address}briscatool-core.wasm`)).headers.get('content-type');
check(`briscatool web serves the page at ${address}, the module as application/wasm`, wasmType === 'application/wasm', wasmType);

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'briscatool-chromium-'));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking', '--no-first-run',
    '--disable-component-update', '--disable-sync', `--user-data-dir=${profile}`],
});
const standIn = fs.readFileSync(`${here}/stand_in.js`, 'utf8');
try {
  const page = await browser.newPage();
  page.on('pageerror', (e) => check(`no error on the page: ${e.message}`, false));
  await page.setViewport({ width: 1280, height: 800 });
  await page.evaluateOnNewDocument(standIn);
  const t0 = Date.now();
  await page.goto(address);
  await page.waitForSelector('body[data-ready]', { timeout: 60000 });
  const loadMs = Date.now() - t0;
  console.log(`figure: page load to ready ${loadMs} ms (module start ${await page.$eval('body', (b) => b.dataset.ready)} ms)`);

  // The list: the examples and a file cut short, as `briscatool info --json` tells them.
  const cut = `${work}/cut.mid`;
  const kick = fs.readFileSync(examples[2]);
  fs.writeFileSync(cut, kick.subarray(0, Math.floor(kick.length / 2)));
  await (await page.$('#open-files')).uploadFile(...examples, cut);
  await page.waitForFunction(() => document.querySelectorAll('#list tbody tr').length === 6, { timeout: 30000 });
  const info = JSON.parse(nativeOut(native, ['info', '--json', ...examples, cut]));
  const rows = await page.$$eval('#list tbody tr', (trs) => trs.map((tr) => [...tr.cells].map((c) => c.textContent)));
  check('the list shows the blocks, names and damaged mark the native info gives',
    JSON.stringify(rows.map((r) => [r[1], r[2], Number(r[3]), r[6] === 'damaged'])) ===
    JSON.stringify(info.map((i) => [i.file, i.name ?? '—', i.blocks, !i.complete])), JSON.stringify(rows));

  // Listening: the samples handed to WebAudio are those `render` writes.
  const select = (file) => page.$$eval('#list tbody tr', (trs, f) => trs.forEach((tr) => {
    const box = tr.querySelector('input');
    if (box.checked !== (tr.cells[1].textContent === f)) box.click();
  }), file);
  await select('kick.mid');
  await page.click('#listen');
  await page.waitForFunction(() => window.__played.length > 0);
  const heard = await page.evaluate(() => Array.from(window.__played[0], (x) => Math.round(x * 32768)));
  nativeOut(native, ['render', examples[2], '-o', `${work}/kick.wav`]);
  const wav = fs.readFileSync(`${work}/kick.wav`);
  const want = Array.from({ length: (wav.length - 44) / 2 }, (_, i) => wav.readInt16LE(44 + 2 * i));
  check(`listening plays the ${want.length} samples render writes`, heard.length === want.length && heard.every((x, i) => x === want[i]));
  await page.click('#listen-stop');

  // Sending two files with a pause between them: the bytes the native down-load puts on the
  // wire (the end-to-end tool's own check), a block's chunks' time between blocks at least.
  await page.$eval('#file-gap', (el) => { el.value = '300'; el.dispatchEvent(new Event('input')); });
  await page.$$eval('#list tbody tr', (trs) => trs.forEach((tr) => {
    const box = tr.querySelector('input');
    if (box.checked !== ['hat.mid', 'clap.mid'].includes(tr.cells[1].textContent)) box.click();
  }));
  const sendFiles = (await page.$$eval('#list tbody tr', (trs) => trs.filter((tr) => tr.querySelector('input').checked)
    .map((tr) => tr.cells[1].textContent))).map((f) => `${root}/examples/${f}`);
  await page.click('#send-start');
  await page.waitForFunction(() => /blocks sent\.$/.test(document.getElementById('send-status').textContent), { timeout: 120000 });
  const sent = await page.evaluate(() => window.__sent);
  fs.writeFileSync(`${work}/record.txt`, sent.map((s) => `${Math.round(s.t)} ${s.bytes.map((b) => b.toString(16).padStart(2, '0')).join(' ')}`).join('\n') + '\n');
  const wire = spawnSync(tool, ['check', `${work}/record.txt`, '1000', '--pace', '100000', '70', ...sendFiles], { encoding: 'utf8' });
  check(`the ${sent.length} messages sent are the native down-load's bytes (${wire.stdout.split('\n')[0]})`, wire.status === 0, wire.stdout + wire.stderr);
  const perFile = sendFiles.map((f) => hexLines(nativeOut(tool, ['messages', f])).length);
  let short = [];
  for (let i = 1; i < sent.length; ++i) {
    const fileStart = i === perFile[0];
    const least = Math.ceil(sent[i - 1].bytes.length / 200) * 70 + (fileStart ? 300 : 0);
    if (sent[i].t - sent[i - 1].t < least - 1) short.push(`${i}: ${(sent[i].t - sent[i - 1].t).toFixed(1)} < ${least}`);
  }
  check('each block waits its chunks at 70 ms, and the pause between files', short.length === 0, short.join(', '));
  await page.$eval('#file-gap', (el) => { el.value = '0'; el.dispatchEvent(new Event('input')); });

  // Receiving: a whole dump and one missing a block, saved as the desktop saves them.
  const dump = hexLines(nativeOut(tool, ['messages', examples[2]]));
  await page.evaluate((m) => window.__play(m), dump);
  await page.evaluate((m) => window.__play(m), dump.filter((_, i) => i !== 3));
  await page.click('#receive-stop');
  await page.waitForFunction(() => document.querySelectorAll('#received li a').length === 2);
  const saved = await page.$$eval('#received li a', (as) => Promise.all(as.map(async (a) =>
    [a.download, Array.from(new Uint8Array(await window.__blobs[a.href].arrayBuffer()))])));
  for (const [name, bytes] of saved) fs.writeFileSync(`${work}/${name}`, Buffer.from(bytes));
  const names = saved.map(([n]) => n);
  check(`received dumps are named as the desktop names them (${names.join(', ')})`, names.length === 2 && / \(partial\)\.mid$/.test(names[1]) && !names[0].includes('partial'));
  check('the whole dump is saved byte for byte as the sound file it came from', Buffer.from(saved[0][1]).equals(kick));
  check('the partial dump holds every message that arrived', nativeOut(tool, ['messages', `${work}/${names[1]}`]) ===
    dump.filter((_, i) => i !== 3).map((m) => m.map((b) => b.toString(16).padStart(2, '0')).join(' ')).join('\n') + '\n');

  // The monitor: a Note On and a Program Change in their fields.
  await page.evaluate(() => window.__play([[0x90, 0x3c, 0x64], [0xc1, 0x05]]));
  const fields = await page.$$eval('#monitor code', (cs) => cs.map((c) => c.textContent));
  check('the monitor shows each message in its field', fields[1] === '90 3c 64 ' && fields[4] === 'c1 05 ', JSON.stringify(fields));

  // The cable test over a loop.
  await page.evaluate(() => (window.__loop = true));
  await page.click('#cable-start');
  await page.waitForFunction(() => /Pace found|No pace passed|nothing came back/.test(document.getElementById('cable-status').textContent), { timeout: 60000 });
  const cable = await page.$eval('#cable-status', (e) => e.textContent);
  check(`the cable test passes a loop (${cable.replace(/\n/g, ' / ')})`,
    /10 sent, 10 whole, 0 damaged, 0 lost: the cable carries this pace.\nPace found: 200-byte chunks every 70 ms$/.test(cable));
  // A loop that loses a message sent less than 500 ms after the one before: a block every 420 ms
  // fails, the desktop's next slower pace (600 ms) passes and becomes the Send section's.
  await page.evaluate(() => (window.__loopLeast = 500));
  await page.click('#cable-start');
  await page.waitForFunction(() => /Pace found|No pace passed|nothing came back/.test(document.getElementById('cable-status').textContent), { timeout: 90000 });
  const slower = await page.$eval('#cable-status', (e) => e.textContent);
  const paceNow = await page.$$eval('#chunk, #interval', (els) => els.map((e) => e.value).join('/'));
  check(`a cable that fails the set pace is tried at slower ones until one passes (${slower.replace(/\n/g, ' / ')})`,
    /^200-byte chunks every 70 ms: \d+ sent, 1 whole, 0 damaged, \d+ lost: the cable does not carry this pace.\n/.test(slower) &&
    /\n200-byte chunks every 100 ms: 10 sent, 10 whole, 0 damaged, 0 lost: the cable carries this pace.\nPace found: 200-byte chunks every 100 ms$/.test(slower) &&
    paceNow === '200/100', paceNow);
  await (await page.$('#cable')).screenshot({ path: `${shots}/web_cable.png` });
  await page.$eval('#interval', (el) => { el.value = '70'; el.dispatchEvent(new Event('input')); });
  await page.evaluate(() => { window.__loop = false; window.__loopLeast = 0; });

  // Import of a 2 s sound in the page's worker against `briscatool import`.
  const audio = `${work}/two-seconds.wav`;
  writeWav(audio, 2, 44100, 1);
  const n0 = Date.now();
  nativeOut(native, ['import', audio, '-o', `${work}/native.mid`, '--force']);
  const nativeMs = Date.now() - n0;
  await (await page.$('#import-file')).uploadFile(audio);
  await page.click('#import-prepare');
  await page.waitForFunction(() => document.body.dataset.importMs, { timeout: 120000 });
  const firstMs = await page.$eval('body', (b) => b.dataset.importMs);
  // Again, with the worker and its module loaded: the encoder's own time.
  await page.$eval('body', (b) => delete b.dataset.importMs);
  await page.click('#import-prepare');
  await page.waitForFunction(() => document.body.dataset.importMs, { timeout: 120000 });
  const pageMs = `${firstMs} (first, worker and module loading included), ` +
    `${await page.$eval('body', (b) => b.dataset.importMs)} (again)`;
  await page.click('#import-save');
  const made = await page.evaluate(async () => {
    const urls = Object.keys(window.__blobs);
    return Array.from(new Uint8Array(await window.__blobs[urls[urls.length - 1]].arrayBuffer()));
  });
  check('the page imports the sound `briscatool import` makes, byte for byte', Buffer.from(made).equals(fs.readFileSync(`${work}/native.mid`)));
  console.log(`figure: import of a 2 s sound: page (worker) ${pageMs} ms, native briscatool import ${nativeMs} ms (whole process)`);

  // A FLAC file, which the browser decodes (its integers scaled a hair otherwise than
  // libsndfile scales them, so a few samples are coded otherwise): the blocks and figures of the
  // sound `briscatool import` makes of it.
  const flac = `${work}/flac-sound.flac`;
  writeFlac(flac, 2, 44100);
  const nativeFlac = nativeOut(native, ['import', flac, '-o', `${work}/native-flac.mid`, '--force']);
  await page.$eval('body', (b) => delete b.dataset.importMs);
  await (await page.$('#import-file')).uploadFile(flac);
  await page.click('#import-prepare');
  await page.waitForFunction(() => document.body.dataset.importMs, { timeout: 120000 });
  const pageFlac = await page.$eval('#import-result', (e) => e.textContent);
  const figures = (line) => line.match(/: (\d+ blocks, .* dB)/)?.[1];
  check(`the page imports a FLAC file the browser decodes as \`briscatool import\` does (${figures(pageFlac)})`,
    figures(pageFlac) !== undefined && figures(pageFlac) === figures(nativeFlac), `${pageFlac}\n     ${nativeFlac}`);

  await page.evaluate(() => window.scrollTo(0, 0));
  await page.screenshot({ path: `${shots}/web_1280x800.png` });
  await page.setViewport({ width: 390, height: 844 });
  await page.screenshot({ path: `${shots}/web_390x844.png`, fullPage: true });

  // Without permission for MIDI: a clear word of what works and what does not.
  const refused = await browser.newPage();
  await refused.evaluateOnNewDocument(standIn);
  await refused.evaluateOnNewDocument(() => (window.__refuse = true));
  await refused.setViewport({ width: 1280, height: 800 });
  await refused.goto(address);
  await refused.waitForSelector('body[data-ready]', { timeout: 60000 });
  const status = await refused.$eval('#midi-status', (e) => e.textContent);
  check('without MIDI permission the page says what works and what does not',
    /not allowed/.test(status) && /sending, receiving/.test(status) && /importing audio, work/.test(status), status);
  // A kit opened with its sounds lists them in its order, each once, beside the other sounds.
  fs.writeFileSync(`${work}/kit.m3u`, '#EXTM3U\nkick.mid\nhat.mid\n');
  await (await refused.$('#open-files')).uploadFile(`${work}/kit.m3u`, ...examples);
  await refused.waitForFunction(() => document.querySelectorAll('#list tbody tr').length >= 5, { timeout: 30000 });
  const kitRows = await refused.$$eval('#list tbody tr', (trs) => trs.map((tr) => tr.cells[1].textContent));
  check(`a kit lists its sounds first, in its order, each once (${kitRows.join(', ')})`,
    kitRows.join() === 'kick.mid,hat.mid,clap.mid,snare.mid,tom.mid');
  await refused.screenshot({ path: `${shots}/web_no_midi.png` });
} finally {
  await browser.close();
  server.kill('SIGTERM');
  fs.rmSync(profile, { recursive: true, force: true });
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
