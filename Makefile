# The README's commands. Each installs the Debian packages it needs first.
MAKEFLAGS += --no-print-directory
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test test-unit test-session test-asan bench clean install package

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/pendra

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

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
	  ctest --output-on-failure -j $(JOBS) -L unit

bench: build
	@if [ -x bench/run.sh ]; then bench/run.sh $(BUILD); else echo "no benchmarks yet"; fi

# make install PREFIX=/usr/local DESTDIR=/tmp/root
PREFIX  ?= /usr/local
DESTDIR ?=
# Installing needs only the program, not the tests and benchmarks.
install: configure
	@cmake --build $(BUILD) -j $(JOBS) --target pendra
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The .deb lands in $(BUILD)/.
package: configure
	@cmake --build $(BUILD) -j $(JOBS) --target pendra
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
