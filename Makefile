# The two set-up commands of the README, and the developer's other entry points.
# Every target installs what is missing first, so a fresh Debian 12 machine needs nothing else.

BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DWERROR=ON
endif

.PHONY: run test build deps assets bench bench-compare fuzz test-asan soak format tidy clean

run: build
	./$(BUILD)/game/brakkovane3d $(ARGS)

test: build
	scripts/run-headless ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

deps:
	@scripts/install-deps

# Regenerates every picture, sound and the font subset from tools/assetgen, byte for byte.
assets:
	@scripts/install-deps --assets
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target assetgen
	scripts/make-assets $(BUILD)/tools/assetgen

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/. Leaks
# kept by third-party libraries are suppressed in tests/lsan.supp; every other report fails the test.
# The software renderer's shader compiler frees with free() what it took with operator new, when it
# drops a compiled shader: the new/free pairing check is off for that reason alone.
test-asan: deps
	cmake -S . -B build-asan -DSANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:alloc_dealloc_mismatch=0 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  scripts/run-headless ctest --test-dir build-asan --output-on-failure -j $(JOBS) --timeout 900

# The long soak: 100,000 frames through every state, resident memory checked after warm-up.
SOAK_FRAMES ?= 100000
soak: build
	SOAK_FRAMES=$(SOAK_FRAMES) scripts/run-headless ./$(BUILD)/tests/test_robustness --gtest_filter='*Soak*'

# Every benchmark (engine microbenchmarks, SDL's renderer beside DrawImage, both timedemos) from an
# optimised build in build-bench/, summed up in one table. BENCH_MIN_TIME: seconds per benchmark.
BENCH_MIN_TIME ?= 0.5
bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	cmake --build build-bench -j $(JOBS) --target brakkovane3d bench_pixmap bench_mixer bench_collision \
	  bench_assets bench_draw bench_peer bench_null_draw
	scripts/run-headless scripts/run-bench build-bench $(BENCH_MIN_TIME)

# This tree's game against another build of it, taking turns round after round on this machine (see
# scripts/bench-compare for the figures). BASELINE: that build's brakkovane3d, e.g. a Release build of
# an older commit in a worktree of its own.
BASELINE ?=
COMPARE_ROUNDS ?= 5
bench-compare: deps
	@test -n "$(BASELINE)" || { echo "usage: make bench-compare BASELINE=path/to/brakkovane3d"; exit 2; }
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	cmake --build build-bench -j $(JOBS) --target brakkovane3d frame_clock_preload
	scripts/run-headless scripts/bench-compare $(BASELINE) build-bench/game/brakkovane3d --rounds $(COMPARE_ROUNDS)

# The four libFuzzer targets (pixmap and sample loader chains, typed stream reads, replay files), built
# with clang and both sanitizers into build-fuzz/ and run one after the other for FUZZ_SECONDS each.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= pixmap audio_sample stream input_script
fuzz:
	@scripts/install-deps --fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DBUILD_FUZZERS=ON -DSANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build build-fuzz -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	scripts/run-fuzzers build-fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

tidy: build
	run-clang-tidy -quiet -p $(BUILD) -extra-arg=-Wno-unknown-warning-option '(game|render|platform|tools|bench)/.*\.cpp$$'

clean:
	rm -rf $(BUILD)
