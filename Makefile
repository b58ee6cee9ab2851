# The commands a newcomer types. Each installs what is missing, then builds.
BUILD ?= build
JOBS ?= $(shell nproc)
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: all deps build run test fuzz bench demo clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -G Ninja >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
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

demo: build
	@tools/demo $(BUILD)

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
