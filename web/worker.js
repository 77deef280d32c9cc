// The page's worker: runs the converter (nuvex.js and nuvex.wasm, compiled from the library and
// the converter's own line reading and writing) away from the page, so that the page stays
// responsive whatever the input's size. The page hands it the module's script and binary (fetched
// once when the page loads: a new worker after a cancel needs no network) and then one
// conversion at a time: the input as a Blob, read here in slices; the output goes back in pieces,
// numbered in order, with the converter's messages and the progress.
'use strict';

const kProgressInterval = 100;  // ms between two progress messages
const kBinaryProbeBytes = 65536;  // a NUL byte in this much of the input: not a text file
const kMessageLinesKept = 2000;  // converter messages the page gets for its preview

let job = null;

function post(message, transfer) {
  self.postMessage(message, transfer || []);
}

function readLines(text, visit) {
  let at = 0;
  while (at < text.length) {
    let end = text.indexOf('\n', at);
    if (end < 0) end = text.length;
    visit(text.slice(at, end));
    at = end + 1;
  }
}

// Output lines by kind: refused ("*error* "), passed through (blank or a comment), or other.
const kErrorMarker = [42, 101, 114, 114, 111, 114, 42, 32];  // "*error* "
function countLines(bytes, counts) {
  let at = 0;
  while (at < bytes.length) {
    let end = bytes.indexOf(10, at);
    if (end < 0) end = bytes.length;
    let refused = end - at >= kErrorMarker.length;
    for (let i = 0; refused && i < kErrorMarker.length; ++i) refused = bytes[at + i] === kErrorMarker[i];
    if (refused) {
      ++counts.refused;
    } else {
      let first = at;
      if (counts.lines === 0 && bytes[first] === 0xef && bytes[first + 1] === 0xbb && bytes[first + 2] === 0xbf) first += 3;
      while (first < end && (bytes[first] === 32 || bytes[first] === 9 || bytes[first] === 13)) ++first;
      if (first === end || bytes[first] === 35) ++counts.passed;
      else ++counts.other;
    }
    ++counts.lines;
    at = end + 1;
  }
}

self.nuvexReadInput = function (pointer, capacity) {
  if (job.position >= job.input.size) return 0;
  const slice = job.input.slice(job.position, Math.min(job.input.size, job.position + capacity));
  const bytes = new Uint8Array(job.reader.readAsArrayBuffer(slice));
  HEAPU8.set(bytes, pointer);
  job.position += bytes.length;
  report(false);
  return bytes.length;
};

self.nuvexWriteOutput = function (stream, pointer, length) {
  const bytes = HEAPU8.slice(pointer, pointer + length);
  if (stream === 0) {
    countLines(bytes, job.counts);
    post({ type: 'output', sequence: job.sequence++, bytes: bytes.buffer }, [bytes.buffer]);
  } else {
    const text = new TextDecoder().decode(bytes);
    readLines(text, (line) => {
      countReason(line);
      if (job.messageLines < kMessageLinesKept) {
        job.messages.push(line);
        ++job.messageLines;
      }
      ++job.messageCount;
    });
    post({ type: 'messages', lines: job.messages.splice(0) });
  }
  report(false);
};

// Refusals by reason: the converter's message with the quoted values left out.
function countReason(line) {
  const prefix = `nuvex: ${job.name}:`;
  if (!line.startsWith(prefix)) return;
  const rest = line.slice(prefix.length);
  const colon = rest.indexOf(': ');
  if (colon < 0 || !/^[0-9]+$/.test(rest.slice(0, colon))) return;
  const reason = rest.slice(colon + 2).replace(/"[^"]*"/g, '"…"');
  job.reasons.set(reason, (job.reasons.get(reason) || 0) + 1);
}

function report(final) {
  const now = performance.now();
  if (!final && now - job.lastReport < kProgressInterval) return;
  job.lastReport = now;
  post({
    type: final ? 'done' : 'progress',
    bytesRead: job.position,
    totalBytes: job.input.size,
    lines: job.counts.lines,
    counts: job.counts,
    seconds: (now - job.started) / 1000,
    status: job.status,
    pieces: job.sequence,
    messageCount: job.messageCount,
    reasons: final ? [...job.reasons] : undefined,
  });
}

function looksBinary(blob, reader) {
  const head = new Uint8Array(reader.readAsArrayBuffer(blob.slice(0, kBinaryProbeBytes)));
  return head.indexOf(0) >= 0;
}

function convert(message) {
  const reader = new FileReaderSync();
  const input = message.input;
  if (input.size === 0) {
    post({ type: 'refused', reason: 'empty' });
    return;
  }
  if (looksBinary(input, reader)) {
    post({ type: 'refused', reason: 'binary' });
    return;
  }
  const problem = Module.ccall('nuvex_web_prepare', 'string', ['string'], [message.choices]);
  if (problem) {
    post({ type: 'refused', reason: 'choices', problem });
    return;
  }
  job = {
    input, reader, name: message.name, reasons: new Map(), position: 0, sequence: 0, messages: [], messageLines: 0, messageCount: 0,
    counts: { lines: 0, refused: 0, passed: 0, other: 0 },
    started: performance.now(), lastReport: -Infinity, status: -1,
  };
  job.status = Module.ccall('nuvex_web_run', 'number', ['number'], [input.size]);
  report(true);
  job = null;
}

function describe() {
  const text = (name, args) => Module.ccall(name, 'string', args ? ['number'] : [], args || []);
  const reasons = [];
  for (let i = 1; i < 11; ++i) reasons[i] = text('nuvex_web_reason', [i]);
  return {
    codes: text('nuvex_web_codes'),
    systems: text('nuvex_web_systems'),
    reasons,
  };
}

self.onmessage = (event) => {
  const message = event.data;
  if (message.type === 'start') {
    self.Module = {
      wasmBinary: message.wasm,
      onRuntimeInitialized() {
        post({ type: 'ready', library: describe() });
      },
      onAbort(what) {
        post({ type: 'failed', problem: String(what) });
      },
    };
    importScripts(message.script);
  } else if (message.type === 'name') {
    post({ type: 'name', side: message.side, text: message.text,
      answer: JSON.parse(Module.ccall('nuvex_web_name', 'string', ['string'], [message.text])) });
  } else if (message.type === 'check') {
    post({ type: 'checked', problem: Module.ccall('nuvex_web_prepare', 'string', ['string'], [message.choices]) });
  } else if (message.type === 'convert') {
    try {
      convert(message);
    } catch (error) {
      post({ type: 'failed', problem: String(error && error.message ? error.message : error) });
    }
  }
};
