# The commands a newcomer types. Each installs what is missing, then builds.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build run test bench demo clean

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

bench: build
	@bench/run $(BUILD)

demo: build
	@tools/demo $(BUILD)

clean:
	rm -rf $(BUILD)
