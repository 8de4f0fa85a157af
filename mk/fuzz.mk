# SPDX-License-Identifier: MIT
# Fuzzing with libFuzzer under ASan and UBSan: `make fuzz` configures
# $(FUZZ_BUILD) with clang through CMake (the same source lists as every
# other build) and runs each target in FUZZ_TARGETS (every fuzz/NAME_fuzz.cpp)
# for FUZZ_SECONDS, starting from its committed corpus fuzz/corpus/NAME;
# what it finds new is kept in $(FUZZ_BUILD)/corpus/NAME. Any finding fails.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_CXX ?= clang++
FUZZ_TARGETS ?= $(patsubst fuzz/%_fuzz.cpp,%,$(wildcard fuzz/*_fuzz.cpp))
FUZZ_ARGS ?=
FUZZ_MAX_LEN ?= 4096
FUZZ_MAX_LEN_conversion ?= 128
FUZZ_MAX_LEN_spelling ?= 8
FUZZ_DICT_document := fuzz/document.dict
FUZZ_DICT_values := fuzz/tokens.dict
FUZZ_DICT_conversion := fuzz/tokens.dict
FUZZ_DICT_xml := fuzz/document.dict
FUZZ_CMAKE_FLAGS := -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELREPORT_FUZZ=ON \
	-DZELREPORT_TESTS=OFF -DZELREPORT_BENCH=OFF -DZELREPORT_EXAMPLES=OFF -DZELREPORT_INSTALL=OFF

.PHONY: fuzz fuzz-build fuzz-coverage

fuzz-build:
	cmake -S . -B $(FUZZ_BUILD) $(FUZZ_CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_TARGETS:%=%_fuzz)

fuzz: $(FUZZ_TARGETS:%=fuzz-run-%)

# The sanitizer's quarantine of freed memory is kept small: the targets of
# tiny inputs run millions of times, and a full quarantine would read as a
# growing footprint against the memory limit.
fuzz-run-%: fuzz-build
	mkdir -p $(FUZZ_BUILD)/corpus/$* $(FUZZ_BUILD)/artifacts/$*
	ASAN_OPTIONS=quarantine_size_mb=64$(if $(ASAN_OPTIONS),:$(ASAN_OPTIONS)) $(FUZZ_BUILD)/fuzz/$*_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
		-max_len=$(or $(FUZZ_MAX_LEN_$*),$(FUZZ_MAX_LEN)) $(if $(FUZZ_DICT_$*),-dict=$(FUZZ_DICT_$*)) \
		-print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/artifacts/$*/ $(FUZZ_ARGS) \
		$(FUZZ_BUILD)/corpus/$* fuzz/corpus/$*

# Line and branch coverage of src/ by the committed and the grown corpus,
# each target replayed once in a coverage build.
fuzz-coverage:
	cmake -S . -B $(FUZZ_BUILD)-coverage $(FUZZ_CMAKE_FLAGS) \
		-DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping"
	cmake --build $(FUZZ_BUILD)-coverage -j $(JOBS) --target $(FUZZ_TARGETS:%=%_fuzz)
	rm -f $(FUZZ_BUILD)-coverage/*.profraw
	for t in $(FUZZ_TARGETS); do mkdir -p $(FUZZ_BUILD)/corpus/$$t; \
		LLVM_PROFILE_FILE=$(FUZZ_BUILD)-coverage/$$t.profraw $(FUZZ_BUILD)-coverage/fuzz/$${t}_fuzz -runs=0 \
		$(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t 2>/dev/null || exit 1; done
	llvm-profdata merge -sparse $(FUZZ_BUILD)-coverage/*.profraw -o $(FUZZ_BUILD)-coverage/all.profdata
	llvm-cov report -instr-profile=$(FUZZ_BUILD)-coverage/all.profdata \
		$(FUZZ_BUILD)-coverage/fuzz/$(firstword $(FUZZ_TARGETS))_fuzz \
		$(foreach t,$(wordlist 2,$(words $(FUZZ_TARGETS)),$(FUZZ_TARGETS)),-object $(FUZZ_BUILD)-coverage/fuzz/$(t)_fuzz) src
