# Thin wrapper: every target installs what it needs first.
MAKEFLAGS += --no-print-directory
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps configure build test demo bench clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j2

demo: build
	@scripts/run-demo $(BUILD)/knokle

bench: build
	@for b in $(BUILD)/bench/bench_*; do $$b; done

clean:
	@rm -rf $(BUILD)
