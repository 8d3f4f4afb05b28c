# The two set-up commands of the README, and the developer's other entry points.
# Every target installs what is missing first, so a fresh Debian 12 machine needs nothing else.

BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DWERROR=ON
endif

.PHONY: run test build deps assets bench fuzz test-asan format tidy clean

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

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

tidy: build
	run-clang-tidy -quiet -p $(BUILD) '(game|render|platform|tools|bench)/.*\.cpp$$'

clean:
	rm -rf $(BUILD)
