# Top-level driver: set-up, the builds, tests, benchmarks, the viewer.
# Build trees: build/native (bin in build/bin), build/asan, build/win64, build/win32.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
CACHE ?= $(HOME)/.cache/pagrix
B := $(CURDIR)/build
CMAKE_COMMON := -DPAGRIX_DEPS_DIR=$(CACHE) -Wno-dev
FILE ?= $(CURDIR)/tests/data/sample.pdf

.PHONY: all setup build native native-render asan win64 win32 test test-native test-asan test-wine test-wine32 bench run clean fuzz

all: build

setup:
	@scripts/setup

$(B)/native/CMakeCache.txt:
	cmake -S . -B $(B)/native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAGRIX_BENCH=ON $(CMAKE_COMMON)
$(B)/asan/CMakeCache.txt:
	cmake -S . -B $(B)/asan -DCMAKE_BUILD_TYPE=Debug -DPAGRIX_SANITIZE=ON $(CMAKE_COMMON)
$(B)/win64/CMakeCache.txt:
	cmake -S . -B $(B)/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CROSSCOMPILING_EMULATOR=$(CURDIR)/scripts/wine-run $(CMAKE_COMMON)
# Configured again when this file changes: older trees were made without tests.
$(B)/win32/CMakeCache.txt: Makefile
	cmake -S . -B $(B)/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DPAGRIX_TESTS=ON \
	  -DCMAKE_CROSSCOMPILING_EMULATOR="$(CURDIR)/scripts/wine-run;--win32" $(CMAKE_COMMON)
	@touch $@

native: setup $(B)/native/CMakeCache.txt
	cmake --build $(B)/native -j$(JOBS)
# The native pagrix-render alone: the Windows runs compare the view with its pixels.
native-render: setup $(B)/native/CMakeCache.txt
	cmake --build $(B)/native -j$(JOBS) --target pagrix-render
asan: setup $(B)/asan/CMakeCache.txt
	cmake --build $(B)/asan -j$(JOBS) --target engine_tests
win64: setup $(B)/win64/CMakeCache.txt
	cmake --build $(B)/win64 -j$(JOBS)
win32: setup $(B)/win32/CMakeCache.txt
	cmake --build $(B)/win32 -j$(JOBS)

build: native win64 win32

test-native: native
	cd $(B)/native && ctest --output-on-failure -j$(JOBS)
test-asan: asan
	cd $(B)/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j$(JOBS)
test-wine: win64 native-render
	@$(CURDIR)/scripts/wine-run --prepare
	cd $(B)/win64 && ctest --output-on-failure
# The 32-bit deliverable under wine32, where the kernel runs 32-bit programs
# (I386_PROBE=false shows what a machine without them does).
I386_PROBE ?= scripts/i386-probe
export I386_PROBE
test-wine32: win32 native-render
	@if ! $(I386_PROBE); then \
	  echo "win32 tests skipped: this machine cannot run 32-bit programs"; \
	else \
	  $(CURDIR)/scripts/wine-run --win32 --prepare && cd $(B)/win32 && ctest --output-on-failure; \
	fi

# Every suite builds what it needs and runs even when an earlier one failed
# (to build or to pass); the exit status reports any failure, and the summary
# each suite's result and time.
SUITES := native asan wine wine32
test: setup
	@rc=0; rm -f $(B)/*/Testing/Temporary/LastTest.log $(B)/*/Testing/suite-seconds; \
	for s in $(SUITES); do \
	  t0=$$(date +%s); \
	  $(MAKE) --no-print-directory test-$$s || rc=1; \
	  d=$(B)/$$s; [ $$s = wine ] && d=$(B)/win64; [ $$s = wine32 ] && d=$(B)/win32; \
	  mkdir -p $$d/Testing && echo $$(( $$(date +%s) - t0 )) > $$d/Testing/suite-seconds; \
	done; \
	scripts/test-summary $(B); \
	exit $$rc

bench: native
	$(B)/native/bench/pagrix_bench

run: win64
	@scripts/run-viewer "$(B)/win64/pagrix.exe" "$(FILE)"

fuzz:
	@scripts/fuzz

clean:
	rm -rf $(B)
