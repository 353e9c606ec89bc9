# The two commands of the README: `make run` plays, `make check` tests.
BUILD ?= build
CMAKE_FLAGS ?=
ifdef CI
CMAKE_FLAGS += -DZALPOMET_WERROR=ON
endif

.PHONY: run check build deps clean

deps:
	@scripts/install-deps.sh

build: deps
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	@cmake --build $(BUILD)

run: build
	@./$(BUILD)/zalpomet

check: build
	@cd $(BUILD) && ctest --output-on-failure -j2

clean:
	rm -rf $(BUILD)
