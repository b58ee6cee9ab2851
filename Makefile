# The commands a newcomer types. Each installs what is missing, then builds.
BUILD ?= build
JOBS ?= $(shell nproc)
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test fuzz bench demo clean

all: build

deps:
	@scripts/install-deps

# Quiet but for the window console's line; all of it when configuring fails.
configure: deps
	@out=$$(cmake -S . -B $(BUILD) -G Ninja 2>&1) || { printf '%s\n' "$$out"; exit 1; }; \
	printf '%s\n' "$$out" | sed -n 's/^-- \(Window console: .*\)/\1/p'

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# run and demo build only what they start, not the tests and benches.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target pat-downloader
	@$(BUILD)/bin/pat-downloader

test: build
	@scripts/install-deps --test
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300
	@FUZZ_BUILD=$(FUZZ_BUILD) JOBS=$(JOBS) tests/fuzz/run replay

# Each fuzz target for FUZZ_SECONDS; fails at the first finding.
fuzz:
	@scripts/install-deps --fuzz
	@FUZZ_BUILD=$(FUZZ_BUILD) JOBS=$(JOBS) tests/fuzz/run fuzz $(FUZZ_SECONDS)

bench: build
	@bench/run $(BUILD)

demo: configure
	@cmake --build $(BUILD) -j $(JOBS) --target pat-downloader sim_tester
	@tools/demo $(BUILD)

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
