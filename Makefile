# The two set-up commands of the README, and the developer's other entry points.
# Every target installs what is missing first (only the groups it needs, scripts/install-deps), so a
# fresh Debian 12 machine needs nothing else.

BUILD   ?= build
JOBS    ?= $(shell nproc)
PREFIX  ?= /usr/local
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DWERROR=ON
endif

.PHONY: run test build game install package deps assets bench bench-compare fuzz test-asan soak format tidy clean

# configure FOLDER [FLAGS] [ENVIRONMENT]: CMake refuses a build folder made for another source
# folder, as a moved or copied checkout brings along; such a folder is started afresh.
define configure
	@if [ -f $(1)/CMakeCache.txt ] && \
	    ! grep -qxF 'CMAKE_HOME_DIRECTORY:INTERNAL=$(CURDIR)' $(1)/CMakeCache.txt; then \
	  echo "$(1)/ was configured for another source folder; starting it afresh"; rm -rf $(1); fi
	$(3) cmake -S . -B $(1) $(CMAKE_FLAGS) $(2) >/dev/null
endef

# Playing needs only the game: no test or packaging tools, no test programs built.
run: game
	./$(BUILD)/game/brakkovane3d $(ARGS)

game:
	@scripts/install-deps
	$(call configure,$(BUILD))
	cmake --build $(BUILD) -j $(JOBS) --target brakkovane3d

test: build
	scripts/run-headless ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

build: deps
	$(call configure,$(BUILD))
	cmake --build $(BUILD) -j $(JOBS)

deps:
	@scripts/install-deps --test

# The game, its sounds, desktop entry, icons, metadata, manual page and licences under PREFIX (DESTDIR
# is honoured, for staging): make install PREFIX=/usr DESTDIR=/tmp/stage
install: game
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)" --strip

# The Debian package, from its own optimised build with Debian's hardening flags, checked by lintian
# (any error fails): build-package/brakkovane3d_VERSION_ARCH.deb
PACKAGE_BUILD = build-package
PACKAGE_ENV = DEB_BUILD_MAINT_OPTIONS=hardening=+all
package:
	@scripts/install-deps --package
	$(call configure,$(PACKAGE_BUILD),-DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_FLAGS="$$($(PACKAGE_ENV) dpkg-buildflags --get CFLAGS) $$($(PACKAGE_ENV) dpkg-buildflags --get CPPFLAGS)" \
	  -DCMAKE_CXX_FLAGS="$$($(PACKAGE_ENV) dpkg-buildflags --get CXXFLAGS) $$($(PACKAGE_ENV) dpkg-buildflags --get CPPFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(PACKAGE_ENV) dpkg-buildflags --get LDFLAGS)")
	cmake --build $(PACKAGE_BUILD) -j $(JOBS) --target brakkovane3d
	rm -f $(PACKAGE_BUILD)/*.deb
	cd $(PACKAGE_BUILD) && cpack -G DEB
	lintian --fail-on error $(PACKAGE_BUILD)/*.deb

# Regenerates every picture, sound, icon and the font subset from tools/assetgen, byte for byte.
assets:
	@scripts/install-deps --assets
	$(call configure,$(BUILD))
	cmake --build $(BUILD) -j $(JOBS) --target assetgen
	scripts/make-assets $(BUILD)/tools/assetgen

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/. Leaks
# kept by third-party libraries are suppressed in tests/lsan.supp; every other report fails the test.
# The software renderer's shader compiler frees with free() what it took with operator new, when it
# drops a compiled shader: the new/free pairing check is off for that reason alone.
test-asan: deps
	$(call configure,build-asan,-DSANITIZE=ON)
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
bench:
	@scripts/install-deps --bench
	$(call configure,build-bench,-DCMAKE_BUILD_TYPE=Release)
	cmake --build build-bench -j $(JOBS) --target brakkovane3d bench_pixmap bench_mixer bench_collision \
	  bench_assets bench_draw bench_peer bench_null_draw
	scripts/run-headless scripts/run-bench build-bench $(BENCH_MIN_TIME)

# This tree's game against another build of it, taking turns round after round on this machine (see
# scripts/bench-compare for the figures). BASELINE: that build's brakkovane3d, e.g. a Release build of
# an older commit in a worktree of its own.
BASELINE ?=
COMPARE_ROUNDS ?= 5
bench-compare:
	@test -n "$(BASELINE)" || { echo "usage: make bench-compare BASELINE=path/to/brakkovane3d"; exit 2; }
	@scripts/install-deps --bench
	$(call configure,build-bench,-DCMAKE_BUILD_TYPE=Release)
	cmake --build build-bench -j $(JOBS) --target brakkovane3d frame_clock_preload
	scripts/run-headless scripts/bench-compare $(BASELINE) build-bench/game/brakkovane3d --rounds $(COMPARE_ROUNDS)

# The four libFuzzer targets (pixmap and sample loader chains, typed stream reads, replay files), built
# with clang and both sanitizers into build-fuzz/ and run one after the other for FUZZ_SECONDS each.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= pixmap audio_sample stream input_script
fuzz:
	@scripts/install-deps --test --fuzz
	$(call configure,build-fuzz,-DBUILD_FUZZERS=ON -DSANITIZE=ON,CC=clang CXX=clang++)
	cmake --build build-fuzz -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	scripts/run-fuzzers build-fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

tidy: build
	run-clang-tidy -quiet -p $(BUILD) -extra-arg=-Wno-unknown-warning-option '(game|render|platform|tools|bench)/.*\.cpp$$'

clean:
	rm -rf $(BUILD)
