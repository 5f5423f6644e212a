// Injected before the page's script: a WebMIDI stand-in with one output, which records every
// message sent with its time (and echoes it into the input while window.__loop is set, as a
// cable loop would, losing any message sent less than window.__loopLeast ms after the one
// before since it was set, as an interface with a small buffer would), and one input, into which window.__play(messages) plays messages. It also
// records the samples the page hands to WebAudio and the files it offers as downloads.
(() => {
  const sent = [];
  const played = [];
  const blobs = {};
  window.__sent = sent;
  window.__played = played;
  window.__blobs = blobs;
  window.__loop = false;
  window.__loopLeast = 0;
  let previous = -Infinity; // the last message sent while __loopLeast is set
  const port = (id, name, type) => ({
    id, name, type, manufacturer: 'test', version: '1', state: 'connected', connection: 'open',
    onstatechange: null, open() { return Promise.resolve(this); }, close() { return Promise.resolve(this); },
    addEventListener() {}, removeEventListener() {},
  });
  const input = Object.assign(port('in-1', 'Test In', 'input'), { onmidimessage: null });
  const deliver = (bytes) => input.onmidimessage && input.onmidimessage({ data: new Uint8Array(bytes), timeStamp: performance.now() });
  const output = Object.assign(port('out-1', 'Test Out', 'output'), {
    send(data) {
      const bytes = Array.from(data);
      const t = performance.now();
      const soon = t - previous < window.__loopLeast;
      previous = window.__loopLeast > 0 ? t : -Infinity;
      sent.push({ t, bytes });
      if (window.__loop && !soon) setTimeout(() => deliver(bytes), 5);
    },
    clear() {},
  });
  window.__play = (messages) => messages.forEach(deliver);
  const access = { inputs: new Map([[input.id, input]]), outputs: new Map([[output.id, output]]),
    sysexEnabled: true, onstatechange: null, addEventListener() {}, removeEventListener() {} };
  navigator.requestMIDIAccess = async () => {
    if (window.__refuse) throw new DOMException('Permission to use Web MIDI API was not granted', 'NotAllowedError');
    return access;
  };
  const copy = AudioBuffer.prototype.copyToChannel;
  AudioBuffer.prototype.copyToChannel = function (source, channel, start) {
    played.push(Float32Array.from(source));
    return copy.call(this, source, channel, start);
  };
  const objectUrl = URL.createObjectURL;
  URL.createObjectURL = (blob) => {
    const url = objectUrl(blob);
    blobs[url] = blob;
    return url;
  };
})();
