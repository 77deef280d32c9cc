#!/usr/bin/python3
"""The converter page in a real browser (headless Chromium through Selenium).

The page (build/web, `make web`) is served from 127.0.0.1 only, by a server that stops with the
test (and at the latest after --limit seconds). Every case of the converter's case files
(tests/data/cli_conversions.txt, cli_malformed_lines.txt, cli_tables.txt) whose options the page
has is converted on the page, its choices set by opening the page's address with them, its input
pasted (plain lines) or chosen as a file (bytes a text box would change: CR, a byte-order mark,
Latin-1), and the result must equal the native converter's output (build/dev/tools/nuvex, run on
the same bytes) byte for byte, its messages the converter's messages. The usage errors of
cli_usage_errors.txt that the page's choices can express must be refused with a message. Then:
both datum modes on the same points, a dropped file of 1,000,000 lines with progress seen
advancing and its result equal to the native one (by SHA-256), the download, bad input (a binary
file, a 10 MB line, an empty file, an unknown EPSG code) each answered with a message and the
page still converting afterwards, cancel, the language switch, and no network request after
the page has loaded (the browser's performance log).

    tests/web/test_page.py --site build/web --nuvex build/dev/tools/nuvex [--screenshot docs/web.png]
"""
import argparse
import base64
import functools
import hashlib
import http.server
import json
import os
import random
import re
import shlex
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DATA = os.path.join(ROOT, 'tests', 'data')
TIMEOUT = 120  # s: generous; nothing here is timed against a limit but the whole run's

failures = []
checked = {'cases': 0, 'skipped': 0}


def fail(what):
    failures.append(what)
    print('FAIL:', what, flush=True)


# ---- The server -------------------------------------------------------------------------------

class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                          **{'.wasm': 'application/wasm', '.js': 'text/javascript'})

    def log_message(self, *args):
        pass


def serve(site, limit):
    handler = functools.partial(QuietHandler, directory=site)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    stopper = threading.Timer(limit, server.shutdown)
    stopper.daemon = True
    stopper.start()
    return server, stopper


# ---- Case files --------------------------------------------------------------------------------

def unescape(text):
    out = bytearray()
    i = 0
    raw = text.encode('utf-8', 'surrogateescape')
    while i < len(raw):
        c = raw[i:i + 1]
        if c == b'\\' and i + 1 < len(raw):
            n = raw[i + 1:i + 2]
            if n == b'n':
                out += b'\n'
            elif n == b'r':
                out += b'\r'
            elif n == b't':
                out += b'\t'
            elif n == b'\\':
                out += b'\\'
            elif n == b'p':
                out += b'|'
            elif n == b'x':
                out.append(int(raw[i + 2:i + 4], 16))
                i += 2
            else:
                out += c + n
            i += 2
            continue
        out += c
        i += 1
    return bytes(out)


def case_lines(name):
    with open(os.path.join(DATA, name), 'rb') as f:
        for line in f.read().decode('utf-8', 'surrogateescape').splitlines():
            if line.strip() and not line.startswith('#'):
                yield line


def cases():
    """(file, arguments, input bytes) of every case."""
    for line in case_lines('cli_conversions.txt'):
        args, text = line.split('|')[:2]
        yield 'cli_conversions', args, text.encode('utf-8', 'surrogateescape') + b'\n'
    for line in case_lines('cli_malformed_lines.txt'):
        args, text = line.split('|')[:2]
        yield 'cli_malformed_lines', args, text.encode('utf-8', 'surrogateescape') + b'\n'
    for line in case_lines('cli_tables.txt'):
        parts = line.split('|')
        yield 'cli_tables', unescape(parts[0]).decode('utf-8', 'surrogateescape'), unescape(parts[1])


def page_choices(arguments):
    """The page's address parameters for a command line; None when the page has no such choice."""
    words = shlex.split(arguments)
    if not words:
        return None
    command, rest = words[0], words[1:]
    params = {'datum': 'polynomial'}
    grid = lambda s: 'E:' + s if s.isdigit() else s
    i = 0
    while i < len(rest):
        word = rest[i]
        value = rest[i + 1] if i + 1 < len(rest) else None
        take = 2
        key, _, inline = word.partition('=')
        if key in ('-s', '--system'):
            params['system'] = grid(value)
        elif key == '--from':
            params['from'] = value
        elif key == '--to':
            params['to'] = value
        elif key in ('-z', '--zone'):
            params['zone_option'] = value
        elif key == '--from-zone':
            params['fromzone'] = value
        elif key in ('-p', '--precision'):
            params['precision'] = value
        elif key == '--columns':
            params['columns'] = value
        elif key == '--out-names':
            params['outnames'] = value
        elif key == '--delimiter':
            params['delimiter'] = value
        elif key == '--axis':
            params['axis'] = value
        elif key == '--datum':
            params['datum'] = value
        elif key == '--zone-width':
            params['zonewidth'] = value
        elif key in ('--append', '--header', '--zone-prefix'):
            params[key[2:].replace('-', '')] = '1'
            take = 1
        elif key == '--dms':
            if inline:
                params['dms'] = inline
                take = 1
            elif value is not None and value.isdigit():
                params['dms'] = value
            else:
                params['dms'] = '5'
                take = 1
        elif key == '--threads':
            pass
        elif key in ('-q', '--quiet'):
            take = 1
        else:
            return None  # --grid, files, options the page does not have
        if value is None and take == 2:
            return None
        i += take
    if command == 'to-ll' and 'system' in params:
        params['from'], params['to'] = params.pop('system'), 'G:3'
        if 'zone_option' in params:
            params['fromzone'] = params.pop('zone_option')
    elif command == 'from-ll' and 'system' in params:
        params['from'], params['to'] = 'G:3', params.pop('system')
    elif command != 'convert':
        return None
    if 'zone_option' in params:
        params['zone'] = params.pop('zone_option')
    if 'from' not in params or 'to' not in params:
        return None
    return params


def native(nuvex, arguments, data, workdir, name='input'):
    # A file the page has chosen must not change afterwards: every input gets a folder of its own.
    workdir = tempfile.mkdtemp(dir=workdir)
    path = os.path.join(workdir, name)
    with open(path, 'wb') as f:
        f.write(data)
    run = subprocess.run([nuvex] + shlex.split(arguments) + [name], cwd=workdir,
                         capture_output=True, timeout=TIMEOUT)
    return run.returncode, run.stdout, without_summary(run.stderr), path


# The converter ends a run with refused lines with a summary line on standard error; the page
# shows the same counts in its own summary panel instead of a message.
SUMMARY = re.compile(rb'^nuvex: \d+ lines read, .*\n', re.MULTILINE)


def without_summary(stderr):
    return SUMMARY.sub(b'', stderr)


# ---- The page ----------------------------------------------------------------------------------

class Page:
    def __init__(self, driver, base):
        self.driver = driver
        self.base = base
        self.loads = 0
        self.driver.get('about:blank')

    def open(self, params=None, lang=None, reload=True):
        """Opens the page's address with these choices: loaded anew, or else (reload False, the
        page already open) as the browser's back button does it, without loading."""
        query = dict(params or {})
        if lang:
            query['lang'] = lang
        search = '?' + urllib.parse.urlencode(query) if query else ''
        if reload or not self.js("return document.body.dataset.ready === '1'"):
            self.driver.get(self.base + 'index.html' + search)
            self.wait(lambda d: d.execute_script("return document.body.dataset.ready === '1'"))
        else:
            self.js("history.pushState(null, '', arguments[0]);"
                    "window.dispatchEvent(new PopStateEvent('popstate'));", 'index.html' + search)
        self.loads += 1

    def wait(self, condition, timeout=TIMEOUT):
        return WebDriverWait(self.driver, timeout, poll_frequency=0.05).until(condition)

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def paste(self, text):
        self.js("chooseFile(null); document.getElementById('file').value = '';"
                "const t = document.getElementById('text'); t.value = arguments[0];"
                "t.dispatchEvent(new Event('input', {bubbles: true}));", text)

    def choose(self, path):
        self.driver.find_element(By.ID, 'file').send_keys(path)
        self.wait(lambda d: d.execute_script("return state.file !== null"))

    def convert(self):
        """Clicks Convert and waits, in the page, for the conversion's end; the state it ended in."""
        return self.driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "document.body.dataset.state = 'starting';"
            "document.getElementById('convert').click();"
            "const ended = () => ['done', 'idle', 'failed'].includes(document.body.dataset.state);"
            "const poll = () => ended() ? done(document.body.dataset.state) : setTimeout(poll, 5);"
            "poll();")

    def problem(self):
        return self.js("const p = document.getElementById('problem'); return p.hidden ? '' : p.textContent")

    def output(self):
        encoded = self.driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "new Blob(state.pieces).arrayBuffer().then((b) => {"
            "  let s = ''; const u = new Uint8Array(b);"
            "  for (let i = 0; i < u.length; i += 32768) s += String.fromCharCode.apply(null, u.subarray(i, i + 32768));"
            "  done(btoa(s)); });")
        return base64.b64decode(encoded)

    def messages(self):
        return self.js("return state.messages")


def check_cases(page, nuvex, workdir):
    groups = {}
    for source, arguments, data in cases():
        params = page_choices(arguments)
        if params is None:
            checked['skipped'] += 1
            continue
        key = json.dumps(params, sort_keys=True)
        groups.setdefault(key, []).append((source, arguments, data))
    pasted = chosen = 0
    spent = {'open': 0, 'native': 0, 'convert': 0}
    for key, group in groups.items():
        params = json.loads(key)
        t0 = time.time()
        page.open(params, reload=page.loads % 8 == 0)
        spent['open'] += time.time() - t0
        for source, arguments, data in group:
            t0 = time.time()
            status, stdout, stderr, path = native(nuvex, arguments, data, workdir)
            spent['native'] += time.time() - t0
            if status == 2:
                continue  # a usage error of the command line (check_usage_errors has those)
            plain = b'\r' not in data and data.isascii() and b'\t' not in data
            if plain:
                page.paste(data.decode('ascii'))
                pasted += 1
            else:
                page.choose(path)
                chosen += 1
            t0 = time.time()
            state = page.convert()
            spent['convert'] += time.time() - t0
            what = f'{source}: {arguments} | {data[:60]!r}'
            if state != 'done':
                fail(f'{what}: page ended {state}: {page.problem()}')
                continue
            got = page.output()
            if got != stdout:
                fail(f'{what}: page wrote {got!r}, the converter {stdout!r}')
            messages = [m for m in page.messages()]
            expected = stderr.decode('utf-8', 'replace').splitlines()
            if messages != expected:
                fail(f'{what}: page said {messages!r}, the converter {expected!r}')
            checked['cases'] += 1
    print(f'cases: {checked["cases"]} byte-identical ({pasted} pasted, {chosen} as files), '
          f'{checked["skipped"]} without a page choice; {len(groups)} addresses, '
          + ', '.join(f'{k} {v:.0f} s' for k, v in spent.items()), flush=True)


def check_usage_errors(page, nuvex, workdir):
    refused = 0
    for line in case_lines('cli_usage_errors.txt'):
        arguments = line.split('|')[0]
        params = page_choices(arguments)
        if params is None:
            continue
        status = native(nuvex, arguments, b'10 50\n', workdir)[0]
        if status != 2:
            continue
        # to-ll and from-ll take grids only; the page's two sides take any system.
        words = shlex.split(arguments)
        if words[0] in ('to-ll', 'from-ll') and 'EPSG:4326' in words:
            continue
        if '--threads' in words:
            continue  # the page converts on one thread of its own
        page.open(params, reload=page.loads % 8 == 0)
        page.paste('10 50\n')
        state = page.convert()
        if state == 'done' or not page.problem():
            fail(f'usage error {arguments!r}: the page converted ({state})')
        else:
            refused += 1
    print(f'usage errors: {refused} refused with a message', flush=True)


def check_datum_modes(page, nuvex, workdir):
    data = b'3571686.387 5540758.788\n3500000 5600000 id7\n4400000 5500000\n'
    for datum in ('polynomial', 'official'):
        arguments = f'convert --from EPSG:31467 --to EPSG:25832 --datum {datum}'
        _, stdout, stderr, _ = native(nuvex, arguments, data, workdir)
        page.open({'from': 'EPSG:31467', 'to': 'EPSG:25832', 'datum': datum})
        page.paste(data.decode())
        if page.convert() != 'done' or page.output() != stdout:
            fail(f'datum {datum}: page and converter differ')
        if page.messages() != stderr.decode().splitlines():
            fail(f'datum {datum}: messages differ')
        about = page.js("return document.getElementById('datum-about').textContent")
        if datum == 'official' and 'BeTA2007' not in about:
            fail(f'official mode not explained: {about!r}')
    print('datum modes: polynomial and official byte-identical', flush=True)



# Points scattered so that every lane of the page's eight-point blocks meets, somewhere, a point
# the block leaves to the scalar path (beyond the projection's limit or the grid, in another zone,
# at a pole, no number), among points the block converts, in both datum modes and for each
# shape of conversion the block serves. The page must write what the native converter writes.
SCATTERED = [
    ('convert --from G:3 --to EPSG:25832 --datum polynomial', 'geographic'),
    ('convert --from G:3 --to EPSG:25832 --datum official', 'geographic'),
    ('convert --from G:3 --to EPSG:31467 --datum official', 'geographic'),
    ('convert --from EPSG:31467 --to EPSG:25832 --datum official', 'gauss-krueger'),
    ('convert --from EPSG:25832 --to G:3 --datum official', 'utm'),
]


def scattered_points(kind, count=4003):
    rng = random.Random(29)
    lines = []
    for i in range(count):
        far = rng.random() < 0.15
        if kind == 'geographic':
            x, y = (rng.uniform(-180, 180), rng.uniform(-90, 90)) if far else \
                (rng.uniform(5, 16), rng.uniform(47, 55.5))
        elif kind == 'gauss-krueger':
            x, y = (rng.uniform(2e6, 6e6), rng.uniform(0, 9e6)) if far else \
                (rng.uniform(3.28e6, 3.9e6), rng.uniform(5.23e6, 6.11e6))
        else:
            x, y = (rng.uniform(-1e6, 2e6), rng.uniform(-1e7, 1e7)) if far else \
                (rng.uniform(2.8e5, 9.2e5), rng.uniform(5.23e6, 6.11e6))
        lines.append('nan 50' if i % 997 == 5 else f'{x:.6f} {y:.6f}')
    return ('\n'.join(lines) + '\n').encode()


def check_scattered_blocks(page, nuvex, workdir):
    for arguments, kind in SCATTERED:
        data = scattered_points(kind)
        _, stdout, stderr, _ = native(nuvex, arguments, data, workdir)
        params = page_choices(arguments)
        page.open(params)
        page.paste(data.decode())
        if page.convert() != 'done':
            fail(f'scattered {arguments}: {page.problem()}')
            continue
        if tie_lines(page.output(), stdout) is None:
            fail(f'scattered {arguments}: page and converter differ')
        if page.messages() != stderr.decode().splitlines():
            fail(f'scattered {arguments}: messages differ')
    print(f'scattered blocks: {len(SCATTERED)} conversions as the converter writes them', flush=True)

def tie_lines(got, expected):
    """Lines that differ only by one unit in the last decimal of numbers; None if any other."""
    got_lines, expected_lines = got.split(b'\n'), expected.split(b'\n')
    if len(got_lines) != len(expected_lines):
        return None
    ties = 0
    for a, b in zip(got_lines, expected_lines):
        if a == b:
            continue
        fields_a, fields_b = a.split(b' '), b.split(b' ')
        if len(fields_a) != len(fields_b):
            return None
        for x, y in zip(fields_a, fields_b):
            if x == y:
                continue
            decimals = len(x.partition(b'.')[2])
            if decimals == 0 or len(y.partition(b'.')[2]) != decimals:
                return None
            if abs(float(x) - float(y)) > 1.5 * 10 ** -decimals:
                return None
        ties += 1
    return ties


def network_requests(driver):
    requests = []
    for entry in driver.get_log('performance'):
        message = json.loads(entry['message'])['message']
        if message.get('method') == 'Network.requestWillBeSent':
            url = message['params']['request']['url']
            if not url.startswith(('blob:', 'data:')):
                requests.append(url)
    return requests


def check_large_and_bad(page, driver, nuvex, workdir, lines):
    page.open({'from': 'G:3', 'to': 'EPSG:25832'})
    network_requests(driver)  # what loading took
    # A large file, dropped (chosen: what a drop hands over is the same File).
    rng = random.Random(7)
    path = os.path.join(workdir, 'large.txt')
    with open(path, 'w') as f:
        for i in range(lines):
            f.write(f'{6 + rng.random() * 8:.8f} {47.5 + rng.random() * 7:.8f} p{i}\n')
    stdout = native(nuvex, 'convert --from G:3 --to EPSG:25832', open(path, 'rb').read(), workdir, 'large.txt')[1]
    page.choose(path)
    page.js("document.body.dataset.state = 'starting'")
    driver.find_element(By.ID, 'convert').click()
    seen = set()
    deadline = time.time() + TIMEOUT
    while time.time() < deadline:
        progress, state = page.js("return [document.body.dataset.progress, document.body.dataset.state]")
        if progress:
            seen.add(int(progress))
        if state in ('done', 'idle', 'failed'):
            break
        # the page answers while converting: its own script runs between the worker's messages
        time.sleep(0.05)
    if page.js("return document.body.dataset.state") != 'done':
        fail(f'large file: ended {page.js("return document.body.dataset.state")}: {page.problem()}')
    if len([s for s in seen if 0 < s < os.path.getsize(path)]) < 2:
        fail(f'large file: progress not seen advancing ({sorted(seen)[:5]})')
    seconds = page.js("return state.lastSummary.seconds")
    print(f'large file: {lines} lines in {seconds:.2f} s on the page '
          f'({len(seen)} progress steps seen)', flush=True)
    # The download: the link's file is the result, the native converter's output but for the last
    # decimal of a value that lies within a rounding of a tie (the native converter computes on
    # its AVX2 path with SLEEF's sine and cosine, the page on its block of 128-bit SIMD and the
    # scalar path with Emscripten's C library: a few lines in a million at most).
    downloads = os.path.join(workdir, 'downloads')
    driver.find_element(By.ID, 'download').click()
    name = page.js("return document.getElementById('download').download")
    target = os.path.join(downloads, name)
    page.wait(lambda d: os.path.exists(target) and os.path.getsize(target) == len(stdout), 60)
    with open(target, 'rb') as f:
        ties = tie_lines(f.read(), stdout)
    if ties is None or ties > 10:
        fail(f'large file: the download differs from the converter\'s output ({ties} lines)')
    print(f'large file: download equal to the converter\'s output but for {ties} last decimals '
          'at a rounding tie', flush=True)

    # Cancel: a new conversion of the same file, cancelled at once; the page converts after it.
    page.js("document.body.dataset.state = 'starting'")
    driver.find_element(By.ID, 'convert').click()
    page.wait(lambda d: d.execute_script("return document.body.dataset.state === 'running'"))
    driver.find_element(By.ID, 'cancel').click()
    page.wait(lambda d: d.execute_script("return document.body.dataset.state === 'cancelled'"))
    page.wait(lambda d: d.execute_script("return state.ready"))

    def still_converts(after):
        page.paste('10 50\n')
        if page.convert() != 'done' or page.output() != b'571666.448 5539109.815 32\n':
            fail(f'after {after}: the page no longer converts')

    still_converts('cancel')
    bad = os.path.join(workdir, 'binary.bin')
    with open(bad, 'wb') as f:
        f.write(bytes(rng.randrange(256) for _ in range(4096)) + b'\0')
    page.choose(bad)
    page.convert()
    if 'NUL' not in page.problem():
        fail(f'binary file: message {page.problem()!r}')
    still_converts('a binary file')
    empty = os.path.join(workdir, 'empty.txt')
    open(empty, 'wb').close()
    page.choose(empty)
    page.convert()
    if 'empty' not in page.problem():
        fail(f'empty file: message {page.problem()!r}')
    still_converts('an empty file')
    long_line = os.path.join(workdir, 'long.txt')
    with open(long_line, 'wb') as f:
        f.write(b'10 ' + b'5' * (10 << 20) + b'\n10 50\n')
    page.choose(long_line)
    if page.convert() != 'done':
        fail(f'10 MB line: {page.problem()!r}')
    else:
        reasons = page.js("return document.getElementById('summary').textContent")
        if 'is out of range' not in reasons or '1 refused' not in reasons:
            fail(f'10 MB line: summary {reasons!r}')
    still_converts('a 10 MB line')
    page.js("const f = document.getElementById('from'); f.value = 'EPSG:99999';"
            "f.dispatchEvent(new Event('input', {bubbles: true}));")
    page.wait(lambda d: 'nearest' in d.execute_script("return document.getElementById('from-about').textContent"))
    page.paste('10 50\n')
    page.convert()
    if 'EPSG:99999' not in page.problem():
        fail(f'unknown EPSG code: message {page.problem()!r}')
    page.js("const f = document.getElementById('from'); f.value = 'G:3';"
            "f.dispatchEvent(new Event('input', {bubbles: true}));")
    still_converts('an unknown EPSG code')
    requests = network_requests(driver)
    if requests:
        fail(f'network requests after load: {requests}')
    print('bad input, cancel, download: checked; network requests after load: '
          f'{len(requests)}', flush=True)


def check_language_and_screenshot(page, driver, screenshot):
    page.open({'from': 'EPSG:31467', 'to': 'EPSG:25832', 'datum': 'official'}, lang='de')
    if page.js("return document.getElementById('convert').textContent") != 'Umrechnen':
        fail('German not chosen by the address')
    page.driver.find_element(By.ID, 'language').click()
    if page.js("return document.getElementById('convert').textContent") != 'Convert':
        fail('the language switch does not switch')
    page.paste('# survey 2026-12-01, DHDN / GK zone 3\n3571686.387 5540758.788 P1\n'
               '3500000.000 5600000.000 P2\n3462125.310 5468442.930 P3\n'
               '3571686.387 nort P4\n3442125.310 4968442.930 P5\n')
    if page.convert() != 'done':
        fail('the screenshot\'s conversion failed')
    rows = page.js("return document.querySelectorAll('#preview tbody tr').length")
    if rows != 6:
        fail(f'preview shows {rows} rows, not 6')
    refused = page.js("return document.querySelectorAll('#preview tr.refused').length")
    if refused != 2:
        fail(f'preview marks {refused} rows refused, not 2')
    if screenshot:
        driver.set_window_size(1200, 1850)
        page.js("document.getElementById('preview-box').scrollIntoView({block: 'end'})")
        driver.save_screenshot(screenshot)
        print(f'screenshot: {screenshot}', flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--site', default=os.path.join(ROOT, 'build', 'web'))
    parser.add_argument('--nuvex', default=os.path.join(ROOT, 'build', 'dev', 'tools', 'nuvex'))
    parser.add_argument('--screenshot')
    parser.add_argument('--lines', type=int, default=1000000)
    parser.add_argument('--limit', type=float, default=600, help='s the server runs at most')
    parser.add_argument('--only', help='cases, usage, datum, large, language')
    args = parser.parse_args()
    args.nuvex = os.path.abspath(args.nuvex)  # run from the inputs' own folders
    server, stopper = serve(args.site, args.limit)
    base = f'http://127.0.0.1:{server.server_address[1]}/'
    with tempfile.TemporaryDirectory() as workdir:
        options = webdriver.ChromeOptions()
        options.binary_location = '/usr/bin/chromium'
        for flag in ('--headless=new', '--no-sandbox', '--disable-dev-shm-usage', '--disable-gpu',
                     '--window-size=1200,1500', '--lang=en-GB', '--no-first-run',
                     '--disable-background-networking', '--disable-component-update',
                     '--disable-default-apps', '--disable-sync'):
            options.add_argument(flag)
        options.set_capability('goog:loggingPrefs', {'performance': 'ALL'})
        options.add_experimental_option('prefs', {
            'download.default_directory': os.path.join(workdir, 'downloads'),
            'download.prompt_for_download': False, 'intl.accept_languages': 'en-GB,en'})
        driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
        driver.set_script_timeout(TIMEOUT)
        try:
            page = Page(driver, base)
            started = time.time()
            parts = (args.only or 'cases,usage,datum,large,language').split(',')
            if 'cases' in parts:
                check_cases(page, args.nuvex, workdir)
            if 'usage' in parts:
                check_usage_errors(page, args.nuvex, workdir)
            if 'datum' in parts:
                check_datum_modes(page, args.nuvex, workdir)
                check_scattered_blocks(page, args.nuvex, workdir)
            if 'large' in parts:
                check_large_and_bad(page, driver, args.nuvex, workdir, args.lines)
            if 'language' in parts:
                check_language_and_screenshot(page, driver, args.screenshot)
            print(f'web tests: {time.time() - started:.0f} s', flush=True)
        except TimeoutException as error:
            fail(f'timed out: {error.msg}')
        finally:
            driver.quit()
            server.shutdown()
            stopper.cancel()
    if failures:
        print(f'{len(failures)} failures', flush=True)
        return 1
    print('web tests passed', flush=True)
    return 0


if __name__ == '__main__':
    sys.exit(main())
