# Thin wrapper: every target installs what it needs first.
MAKEFLAGS += --no-print-directory
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps configure build test sanitize demo bench fuzz clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j2

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, in a build folder of its own.
SANITIZE_BUILD ?= build-sanitize
SANITIZE_FLAGS = -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer
sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKNOKLE_BUILD_BENCHMARKS=OFF \
		-DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS) -O1" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)" >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	@cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j2

# Each fuzz target for FUZZ_SECONDS, from its kept inputs; findings land in $(FUZZ_BUILD)/findings.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
FUZZ_FLAGS = -fsanitize=address,undefined -fno-sanitize-recover=undefined
fuzz:
	@scripts/install-deps fuzz
	@CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -DKNOKLE_FUZZ=ON -DKNOKLE_BUILD_TESTS=OFF \
		-DKNOKLE_BUILD_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug \
		-DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS) -fsanitize=fuzzer-no-link -O1" -DCMAKE_EXE_LINKER_FLAGS="$(FUZZ_FLAGS)" >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzzers
	@scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

demo: build
	@scripts/run-demo $(BUILD)/knokle

bench: build
	@for b in $(BUILD)/bench/bench_*; do $$b; done

clean:
	@rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
