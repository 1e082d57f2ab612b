# The README's commands. Each installs the Debian packages it needs first.
MAKEFLAGS += --no-print-directory
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?=
# The test build and the install build ($(DIST_BUILD)) compile the same
# sources in different folders: paths relative to the tree let them share
# ccache's entries, so the second build is mostly cache hits.
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= 1

.PHONY: all deps configure build run test test-unit test-session check test-asan test-tsan fuzz reliability bench clean dist install package mutants ratio

all: build

deps:
	@tools/install-deps.sh

# The tests and the program's test hooks (PENDRA_WITH_TESTS); install and
# package build without them, in $(DIST_BUILD).
configure: deps
	@cmake -S . -B $(BUILD) -DPENDRA_WITH_TESTS=ON $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/pendra

# Everything: the plain build's unit, widget and session tests, the unit
# tests again under ASan+UBSan, the concurrency tests under TSan, and each
# fuzzer for FUZZ_SECONDS. `make check` is the first part alone.
test: check test-asan test-tsan fuzz

check: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --output-junit junit.xml

# docs/reliability.md from the results of the last `make test`.
reliability:
	@tools/reliability.py

test-unit: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L unit

test-session: build
	@cd $(BUILD) && ctest --output-on-failure -L session

# The unit tests, with the racing stopwatch and timer stress cases, under
# AddressSanitizer and UBSan. (ThreadSanitizer cannot see the synchronisation
# inside Debian's uninstrumented Qt and reports it by the dozen.)
ASAN_BUILD ?= build-asan
test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DPENDRA_SANITIZE=address,undefined -DPENDRA_SESSION_TESTS=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) -L unit --output-junit junit.xml

# The concurrency tests (dispatch queues and timer sources, the timer and the
# stopwatch racing their sources) under ThreadSanitizer. Qt's own reports are
# set aside by tools/tsan-report.py, which says why; a deliberate race must
# still be caught, and none of ours may appear.
TSAN_BUILD ?= build-tsan
TSAN_TESTS  = SerialQueue*:MainQueue*:TimerSource*:TimerRecord*:*RealSource*:Stopwatch*
test-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -DPENDRA_SANITIZE=thread -DPENDRA_SESSION_TESTS=OFF >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target test_platform test_timer test_stopwatch tsan_race_canary
	@rm -rf $(TSAN_BUILD)/tsan && mkdir -p $(TSAN_BUILD)/tsan
	@TSAN_OPTIONS="exitcode=0 log_path=$(CURDIR)/$(TSAN_BUILD)/tsan/canary" $(TSAN_BUILD)/bin/tsan_race_canary
	@tools/tsan-report.py --expect-ours $(TSAN_BUILD)/tsan/canary.* >/dev/null || \
	  { echo "ThreadSanitizer missed the deliberate race"; exit 1; }
	@for t in platform timer stopwatch; do \
	  QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="halt_on_error=0 exitcode=0 log_path=$(CURDIR)/$(TSAN_BUILD)/tsan/$$t" \
	    $(TSAN_BUILD)/bin/test_$$t --gtest_filter='$(TSAN_TESTS)' >$(TSAN_BUILD)/tsan/$$t.out 2>&1 || \
	    { cat $(TSAN_BUILD)/tsan/$$t.out; exit 1; }; \
	  tail -n 1 $(TSAN_BUILD)/tsan/$$t.out; \
	done
	@tools/tsan-report.py $$(ls $(TSAN_BUILD)/tsan/* | grep -v '/canary\|\.out$$') >$(TSAN_BUILD)/tsan/summary.txt; \
	  rc=$$?; cat $(TSAN_BUILD)/tsan/summary.txt; exit $$rc

# libFuzzer targets (fuzz/), built with clang under ASan and UBSan, each run
# for FUZZ_SECONDS on a copy of its seed corpus; a crash fails the target.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	@CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DPENDRA_FUZZ=ON -DPENDRA_WITH_TESTS=OFF \
	  -DPENDRA_SESSION_TESTS=OFF -DPENDRA_SANITIZE=fuzzer-no-link,address,undefined >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@FUZZ_SECONDS=$(FUZZ_SECONDS) tools/fuzz.sh $(FUZZ_BUILD)

# Each fault of tools/mutants/ applied in turn to a scratch copy of the tree
# ($(BUILD)/mutants/tree), built there and put to the tests its header names;
# fails if any survives. MUTANTS="03 07" runs those alone.
MUTANTS ?=
mutants: deps
	@BUILD=$(BUILD) JOBS=$(JOBS) tools/mutants/run.py $(MUTANTS)

# Non-blank lines of tests/ (C++ and Python) against src/.
ratio:
	@tools/test-ratio.sh

bench: build
	@if [ -x bench/run.sh ]; then bench/run.sh $(BUILD); else echo "no benchmarks yet"; fi

# make install PREFIX=/usr/local DESTDIR=/tmp/root
PREFIX  ?= /usr/local
DESTDIR ?=
# Installing and packaging build just the program, without tests or test
# hooks, in a build tree of their own so that $(BUILD) keeps its tests.
DIST_BUILD ?= $(BUILD)-dist
dist: deps
	@cmake -S . -B $(DIST_BUILD) -DPENDRA_WITH_TESTS=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(DIST_BUILD) -j $(JOBS) --target pendra

install: dist
	@DESTDIR="$(DESTDIR)" cmake --install $(DIST_BUILD) --prefix "$(PREFIX)"

# The .deb lands in $(DIST_BUILD)/.
package: dist
	@cd $(DIST_BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(DIST_BUILD)
