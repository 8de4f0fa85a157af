# SPDX-License-Identifier: MIT
# Fuzzing with libFuzzer under ASan+UBSan (clang; the main build uses g++).
# `make fuzz` runs for FUZZ_SECONDS and fails on any finding; the corpus it
# grows stays in $(FUZZ_BUILD)/corpus between runs.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_CXX ?= clang++
FUZZ_MAX_LEN ?= 4096
FUZZ_OPT ?= -O2
FUZZ_ARGS ?=
FUZZ_SANITIZE := -fsanitize=address,undefined -fno-sanitize-recover=all
FUZZ_CXXFLAGS := -DFUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION -std=c++20 -g $(FUZZ_OPT) -fno-omit-frame-pointer -Wall -Wextra -Werror \
	-Iinclude -Isrc $(FUZZ_SANITIZE)
# The C interface needs the generated version header and adds no reading.
FUZZ_LIB_SRCS := $(filter-out src/main/% src/reader/run_c.cpp,$(wildcard src/*/*.cpp))
FUZZ_OBJS := $(patsubst %.cpp,$(FUZZ_BUILD)/obj/%.o,$(FUZZ_LIB_SRCS) fuzz/zelreport_fuzz.cpp)
FUZZ_BIN := $(FUZZ_BUILD)/zelreport_fuzz
FUZZ_SEEDS := $(wildcard tests/golden/*/*.xml tests/golden/*/*/*.xml examples/*.xml)

.PHONY: fuzz fuzz-build fuzz-seeds

fuzz-build: $(FUZZ_BIN)

$(FUZZ_BUILD)/obj/%.o: %.cpp $(wildcard include/zelreport/*.h src/*/*.h)
	@mkdir -p $(dir $@)
	$(FUZZ_CXX) $(FUZZ_CXXFLAGS) -fsanitize=fuzzer-no-link -c $< -o $@

$(FUZZ_BIN): $(FUZZ_OBJS)
	$(FUZZ_CXX) $(FUZZ_SANITIZE) -fsanitize=fuzzer $^ -o $@

# The seeds are copied afresh each run from the test and example documents.
fuzz-seeds:
	rm -rf $(FUZZ_BUILD)/seeds
	mkdir -p $(FUZZ_BUILD)/seeds $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/artifacts
	@for f in $(FUZZ_SEEDS); do cp "$$f" "$(FUZZ_BUILD)/seeds/$$(echo "$$f" | tr / _)"; done

fuzz: $(FUZZ_BIN) fuzz-seeds
	$(FUZZ_BIN) -max_total_time=$(FUZZ_SECONDS) -max_len=$(FUZZ_MAX_LEN) -timeout=10 \
		-dict=fuzz/zelreport.dict -print_final_stats=1 \
		-artifact_prefix=$(FUZZ_BUILD)/artifacts/ $(FUZZ_ARGS) \
		$(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/seeds

# Line and branch coverage of the library by the fuzz corpus and seeds
# (replayed once, without sanitizers).
.PHONY: fuzz-coverage
fuzz-coverage: fuzz-seeds
	$(FUZZ_CXX) -DFUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION -std=c++20 -O1 -Iinclude -Isrc \
		-fprofile-instr-generate -fcoverage-mapping -fsanitize=fuzzer \
		$(FUZZ_LIB_SRCS) fuzz/zelreport_fuzz.cpp -o $(FUZZ_BUILD)/zelreport_fuzz_cov
	LLVM_PROFILE_FILE=$(FUZZ_BUILD)/coverage.profraw $(FUZZ_BUILD)/zelreport_fuzz_cov -runs=0 \
		$(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/seeds 2>/dev/null
	llvm-profdata merge -sparse $(FUZZ_BUILD)/coverage.profraw -o $(FUZZ_BUILD)/coverage.profdata
	llvm-cov report $(FUZZ_BUILD)/zelreport_fuzz_cov -instr-profile=$(FUZZ_BUILD)/coverage.profdata src
