# The README's commands. Each installs the Debian packages it needs first.
MAKEFLAGS += --no-print-directory
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test test-unit test-session bench clean install package

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
