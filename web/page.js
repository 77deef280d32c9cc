// The converter page: choices, input, progress and result. The conversion itself runs in a
// worker (worker.js) on the converter compiled to WebAssembly; this file only talks to it.
'use strict';

const kPreviewRows = 50;
const kPreviewCellChars = 120;

const kTexts = {
  en: {
    title: 'nuvex: coordinate converter',
    privacy: 'Everything stays on this computer: the page converts in the browser and sends nothing anywhere. After it has loaded it makes no network request at all.',
    inputHeading: '1. Points', pasteLabel: 'Paste points, one a line',
    dropHint: 'or drop a file here, or', chooseFile: 'Choose a file',
    forgetFile: 'Use the pasted text instead',
    systemsHeading: '2. Systems', fromLabel: 'From (EPSG code or system)', toLabel: 'To (EPSG code or system)',
    datumLegend: 'Datum shift', datumPolynomial: "polynomial (the engine's own, metre-level)",
    datumOfficial: 'official (BeTA2007 grid, EPSG:1775; centimetre-level)',
    moreOptions: 'More options: columns, header, delimiter, zones, precision',
    columnsLabel: 'Coordinate columns (X,Y[,ZONE] by position or header name)',
    headerLabel: 'The first line is a header', appendLabel: 'Keep every column and add the converted values at the end',
    outNamesLabel: 'Names of the converted columns', delimiterLabel: 'Delimiter', delimiterAuto: 'as the first line says',
    delimiterBlank: 'blanks', delimiterTab: 'tab', delimiterComma: 'comma', delimiterSemicolon: 'semicolon (decimal comma)',
    axisLabel: 'Order of geographic columns', axisLonLat: 'longitude, latitude', axisLatLon: 'latitude, longitude',
    zoneLabel: "Zone of the output (empty: each point's own)", fromZoneLabel: 'Zone of UTM input (empty: a zone column)',
    zonePrefixLabel: 'Zone in the millions of UTM output eastings', zoneWidthLabel: 'Zone width of system 4',
    zoneWidthDefault: "3 deg, or the EPSG code's", precisionLabel: 'Decimals: metres[,degrees] (default 3,8)',
    dmsLabel: 'Degrees, minutes, seconds with this many decimals of the seconds (empty: decimal degrees)',
    runHeading: '3. Convert', convert: 'Convert', cancel: 'Cancel', download: 'Download the result',
    previewHeading: 'First lines of the result',
    footer: "nuvex in WebAssembly: the library and the converter's own reading and writing of lines. The output is the converter's, byte for byte.",
    languageButton: 'Deutsch', loading: 'Loading the converter…', ready: 'Ready.',
    loadFailed: 'The converter could not be loaded: ', emptyInput: 'There is nothing to convert: the input is empty.',
    binaryInput: 'This file is not a text file (it holds NUL bytes): choose a file of points, one a line.',
    choicesProblem: 'Cannot convert with these choices: ', failed: 'The conversion failed: ',
    cancelled: 'Cancelled. Nothing was kept.', unknown: 'unknown: ',
    progress: (done, total, rate, left) => `${done} of ${total} · ${rate} points/s · ${left} left`,
    converting: 'Converting…',
    summary: (converted, refused, passed) => `${converted} converted, ${refused} refused, ${passed} passed through (blank or comment).`,
    refusedBy: 'Refused, by reason:', seconds: (s) => `${s} s`, took: (s, rate) => `Took ${s} s (${rate} points/s).`,
    columnLine: 'Line', columnResult: 'Result', columnReason: 'Reason',
    grid: 'grid', geographic: 'geographic', zone: 'zone', width: 'deg zones',
    axisGrid: 'easting, northing', axisGeo: 'longitude, latitude', axisGeoLatFirst: 'latitude, longitude',
    axisAbout: (from, to) => `Columns read: ${from}. Columns written: ${to}.`,
    polynomialAbout: "Polynomial datum shift: the engine's own polynomials, metre-level, ",
    officialAbout: (grid, area) => `Official datum shift, centimetre-level: the NTv2 grid BeTA2007 (built in) between systems 1 and 3, EPSG:1775 between 4 and 3, both between 1 and 4; system 3 is taken as ETRS89. A point ${grid} or ${area} is refused.`,
    noOfficial: 'System 2 has no official datum transformation.',
    withinSystem: 'Both sides are one system: no datum shift.',
    fileChosen: (name, size) => `File: ${name} (${size})`,
    pieceOrder: 'The result arrived out of order; it was not kept.',
  },
  de: {
    title: 'nuvex: Koordinaten umrechnen',
    privacy: 'Alles bleibt auf diesem Rechner: Die Seite rechnet im Browser und sendet nichts. Nach dem Laden stellt sie keine einzige Netzwerkanfrage.',
    inputHeading: '1. Punkte', pasteLabel: 'Punkte einfügen, einer je Zeile',
    dropHint: 'oder eine Datei hierher ziehen, oder', chooseFile: 'Datei wählen',
    forgetFile: 'Stattdessen den eingefügten Text nehmen',
    systemsHeading: '2. Systeme', fromLabel: 'Von (EPSG-Code oder System)', toLabel: 'Nach (EPSG-Code oder System)',
    datumLegend: 'Datumsübergang', datumPolynomial: 'Polynome (die eigenen der Engine, Meter-Genauigkeit)',
    datumOfficial: 'amtlich (BeTA2007-Gitter, EPSG:1775; Zentimeter-Genauigkeit)',
    moreOptions: 'Weitere Einstellungen: Spalten, Kopfzeile, Trennzeichen, Zonen, Nachkommastellen',
    columnsLabel: 'Koordinatenspalten (X,Y[,ZONE] nach Position oder Name in der Kopfzeile)',
    headerLabel: 'Die erste Zeile ist eine Kopfzeile', appendLabel: 'Alle Spalten behalten und die umgerechneten Werte anhängen',
    outNamesLabel: 'Namen der umgerechneten Spalten', delimiterLabel: 'Trennzeichen', delimiterAuto: 'wie die erste Zeile es zeigt',
    delimiterBlank: 'Leerzeichen', delimiterTab: 'Tabulator', delimiterComma: 'Komma', delimiterSemicolon: 'Semikolon (Dezimalkomma)',
    axisLabel: 'Reihenfolge geographischer Spalten', axisLonLat: 'Länge, Breite', axisLatLon: 'Breite, Länge',
    zoneLabel: 'Zone der Ausgabe (leer: die des Punktes)', fromZoneLabel: 'Zone der UTM-Eingabe (leer: eine Zonenspalte)',
    zonePrefixLabel: 'Zone in den Millionen der UTM-Rechtswerte', zoneWidthLabel: 'Zonenbreite von System 4',
    zoneWidthDefault: '3°, oder die des EPSG-Codes', precisionLabel: 'Nachkommastellen: Meter[,Grad] (Vorgabe 3,8)',
    dmsLabel: 'Grad, Minuten, Sekunden mit so vielen Nachkommastellen der Sekunden (leer: Dezimalgrad)',
    runHeading: '3. Umrechnen', convert: 'Umrechnen', cancel: 'Abbrechen', download: 'Ergebnis herunterladen',
    previewHeading: 'Erste Zeilen des Ergebnisses',
    footer: 'nuvex in WebAssembly: die Bibliothek und das Lesen und Schreiben der Zeilen des Konverters selbst. Die Ausgabe ist die des Konverters, Byte für Byte.',
    languageButton: 'English', loading: 'Der Konverter wird geladen…', ready: 'Bereit.',
    loadFailed: 'Der Konverter konnte nicht geladen werden: ', emptyInput: 'Es gibt nichts umzurechnen: Die Eingabe ist leer.',
    binaryInput: 'Diese Datei ist keine Textdatei (sie enthält NUL-Bytes): Bitte eine Datei mit Punkten wählen, einer je Zeile.',
    choicesProblem: 'Mit diesen Einstellungen geht es nicht (Meldung des Konverters): ', failed: 'Die Umrechnung ist gescheitert: ',
    cancelled: 'Abgebrochen. Nichts wurde behalten.', unknown: 'unbekannt: ',
    progress: (done, total, rate, left) => `${done} von ${total} · ${rate} Punkte/s · noch ${left}`,
    converting: 'Wird umgerechnet…',
    summary: (converted, refused, passed) => `${converted} umgerechnet, ${refused} abgelehnt, ${passed} unverändert übernommen (leer oder Kommentar).`,
    refusedBy: 'Abgelehnt, nach Grund (Meldungen des Konverters):', seconds: (s) => `${s} s`,
    took: (s, rate) => `Dauer ${s} s (${rate} Punkte/s).`,
    columnLine: 'Zeile', columnResult: 'Ergebnis', columnReason: 'Grund',
    grid: 'Gitter', geographic: 'geographisch', zone: 'Zone', width: '°-Zonen',
    axisGrid: 'Rechtswert, Hochwert', axisGeo: 'Länge, Breite', axisGeoLatFirst: 'Breite, Länge',
    axisAbout: (from, to) => `Gelesene Spalten: ${from}. Geschriebene Spalten: ${to}.`,
    polynomialAbout: 'Datumsübergang mit den eigenen Polynomen der Engine, Meter-Genauigkeit; Meldung außerhalb: ',
    officialAbout: (grid, area) => `Amtlicher Datumsübergang, Zentimeter-Genauigkeit: das NTv2-Gitter BeTA2007 (eingebaut) zwischen den Systemen 1 und 3, EPSG:1775 zwischen 4 und 3, beide zwischen 1 und 4; System 3 gilt als ETRS89. Ein Punkt außerhalb wird abgelehnt, mit der Meldung „${grid}“ bzw. „${area}“.`,
    noOfficial: 'System 2 hat keinen amtlichen Datumsübergang.',
    withinSystem: 'Beide Seiten sind ein System: kein Datumsübergang.',
    fileChosen: (name, size) => `Datei: ${name} (${size})`,
    pieceOrder: 'Das Ergebnis kam in falscher Reihenfolge an; es wurde verworfen.',
  },
};

const state = {
  language: 'en',
  worker: null,
  resources: null,  // the worker's script and the module, fetched once
  library: null,  // what the library says of itself: codes, systems, reasons
  ready: false,
  file: null,
  running: false,
  pieces: [],
  nextPiece: 0,
  messages: [],
  previewLines: [],
  previewBytes: 0,
  downloadUrl: null,
  names: { from: null, to: null },
  lastProgress: null,
};

const $ = (id) => document.getElementById(id);
const text = (key) => kTexts[state.language][key];
const kChoiceFields = ['columns', 'outnames', 'delimiter', 'axis', 'zone', 'fromzone', 'zonewidth', 'precision', 'dms'];
const kChoiceFlags = ['header', 'append', 'zoneprefix'];

// ---- Language ----------------------------------------------------------------------------------

function applyLanguage() {
  document.documentElement.lang = state.language;
  for (const element of document.querySelectorAll('[data-text]')) {
    const value = text(element.dataset.text);
    if (typeof value === 'string') element.textContent = value;
  }
  const other = state.language === 'de' ? 'en' : 'de';
  $('language').textContent = text('languageButton');
  $('language').lang = other;
  $('language').setAttribute('aria-label', text('languageButton'));
  describeChoices();
  if (state.lastSummary) showSummary(state.lastSummary);
}

// ---- Choices and the address -------------------------------------------------------------------

// The datum mode; one the address names that the page does not offer goes to the converter as
// named, which refuses it with its reason.
function datum() {
  return state.datumFromAddress || document.querySelector('input[name=datum]:checked').value;
}

function choicesText(name) {
  const lines = [`from=${$('from').value.trim()}`, `to=${$('to').value.trim()}`, `datum=${datum()}`];
  for (const id of kChoiceFields) lines.push(`${id}=${$(id).value.trim()}`);
  for (const id of kChoiceFlags) lines.push(`${id}=${$(id).checked ? 1 : 0}`);
  lines.push(`name=${name}`);
  return lines.join('\n');
}

function writeAddress() {
  const params = new URLSearchParams();
  if ($('from').value.trim()) params.set('from', $('from').value.trim());
  if ($('to').value.trim()) params.set('to', $('to').value.trim());
  params.set('datum', datum());
  for (const id of kChoiceFields) {
    const value = $(id).value.trim();
    if (value && !(id === 'axis' && value === 'lon-lat')) params.set(id, value);
  }
  for (const id of kChoiceFlags) if ($(id).checked) params.set(id, '1');
  history.replaceState(null, '', `${location.pathname}?${params.toString()}`);
}

// Every choice back to the page's default, then the address's choices: a link opened, or the
// browser's back and forward buttons.
function applyAddress() {
  for (const id of ['from', 'to', ...kChoiceFields]) $(id).value = id === 'axis' ? 'lon-lat' : '';
  for (const id of kChoiceFlags) $(id).checked = false;
  document.querySelector('input[name=datum][value=polynomial]').checked = true;
  state.datumFromAddress = null;
  readAddress();
  askName('from');
  askName('to');
  describeChoices();
}

function readAddress() {
  const params = new URLSearchParams(location.search);
  if (params.has('from')) $('from').value = params.get('from');
  if (params.has('to')) $('to').value = params.get('to');
  if (params.get('datum') === 'official') document.querySelector('input[name=datum][value=official]').checked = true;
  else if (params.has('datum') && params.get('datum') !== 'polynomial') state.datumFromAddress = params.get('datum');
  let more = false;
  for (const id of kChoiceFields) {
    if (params.has(id)) {
      const field = $(id);
      if (field.tagName === 'SELECT' && ![...field.options].some((o) => o.value === params.get(id))) {
        // Not one of the page's choices: kept as the address has it, for the converter to judge.
        field.append(new Option(params.get(id), params.get(id)));
      }
      field.value = params.get(id);
      more = more || id !== 'axis' || params.get(id) !== 'lon-lat';
    }
  }
  for (const id of kChoiceFlags) {
    if (params.has(id)) {
      $(id).checked = params.get(id) === '1';
      more = more || $(id).checked;
    }
  }
  if (more) $('more').open = true;
  if (params.get('lang') === 'de' || params.get('lang') === 'en') state.language = params.get('lang');
}

// What the two sides are, in the library's words, and what the datum mode does.
function describeChoices() {
  if (!state.library) return;
  for (const side of ['from', 'to']) {
    const answer = state.names[side];
    const about = $(`${side}-about`);
    about.classList.remove('bad');
    if (!answer || !$(side).value.trim()) {
      about.textContent = '';
    } else if (!answer.ok) {
      about.textContent = answer.problem;
      about.classList.add('bad');
    } else {
      const parts = [`${answer.type === 'E' ? text('grid') : text('geographic')}: ${answer.title}`];
      if (answer.zone !== null) parts.push(`${text('zone')} ${answer.zone}`);
      if (answer.width !== null) parts.push(`${answer.width} ${text('width')}`);
      about.textContent = parts.join(', ');
    }
  }
  const from = state.names.from && state.names.from.ok ? state.names.from : null;
  const to = state.names.to && state.names.to.ok ? state.names.to : null;
  const latFirst = $('axis').value === 'lat-lon';
  const axis = (side) => side.type === 'E' ? text('axisGrid') : latFirst ? text('axisGeoLatFirst') : text('axisGeo');
  $('axis-about').textContent = from && to ? text('axisAbout')(axis(from), axis(to)) : '';
  const reasons = state.library.reasons;
  let about;
  if (from && to && from.system === to.system) about = text('withinSystem');
  else if (datum() === 'official') {
    about = from && to && (from.system === 2 || to.system === 2) ? text('noOfficial') : text('officialAbout')(reasons[6], reasons[7]);
  } else about = text('polynomialAbout') + reasons[8];
  $('datum-about').textContent = about;
}

function askName(side) {
  if (state.ready && $(side).value.trim()) {
    state.worker.postMessage({ type: 'name', side, text: $(side).value.trim() });
  } else {
    state.names[side] = null;
    describeChoices();
  }
}

function fillNames() {
  const list = $('names');
  const add = (value, label) => {
    const option = document.createElement('option');
    option.value = value;
    option.label = label;
    option.textContent = label;
    list.append(option);
  };
  for (const line of state.library.systems.trim().split('\n')) {
    const [code, title3, title6] = line.split('\t');
    const title = title3 === title6 ? title3 : `${title3} / ${title6}`;
    add(`E:${code}`, `${title} (grid)`);
    add(`G:${code}`, `${title} (geographic)`);
  }
  for (const line of state.library.codes.trim().split('\n')) {
    const [code, system, zone, , name] = line.split('\t');
    add(`EPSG:${code}`, `${name} (${system}${zone !== '-' ? ' ' + zone : ''})`);
  }
}

// ---- The worker --------------------------------------------------------------------------------

async function loadResources() {
  const [worker, script, wasm] = await Promise.all([
    fetch('worker.js').then((r) => { if (!r.ok) throw new Error('worker.js'); return r.text(); }),
    fetch('nuvex.js').then((r) => { if (!r.ok) throw new Error('nuvex.js'); return r.text(); }),
    fetch('nuvex.wasm').then((r) => { if (!r.ok) throw new Error('nuvex.wasm'); return r.arrayBuffer(); }),
  ]);
  state.resources = {
    worker: URL.createObjectURL(new Blob([worker], { type: 'text/javascript' })),
    script: URL.createObjectURL(new Blob([script], { type: 'text/javascript' })),
    wasm,
  };
}

function startWorker() {
  state.ready = false;
  state.worker = new Worker(state.resources.worker);
  state.worker.onmessage = (event) => onWorkerMessage(event.data);
  state.worker.onerror = (event) => {
    showProblem(text('failed') + (event.message || ''));
    finishRun();
  };
  state.worker.postMessage({ type: 'start', script: state.resources.script, wasm: state.resources.wasm.slice(0) });
}

function onWorkerMessage(message) {
  switch (message.type) {
    case 'ready':
      state.library = message.library;
      if (!$('names').children.length) fillNames();
      state.ready = true;
      $('convert').disabled = false;
      document.body.dataset.ready = '1';
      askName('from');
      askName('to');
      describeChoices();
      break;
    case 'name':
      if ($(message.side).value.trim() === message.text) {
        state.names[message.side] = message.answer;
        describeChoices();
      }
      break;
    case 'output':
      if (message.sequence !== state.nextPiece) {
        state.outOfOrder = true;
      }
      state.pieces[message.sequence] = new Uint8Array(message.bytes);
      state.nextPiece = message.sequence + 1;
      takePreview(message.bytes);
      break;
    case 'messages':
      for (const line of message.lines) state.messages.push(line);
      break;
    case 'progress':
      showProgress(message);
      break;
    case 'done':
      showProgress(message);
      finishConversion(message);
      break;
    case 'refused':
      showProblem(message.reason === 'empty' ? text('emptyInput') : message.reason === 'binary'
        ? text('binaryInput') : text('choicesProblem') + message.problem);
      finishRun();
      break;
    case 'failed':
      showProblem(text('failed') + message.problem);
      finishRun();
      restartWorker();
      break;
    default:
      break;
  }
}

function restartWorker() {
  if (state.worker) state.worker.terminate();
  startWorker();
}

// ---- A conversion ------------------------------------------------------------------------------

function showProblem(message) {
  const box = $('problem');
  box.textContent = message;
  box.hidden = !message;
}

function inputBlob() {
  if (state.file) return { blob: state.file, name: state.file.name };
  return { blob: new Blob([$('text').value]), name: 'input' };
}

function startConversion() {
  if (!state.ready || state.running) return;
  showProblem('');
  writeAddress();
  const { blob, name } = inputBlob();
  state.running = true;
  state.pieces = [];
  state.nextPiece = 0;
  state.outOfOrder = false;
  state.messages = [];
  state.previewLines = [];
  state.previewBytes = 0;
  state.lastSummary = null;
  if (state.downloadUrl) URL.revokeObjectURL(state.downloadUrl);
  state.downloadUrl = null;
  state.inputName = name;
  $('download').hidden = true;
  $('summary').textContent = '';
  $('preview-box').hidden = true;
  $('progress').value = 0;
  $('progress-text').textContent = text('converting');
  $('progress-box').hidden = false;
  $('convert').disabled = true;
  $('cancel').disabled = false;
  document.body.dataset.state = 'running';
  state.worker.postMessage({ type: 'convert', input: blob, name, choices: choicesText(name) });
}

function finishRun() {
  state.running = false;
  $('convert').disabled = !state.ready;
  $('cancel').disabled = true;
  document.body.dataset.state = 'idle';
}

function cancelConversion() {
  if (!state.running) return;
  restartWorker();
  finishRun();
  $('progress-box').hidden = true;
  showProblem(text('cancelled'));
  document.body.dataset.state = 'cancelled';
}

function grouped(number) {
  return Math.round(number).toLocaleString(state.language === 'de' ? 'de-DE' : 'en-GB');
}

function byteSize(bytes) {
  if (bytes < 1024) return `${bytes} B`;
  if (bytes < 1048576) return `${(bytes / 1024).toFixed(1)} KB`;
  return `${(bytes / 1048576).toFixed(1)} MB`;
}

function showProgress(message) {
  const fraction = message.totalBytes > 0 ? message.bytesRead / message.totalBytes : 1;
  $('progress').value = fraction;
  const rate = message.seconds > 0 ? message.lines / message.seconds : 0;
  const left = fraction > 0 ? message.seconds * (1 - fraction) / fraction : 0;
  $('progress-text').textContent = text('progress')(byteSize(message.bytesRead), byteSize(message.totalBytes),
    grouped(rate), text('seconds')(left.toFixed(1)));
  state.lastProgress = message;
  document.body.dataset.progress = String(message.bytesRead);
}

// The first lines of the output, for the preview.
function takePreview(buffer) {
  if (state.previewLines.length > kPreviewRows) return;
  const bytes = new Uint8Array(buffer, 0, Math.min(buffer.byteLength, 1 << 16));
  const lines = new TextDecoder().decode(bytes).split('\n');
  if (bytes.length < buffer.byteLength || lines[lines.length - 1] === '') lines.pop();
  for (const line of lines) {
    if (state.previewLines.length > kPreviewRows) break;
    state.previewLines.push(line);
  }
}

// "nuvex: NAME:LINE: reason" for the lines of this input.
function messagesByLine() {
  const byLine = new Map();
  const prefix = `nuvex: ${state.inputName}:`;
  for (const message of state.messages) {
    if (!message.startsWith(prefix)) continue;
    const rest = message.slice(prefix.length);
    const colon = rest.indexOf(': ');
    const line = Number(rest.slice(0, colon));
    if (Number.isInteger(line) && !byLine.has(line)) byLine.set(line, rest.slice(colon + 2));
  }
  return byLine;
}

function cell(row, content, className) {
  const td = document.createElement('td');
  td.textContent = content.length > kPreviewCellChars ? content.slice(0, kPreviewCellChars) + '…' : content;
  if (className) td.className = className;
  row.append(td);
  return td;
}

function splitOutput(line) {
  if (line.includes('\t')) return line.split('\t');
  if (line.includes(';')) return line.split(';');
  if (line.includes(',')) return line.split(',');
  return line.trim().split(/ +/);
}

function showPreview() {
  const table = $('preview');
  table.textContent = '';
  const byLine = messagesByLine();
  const rows = state.previewLines.slice(0, kPreviewRows);
  let widest = 1;
  const cells = rows.map((line) => {
    const refused = line.startsWith('*error* ');
    const passed = /^\s*(#|$)/.test(line.replace(/^\uFEFF/, ''));
    const parts = refused || passed ? [refused ? line.slice(8) : line] : splitOutput(line);
    widest = Math.max(widest, parts.length);
    return { refused, passed, parts };
  });
  const head = table.createTHead().insertRow();
  for (const name of [text('columnLine'), text('columnResult')]) {
    const th = document.createElement('th');
    th.textContent = name;
    th.scope = 'col';
    if (name === text('columnResult')) th.colSpan = widest;
    head.append(th);
  }
  const reasonHead = document.createElement('th');
  reasonHead.textContent = text('columnReason');
  reasonHead.scope = 'col';
  head.append(reasonHead);
  const body = table.createTBody();
  cells.forEach(({ refused, passed, parts }, index) => {
    const row = body.insertRow();
    const lineNumber = index + 1;
    const th = document.createElement('th');
    th.scope = 'row';
    th.textContent = String(lineNumber);
    row.append(th);
    if (refused) {
      row.className = 'refused';
      cell(row, parts[0]).colSpan = widest;
      cell(row, byLine.get(lineNumber) || '', 'reason');
    } else if (passed) {
      cell(row, parts[0]).colSpan = widest;
      cell(row, '', 'reason');
    } else {
      for (let i = 0; i < widest; ++i) cell(row, parts[i] || '');
      cell(row, '', 'reason');
    }
  });
  $('preview-box').hidden = rows.length === 0;
}

function showSummary(summary) {
  const box = $('summary');
  box.textContent = '';
  const p = document.createElement('p');
  p.id = 'summary-counts';
  p.textContent = text('summary')(grouped(summary.converted), grouped(summary.refused), grouped(summary.passed)) +
    ' ' + text('took')((summary.seconds).toFixed(2), grouped(summary.rate));
  box.append(p);
  if (summary.reasons.size) {
    const intro = document.createElement('p');
    intro.textContent = text('refusedBy');
    box.append(intro);
    const list = document.createElement('ul');
    list.id = 'summary-reasons';
    for (const [reason, count] of summary.reasons) {
      const item = document.createElement('li');
      item.textContent = `${grouped(count)} × ${reason}`;
      list.append(item);
    }
    box.append(list);
  }
}

function finishConversion(message) {
  finishRun();
  if (state.outOfOrder || state.pieces.length !== message.pieces || state.pieces.some((piece) => !piece)) {
    showProblem(text('pieceOrder'));
    document.body.dataset.state = 'failed';
    return;
  }
  if (message.status === 3) {
    showProblem(text('failed') + state.messages.join('\n'));
    document.body.dataset.state = 'failed';
    return;
  }
  const counts = message.counts;
  const headerLine = ($('header').checked || /[^0-9,]/.test($('columns').value.trim())) &&
    counts.other > 0 ? 1 : 0;
  const summary = {
    converted: counts.other - headerLine,
    refused: counts.refused,
    passed: counts.passed,
    reasons: new Map(message.reasons),
    seconds: message.seconds,
    rate: message.seconds > 0 ? message.lines / message.seconds : 0,
  };
  state.lastSummary = summary;
  showSummary(summary);
  showPreview();
  const blob = new Blob(state.pieces, { type: 'text/plain' });
  state.downloadUrl = URL.createObjectURL(blob);
  const link = $('download');
  const base = state.inputName.replace(/\.[^.]*$/, '') || 'points';
  link.download = `${base}-nuvex.txt`;
  link.href = state.downloadUrl;
  link.hidden = false;
  document.body.dataset.outputBytes = String(blob.size);
  document.body.dataset.state = 'done';
}

// ---- Input -------------------------------------------------------------------------------------

function chooseFile(file) {
  state.file = file || null;
  $('file-name').textContent = file ? text('fileChosen')(file.name, byteSize(file.size)) : '';
  $('forget-file').hidden = !file;
}

function wire() {
  $('language').addEventListener('click', () => {
    state.language = state.language === 'de' ? 'en' : 'de';
    applyLanguage();
  });
  $('convert').addEventListener('click', startConversion);
  $('cancel').addEventListener('click', cancelConversion);
  $('file').addEventListener('change', () => chooseFile($('file').files[0]));
  $('forget-file').addEventListener('click', () => { $('file').value = ''; chooseFile(null); });
  const drop = $('drop');
  for (const target of [drop, $('text')]) {
    target.addEventListener('dragover', (event) => { event.preventDefault(); drop.classList.add('over'); });
    target.addEventListener('dragleave', () => drop.classList.remove('over'));
    target.addEventListener('drop', (event) => {
      event.preventDefault();
      drop.classList.remove('over');
      if (event.dataTransfer.files.length) chooseFile(event.dataTransfer.files[0]);
    });
  }
  for (const side of ['from', 'to']) {
    $(side).addEventListener('input', () => askName(side));
    $(side).addEventListener('change', () => { askName(side); writeAddress(); });
  }
  for (const radio of document.querySelectorAll('input[name=datum]')) {
    radio.addEventListener('change', () => { state.datumFromAddress = null; describeChoices(); writeAddress(); });
  }
  for (const id of [...kChoiceFields, ...kChoiceFlags]) {
    $(id).addEventListener('change', () => { describeChoices(); writeAddress(); });
  }
  window.addEventListener('popstate', applyAddress);
  document.addEventListener('keydown', (event) => {
    if (event.key === 'Escape' && state.running) cancelConversion();
    if (event.key === 'Enter' && (event.ctrlKey || event.metaKey)) startConversion();
  });
}

async function main() {
  state.language = (navigator.languages && navigator.languages[0] || navigator.language || 'en')
    .toLowerCase().startsWith('de') ? 'de' : 'en';
  readAddress();
  wire();
  applyLanguage();
  showProblem('');
  try {
    await loadResources();
    startWorker();
  } catch (error) {
    showProblem(text('loadFailed') + error.message);
  }
}

main();
