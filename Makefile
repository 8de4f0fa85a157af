# SPDX-License-Identifier: MIT
# Quick start: `make run` builds the program alone and runs it on the
# example document; `make test` builds and runs every test.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)

.PHONY: all configure build run test test-slow sanitize format format-check floors-check clean

all: build

configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The program only: no test, benchmark or example is built, and GoogleTest
# is not needed.
run: configure
	cmake --build $(BUILD) -j $(JOBS) --target zelreport
	$(BUILD)/zelreport < examples/sample.xml

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -LE slow

# Tests that need hundreds of megabytes of input.
test-slow: build
	ctest --test-dir $(BUILD) --output-on-failure -L slow

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DZELREPORT_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE slow

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h' '*.c')

# Fails, naming the places, when a C or C++ source is not as `make format`
# leaves it.
format-check:
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h' '*.c')

# Fails, naming the include, when a source under src/ includes a folder
# that is not below its own (the floors of docs/development.md).
floors-check:
	sh .ci/include_floors.sh .

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(FUZZ_BUILD)-coverage

-include mk/*.mk
