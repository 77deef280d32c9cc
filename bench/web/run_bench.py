#!/usr/bin/python3
"""Runs bench.html in headless Chromium from a server on 127.0.0.1 and prints the comparison.

    bench/web/run_bench.py SITE_DIR [POINTS]
SITE_DIR holds nuvex.js, nuvex.wasm, proj4.js, BETA2007.gsb and this folder's bench files.
"""
import json
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tests', 'web'))
import test_page  # noqa: E402  (the server and browser set-up of the page's tests)
from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402


def main():
    site = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    server, stopper = test_page.serve(site, 900)
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for flag in ('--headless=new', '--no-sandbox', '--disable-dev-shm-usage', '--disable-gpu'):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
    try:
        driver.get(f'http://127.0.0.1:{server.server_address[1]}/bench.html?points={count}')
        result = WebDriverWait(driver, 850, poll_frequency=0.5).until(
            lambda d: d.execute_script('return window.benchResult ? JSON.stringify(window.benchResult) : null'))
        result = json.loads(result)
    finally:
        driver.quit()
        server.shutdown()
        stopper.cancel()
    if result.get('type') != 'done':
        print('bench failed:', result.get('problem'))
        return 1
    version = driver.capabilities.get('browserVersion', '?') if hasattr(driver, 'capabilities') else '?'
    print(f'Chromium {version}, headless, one worker; {count} points, best of 7 runs')
    print('| case | nuvex (wasm) | proj4js 2.22.0 | nuvex faster | largest difference |')
    print('|---|---|---|---|---|')
    names = {'utm': 'WGS84 lon/lat -> UTM 32 (EPSG:32632)',
             'official': 'DHDN GK 3 -> ETRS89 UTM 32, BeTA2007 (official)'}
    for key, row in result['results'].items():
        ratio = row['proj4Ms'] / row['nuvexMs']
        print(f"| {names[key]} | {row['nuvexMs']:.0f} ms ({row['points'] / row['nuvexMs'] / 1000:.1f} M/s) "
              f"| {row['proj4Ms']:.0f} ms ({row['points'] / row['proj4Ms'] / 1000:.2f} M/s) | {ratio:.1f}x "
              f"| {row['largest'] * 1000:.3f} mm ({row['compared']} points) |")
    print(json.dumps(result['results']))
    return 0


if __name__ == '__main__':
    sys.exit(main())
