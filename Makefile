# Thin wrapper over the CMake presets. `make demo` and `make test` do all set-up themselves.
JOBS ?= $(shell nproc)

.PHONY: all setup demo test test-asan test-tsan bench fuzz-smoke install format clean accuracy-map heights-map itrf2020-map
.PHONY: web test-web bench-web

all: test

setup:
	@scripts/setup.sh

demo: setup
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target nuvex_cli
	./build/release/tools/nuvex demo

test: setup
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)
	ctest --preset dev -j $(JOBS)
	$(MAKE) --no-print-directory test-web

# The converter page: the library and the converter's line reading and writing in WebAssembly,
# one static site in build/web (index.html, page.js, page.css, worker.js, nuvex.js, nuvex.wasm).
web: setup
	cmake --preset web >/dev/null
	cmake --build --preset web -j $(JOBS)

# The page in headless Chromium, served from 127.0.0.1, against the native converter's output.
# WEB_SCREENSHOT=docs/web.png also renews the README's picture.
test-web: web
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS) --target nuvex_cli
	tests/web/check_charconv.sh
	/usr/bin/python3 tests/web/test_page.py --site build/web --nuvex build/dev/tools/nuvex \
	  $(if $(WEB_SCREENSHOT),--screenshot $(WEB_SCREENSHOT))

# The page's speed against proj4js in the same headless Chromium (bench/web).
bench-web: web
	@bench/web/run.sh

# Nuvex64.dll, nuvex.exe and the test suite for 64-bit Windows, cross-built; tests run under Wine.
.PHONY: setup-windows windows test-windows bench-windows
setup-windows: setup
	@scripts/setup-windows.sh

windows: setup-windows
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

test-windows: windows
	ctest --preset windows -j $(JOBS)

# The Windows batch path under Wine against the Linux one on the same points, and their ratio.
bench-windows: windows
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target batch_rate
	@bench/windows_vs_linux.sh build/release/bench/batch_rate build/windows/bin/batch_rate.exe \
	  build/windows/wineprefix

test-asan: setup
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# The threaded engine tests and the converter's tests (its worker threads) under ThreadSanitizer.
test-tsan: setup
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

# Each benchmark keeps its best of BENCH_REPETITIONS runs: on a shared machine other work only
# slows a run down, so the best is the one nearest the code's own speed, for PROJ as for nuvex.
BENCH_REPETITIONS ?= 3
bench: setup
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	@for b in build/release/bench/bench_*; do \
	  [ -x "$$b" ] && "$$b" --benchmark_repetitions=$(BENCH_REPETITIONS); done
	@if [ -d build/release/python/nuvex ]; then PYTHONPATH=build/release/python /usr/bin/python3 bench/bench_python.py; fi
	@bench/converter_vs_proj.sh build/release/tools/nuvex

# docs/accuracy.png and the table of docs/accuracy.md, from the library through the Python package.
accuracy-map: setup
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS) --target nuvex_python
	PYTHONPATH=build/dev/python /usr/bin/python3 docs/accuracy_map.py

# The quasigeoid and the grids' coverage as PROJ's cct gives them; needs cct (proj-bin), not nuvex.
heights-map:
	/usr/bin/python3 docs/heights_map.py

# ITRF2020 against ETRS89 at 2026.9 and by epoch, as PROJ's cct gives EPSG:10586; needs cct only.
itrf2020-map:
	/usr/bin/python3 docs/itrf2020_map.py

fuzz-smoke: setup
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	@scripts/fuzz-smoke.sh build/fuzz/fuzz $${FUZZ_SECONDS:-20}

# What is installed, built without the tests (the package preset turns BUILD_TESTING off).
install: setup
	cmake --preset package >/dev/null
	cmake --build --preset package -j $(JOBS)
	cmake --install build/package --prefix $${PREFIX:-/usr/local}

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
