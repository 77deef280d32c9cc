// The speed comparison, in a worker of the same headless Chromium the page's tests use: the
// library's batch transformation (nuvex.wasm, the page's module) against proj4js on the same
// points, each timed as the best of a few runs of the whole set.
'use strict';

const kRuns = 7;

function points(count, seed, west, east, south, north) {
  let state = seed >>> 0;
  const next = () => {  // xorshift32: the same points in every run
    state ^= state << 13; state >>>= 0;
    state ^= state >>> 17;
    state ^= state << 5; state >>>= 0;
    return state / 4294967296;
  };
  const x = new Float64Array(count);
  const y = new Float64Array(count);
  for (let i = 0; i < count; ++i) {
    x[i] = west + next() * (east - west);
    y[i] = south + next() * (north - south);
  }
  return { x, y };
}

function best(run) {
  let fastest = Infinity;
  let result = null;
  for (let i = 0; i < kRuns; ++i) {
    const started = performance.now();
    result = run();
    fastest = Math.min(fastest, performance.now() - started);
  }
  return { ms: fastest, result };
}

// nuvex: the arrays copied into the module's memory once; the timed part is the transformation.
function nuvexTransform(from, to, official, input) {
  const count = input.x.length;
  const bytes = count * 8;
  const x = Module._malloc(bytes), y = Module._malloc(bytes);
  const xOut = Module._malloc(bytes), yOut = Module._malloc(bytes);
  const zone = Module._malloc(count * 4), status = Module._malloc(count * 4);
  HEAPF64.set(input.x, x / 8);
  HEAPF64.set(input.y, y / 8);
  const fromText = textInModule(from), toText = textInModule(to);
  const timed = best(() => Module._nuvex_web_transform(fromText, toText, official ? 1 : 0, count,
    x, y, xOut, yOut, zone, status));
  if (timed.result < 0) throw new Error(UTF8ToString(Module._nuvex_web_problem()));
  const out = { x: HEAPF64.slice(xOut / 8, xOut / 8 + count), y: HEAPF64.slice(yOut / 8, yOut / 8 + count),
    converted: timed.result };
  for (const p of [x, y, xOut, yOut, zone, status, fromText, toText]) Module._free(p);
  return { ms: timed.ms, out };
}

function textInModule(text) {
  const bytes = new TextEncoder().encode(text + '\0');
  const p = Module._malloc(bytes.length);
  HEAPU8.set(bytes, p);
  return p;
}

function proj4Transform(from, to, input) {
  const converter = proj4(from, to);
  const count = input.x.length;
  const timed = best(() => {
    const x = new Float64Array(count), y = new Float64Array(count);
    for (let i = 0; i < count; ++i) {
      const p = converter.forward([input.x[i], input.y[i]]);
      x[i] = p[0];
      y[i] = p[1];
    }
    return { x, y };
  });
  return { ms: timed.ms, out: timed.result };
}

function largestDifference(a, b) {
  let largest = 0, compared = 0;
  for (let i = 0; i < a.x.length; ++i) {
    if (!Number.isFinite(a.x[i]) || !Number.isFinite(b.x[i])) continue;
    largest = Math.max(largest, Math.hypot(a.x[i] - b.x[i], a.y[i] - b.y[i]));
    ++compared;
  }
  return { largest, compared };
}

function compare(count, grid) {
  const results = {};
  // lon/lat (WGS84) -> UTM zone 32
  const geographic = points(count, 17, 6, 12, 47.5, 54.5);
  const utmN = nuvexTransform('G:3', 'EPSG:32632', false, geographic);
  const utmP = proj4Transform('EPSG:4326', '+proj=utm +zone=32 +datum=WGS84 +units=m +no_defs', geographic);
  results.utm = { points: count, nuvexMs: utmN.ms, proj4Ms: utmP.ms, converted: utmN.out.converted,
    ...largestDifference(utmN.out, utmP.out) };
  // DHDN / GK zone 3 -> ETRS89 / UTM 32, official: BeTA2007 in both
  proj4.nadgrid('BETA2007', grid);
  const lonLat = points(count, 29, 7.6, 10.4, 47.6, 54.8);
  const gk = nuvexTransform('G:1', 'EPSG:31467', false, lonLat).out;  // grid points of zone 3
  const gkN = nuvexTransform('EPSG:31467', 'EPSG:25832', true, gk);
  const gkP = proj4Transform(
    '+proj=tmerc +lat_0=0 +lon_0=9 +k=1 +x_0=3500000 +y_0=0 +ellps=bessel +nadgrids=BETA2007 +units=m +no_defs',
    '+proj=utm +zone=32 +ellps=GRS80 +units=m +no_defs', gk);
  results.official = { points: count, nuvexMs: gkN.ms, proj4Ms: gkP.ms, converted: gkN.out.converted,
    ...largestDifference(gkN.out, gkP.out) };
  return results;
}

self.onmessage = (event) => {
  const message = event.data;
  self.Module = {
    wasmBinary: message.wasm,
    onRuntimeInitialized() {
      try {
        self.postMessage({ type: 'done', results: compare(message.count, message.grid) });
      } catch (error) {
        self.postMessage({ type: 'failed', problem: String(error && error.stack || error) });
      }
    },
  };
  importScripts('proj4.js', 'nuvex.js');
};
