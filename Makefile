# The two commands a newcomer needs: `make run` and `make test`.
# Both install what is missing (Debian 12, as root or with sudo) and build.

JOBS ?= $(shell nproc)
BUILD := build
SANITIZE_BUILD := build-sanitize
# Tests of whole suites' exactness that the plain build runs; under the
# sanitizers they would take a third of the run for no new code path.
SANITIZE_SKIP := RowDeflateTest.PngsOfEveryCorpusFileDecodeToItsFrames|WebpOracleTest.EveryAnimatedWebpOfTheSuitesAgreesWithLibwebp|CorpusTest.WebpSuitesMatchLibwebpFrames|CorpusTest.JxlConformanceAnimationEqualsItsGif
TSAN_BUILD := build-tsan

PREFIX ?= /usr/local

# The programs are optimised as they ship, with line tables for profiles and
# backtraces (full debug information would add a third to the build).
BUILD_FLAGS := -O2 -g1 -DNDEBUG

# The Python the module is built for and tested with: Debian's, whose
# packages setup.sh installs.
PYTHON ?= /usr/bin/python3

# The AVIF and JPEG XL decoders: by default the pinned libavif and libjxl that
# scripts/deps.sh builds once into ~/.cache/framelot and the programs link
# statically; CODECS=system takes Debian's shared libavif and libjxl instead.
CODECS ?= pinned
CODECS_PREFIX := $(if $(filter system,$(CODECS)),true,bash scripts/deps.sh linux)

.PHONY: setup build run test test-plain test-sanitize test-tsan fuzz fuzz-smoke bench clean install package

setup:
	@bash scripts/setup.sh

build: setup
	@codecs="$$($(CODECS_PREFIX))" && \
	  cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$(BUILD_FLAGS)" \
	    -DFRAMELOT_CODECS="$$codecs" \
	    -DPython_EXECUTABLE=$(PYTHON) | grep 'AVIF and JPEG XL'
	cmake --build $(BUILD) -j $(JOBS)

# The Python module, built in $(BUILD) and installed into $(PYTHON) by pip
# from python/ with nothing fetched (into /usr/local on Debian, beside the
# packages apt keeps in /usr; `make package` builds python3-framelot too).
.PHONY: python
python: build
	FRAMELOT_BUILD=$(CURDIR)/$(BUILD) $(PYTHON) -m pip install --no-build-isolation --no-deps --no-index \
	  --root-user-action=ignore $$($(PYTHON) -c 'import os, sys, sysconfig; \
	  managed = os.path.exists(os.path.join(sysconfig.get_path("stdlib"), "EXTERNALLY-MANAGED")); \
	  print("--break-system-packages" if managed and sys.prefix == sys.base_prefix else "")') ./python
	@cd /tmp && $(PYTHON) -c 'import framelot; print("framelot", framelot.__version__, "for", framelot.__file__)'

run: build
	@if [ ! -x $(BUILD)/app/framelot ]; then \
	  echo "The window is not built yet; use $(BUILD)/framelot-cli FILE... meanwhile."; \
	elif [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set)."; \
	  echo "For terminal use: $(BUILD)/framelot-cli [--folder | --no-folder] FILE..."; \
	else \
	  $(BUILD)/app/framelot; \
	fi

# Installs under PREFIX (default /usr/local); DESTDIR=... stages it elsewhere.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# Builds build/framelot_<version>_amd64.deb (installs under /usr) and
# build/python3-framelot_<version>_amd64.deb (the Python module).
package: build
	cd $(BUILD) && cpack -G DEB

test: test-plain test-sanitize test-tsan fuzz-smoke

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: setup
	@codecs="$$($(CODECS_PREFIX))" && \
	  cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DFRAMELOT_SANITIZE=ON -DFRAMELOT_BENCH_TOOLS=OFF \
	    -DFRAMELOT_CODECS="$$codecs" | \
	  grep 'AVIF and JPEG XL'
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS) \
	  -E '$(SANITIZE_SKIP)'

# The threaded code's tests (batch runner, writer pool) under ThreadSanitizer;
# only their program is built, optimised lightly with line tables (what its
# reports need), as the fuzzing build is.
CHECK_FLAGS := -O1 -g1 -DNDEBUG
test-tsan: setup
	@codecs="$$($(CODECS_PREFIX))" && \
	  cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$(CHECK_FLAGS)" \
	    -DFRAMELOT_THREAD_SANITIZE=ON -DFRAMELOT_CODECS="$$codecs" | \
	  grep 'AVIF and JPEG XL'
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target framelot_thread_tests
	TSAN_OPTIONS=halt_on_error=1 $(TSAN_BUILD)/tests/framelot_thread_tests

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD) build-fuzz $(WINDOWS_BUILD) $(WEB_BUILD)

# Coverage-guided fuzzing of each container for FUZZ_SECONDS seconds a target;
# `make test` runs a short smoke of each.
FUZZ_SECONDS ?= 180
fuzz: setup
	codecs="$$($(CODECS_PREFIX))" && FRAMELOT_CODECS="$$codecs" bash fuzz/run.sh $(FUZZ_SECONDS)

fuzz-smoke: setup
	codecs="$$($(CODECS_PREFIX))" && FRAMELOT_CODECS="$$codecs" bash fuzz/run.sh 10

# Times framelot-cli against ImageMagick, ffmpeg and Pillow, and the Python
# module against Pillow and imageio; writes bench/RESULTS.md.
bench: build
	@bash scripts/setup.sh --bench
	/usr/bin/python3 bench/run.py
	/usr/bin/python3 bench/python.py

# The Python table alone.
.PHONY: bench-python
bench-python: build
	@bash scripts/setup.sh --bench
	/usr/bin/python3 bench/python.py

# A build folder configured for another library prefix (the lock changed, so
# the cache folder did) forgets what CMake found there: its cache goes, the
# objects stay.
forget-other-prefix = { [ "$$(cat $(1)/.deps-prefix 2>/dev/null)" = "$(3)" ] || rm -f $(1)/CMakeCache.txt; }

# The page in a browser: the core compiled to WebAssembly with Emscripten
# into build-web/ (a static site, and framelot.html, one file that works
# opened from disk), tested in headless Chromium.
WEB_BUILD := build-web
EMSCRIPTEN_ENV := NODE_PATH=$${NODE_PATH:-/usr/share/nodejs}

.PHONY: web test-web
web:
	@bash scripts/setup.sh --web
	@deps="$$(bash scripts/deps.sh web)" && \
	  $(call forget-other-prefix,$(WEB_BUILD),FRAMELOT_WEB_DEPS,$$deps) && \
	  $(EMSCRIPTEN_ENV) emcmake cmake -S . -B $(WEB_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DFRAMELOT_WEB_DEPS="$$deps" >/dev/null && \
	  echo "$$deps" >$(WEB_BUILD)/.deps-prefix
	$(EMSCRIPTEN_ENV) cmake --build $(WEB_BUILD) -j $(JOBS)
	node web/assemble.mjs web $(WEB_BUILD)
	@ls $(WEB_BUILD)/index.html $(WEB_BUILD)/framelot.html

test-web: web build
	cd tests/web && npm ci --no-audit --no-fund --silent
	node tests/web/WebTest.mjs $(WEB_BUILD) $(BUILD)/framelot-cli
	node tests/web/EngineTest.mjs $(BUILD)/framelot-cli

# Windows: cross-built with mingw-w64 into build-windows/ (framelot.exe,
# framelot-cli.exe, the zip and the installer), tested under Wine.
WINDOWS_BUILD := build-windows
WINE := env WINEPREFIX=$(CURDIR)/$(WINDOWS_BUILD)/wine WINEDEBUG=-all /usr/lib/wine/wine64

.PHONY: windows test-windows
windows:
	@bash scripts/setup.sh --windows
	@deps="$$(bash scripts/deps.sh windows)" && \
	  $(call forget-other-prefix,$(WINDOWS_BUILD),FRAMELOT_WINDOWS_DEPS,$$deps) && \
	  cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DFRAMELOT_WINDOWS_DEPS="$$deps" >/dev/null && \
	  echo "$$deps" >$(WINDOWS_BUILD)/.deps-prefix
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	cd $(WINDOWS_BUILD) && cpack -G ZIP >/dev/null && cpack -G NSIS >/dev/null
	@ls $(WINDOWS_BUILD)/framelot-*-win64*

# A private Wine prefix without the .NET and browser installers, and without
# the debugger, which would wait for a user on a crash.
$(WINDOWS_BUILD)/wine/ready:
	WINEDLLOVERRIDES="mscoree,mshtml=" $(WINE) wineboot --init
	for dll in mscoree mshtml winedbg.exe; do \
	  $(WINE) reg add 'HKCU\Software\Wine\DllOverrides' /v $$dll /t REG_SZ /d '' /f >/dev/null || exit 1; \
	done
	touch $@

# One wineserver for the whole run, started before the tests and waited for
# after them, so that no test's Wine process has to start (or lose) a server.
WINESERVER := env WINEPREFIX=$(CURDIR)/$(WINDOWS_BUILD)/wine /usr/lib/wine/wineserver

test-windows: windows $(WINDOWS_BUILD)/wine/ready
	-$(WINESERVER) -k 2>/dev/null
	$(WINESERVER) -w
	$(WINESERVER) -p
	cd $(WINDOWS_BUILD) && xvfb-run -a ctest --output-on-failure --timeout 300 -j $(JOBS); \
	  status=$$?; $(WINESERVER) -k; $(WINESERVER) -w; exit $$status
