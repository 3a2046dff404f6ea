# The two entry points of the README. Both install what is missing (scripts/install-deps.sh),
# configure once and build incrementally, so a second run with nothing changed is quick.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
WEBENV     := QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox"

.PHONY: run test deps build build-asan check-format test-unit test-asan test-web bench package clean

run: deps build
	$(if $(filter 0,$(shell id -u)),$(WEBENV)) ./$(BUILD)/bin/flintly

test: deps check-format build build-asan
	$(MAKE) --no-print-directory test-unit test-asan test-web

# One format for the C++ (.clang-format) and a page that type-checks (the bundler does
# not): either failing fails the test command before anything is built.
check-format:
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
	cd web/editor && npm run --silent typecheck

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Debug \
	  -DFLINTLY_SANITIZE=ON -DFLINTLY_BENCH=OFF

build-asan: $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# Every test of the full build, under a virtual X server for the windows and key grabs.
test-unit:
	xvfb-run -a -s "-screen 0 1920x1080x24" ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Every module's tests but those hosting Qt WebEngine, under AddressSanitizer (with leak
# checks) and UndefinedBehaviorSanitizer; windows and key grabs on a virtual X server,
# without OpenGL, whose drivers keep memory the leak check would report.
test-asan:
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp QT_XCB_GL_INTEGRATION=none \
	  xvfb-run -a -s "-screen 0 1920x1080x24" ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The editor page on its own in headless Chromium.
test-web:
	@if [ -f web/editor/package.json ]; then cd web/editor && npm test; fi

# Every benchmark runs, even after one has failed; any failure (a missed budget, or one
# that could not run) fails the command at the end.
bench: deps build
	@failed=; for s in bench/*/run.sh; do \
	  echo "== $$s"; \
	  if [ -x "$$s" ]; then "$$s" || failed="$$failed $$s"; \
	  else echo "$$s is not executable" >&2; failed="$$failed $$s"; fi; \
	done; \
	if [ -n "$$failed" ]; then echo "benchmarks failed:$$failed" >&2; exit 1; fi

# The Debian package, from the build: $(BUILD)/flintly_<version>_<arch>.deb.
package: deps build
	cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
