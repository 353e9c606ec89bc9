# The two commands of the README: `make run` builds the game alone and plays,
# `make check` builds everything and tests.
# `make check` also builds the program and every test with AddressSanitizer
# and UndefinedBehaviorSanitizer in $(ASAN_BUILD) and runs the suite there;
# `make fuzz` runs each fuzz target for FUZZ_SECONDS (needs clang); `make bench`
# runs the pace benchmark (about four minutes; docs/performance.md); `make
# mutants` writes each one-line fault of tests/mutants.tsv into a copy of the
# tree in build-mutants/ and checks that the tests catch it.
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_SECONDS ?= 60
CMAKE_FLAGS ?=
ifdef CI
CMAKE_FLAGS += -DZALPOMET_WERROR=ON
endif

.PHONY: run check check-asan build configure deps clean fuzz bench screenshots mutants

deps:
	@scripts/install-deps.sh

configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	@cmake --build $(BUILD)

# Playing needs the game alone: the tests, the benchmark, the fuzz replays
# and the level checker would triple the first start's wait.
run: configure
	@cmake --build $(BUILD) --target zalpomet
	@$(BUILD)/zalpomet

check: build
	@cd $(BUILD) && ctest --output-on-failure -j2
	@$(MAKE) --no-print-directory check-asan

# The sanitiser options for the programs the tests start are set by the test
# definitions themselves (tests/CMakeLists.txt), so ctest alone is enough.
check-asan: deps
	@[ -f $(ASAN_BUILD)/build.ninja ] || cmake -S . -B $(ASAN_BUILD) -G Ninja $(CMAKE_FLAGS) -DZALPOMET_SANITIZE=ON
	@cmake --build $(ASAN_BUILD)
	@cd $(ASAN_BUILD) && ctest --output-on-failure -j2

fuzz:
	@scripts/install-deps.sh fuzz
	@scripts/fuzz.sh $(FUZZ_SECONDS)

# The pictures of docs/screenshots, taken from the real game under a private
# Xvfb (about two minutes: the game runs at a tenth of its speed).
screenshots: configure
	@cmake --build $(BUILD) --target zalpomet-screenshots
	@$(BUILD)/tools/zalpomet-screenshots docs/screenshots

bench: build
	@./$(BUILD)/bench/zalpomet-bench

mutants:
	@scripts/install-deps.sh mutants
	@python3 scripts/mutants.py

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz build-mutants
