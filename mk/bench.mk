# SPDX-License-Identifier: MIT
# `make bench`: generate the benchmark documents into the build tree and
# time zelreport against cat and "wc -w" on them, then count its
# instructions with callgrind on the tenth-size documents. `make
# bench-quick` does the same on documents a tenth of the size. Both fail
# (status 1) when a must-reach target of bench/measure.cpp is missed.
BENCH_RUNS ?= 5
BENCH_DOCS := grid many huge ints declared token-float token-int

.PHONY: bench bench-quick bench-companions bench-companions-quick bench-python bench-html bench-xarray bench-dask

# Documents are written once per size and kept in the build tree.
$(BUILD)/bench/docs-%/.done: bench/generate.cpp bench/documents.h | build
	mkdir -p $(@D)
	for doc in $(BENCH_DOCS); do $(BUILD)/bench/zelgen $$doc $* $(@D)/$$doc.xml || exit 1; done
	touch $@

# Two threads are compared with one through the tests' library that refuses
# every thread start.
BENCH_ENV = ZELBENCH_REFUSE_THREADS=$(abspath $(BUILD))/tests/librefuse_threads.so

bench: build $(BUILD)/bench/docs-1/.done $(BUILD)/bench/docs-10/.done
	$(BENCH_ENV) $(BUILD)/bench/zelbench $(BUILD)/zelreport 1 $(BENCH_RUNS) $(BUILD)/bench/docs-1 $(BUILD)/bench/docs-10

bench-quick: build $(BUILD)/bench/docs-10/.done
	$(BENCH_ENV) $(BUILD)/bench/zelbench $(BUILD)/zelreport 10 $(BENCH_RUNS) $(BUILD)/bench/docs-10 $(BUILD)/bench/docs-10

# zelcheck and zelfmt against zelreport on the same documents.
bench-companions: build $(BUILD)/bench/docs-1/.done
	$(BUILD)/bench/zelcompanions $(BUILD)/zelreport $(BUILD)/zelcheck $(BUILD)/zelfmt $(BUILD)/bench/zelexpat 1 $(BENCH_RUNS) $(BUILD)/bench/docs-1

# records() in Python against zelreport, on the documents of size
# 1/BENCH_DIVISOR (1: full size), with the interpreter the package is built for.
BENCH_DIVISOR ?= 1
BENCH_PYTHON = PYTHONPATH=$(BUILD)/python $$(sed -n 's/^ZELREPORT_PYTHON_EXECUTABLE:INTERNAL=//p' $(BUILD)/CMakeCache.txt)
bench-python: build $(BUILD)/bench/docs-$(BENCH_DIVISOR)/.done
	$(BENCH_PYTHON) bench/python_records.py $(BUILD)/zelreport $(BENCH_RUNS) $(BUILD)/bench/docs-$(BENCH_DIVISOR)
# The html command's page against zelreport on the same documents, and
# Chromium opening grid's page.
bench-html: build $(BUILD)/bench/docs-$(BENCH_DIVISOR)/.done
	$(BENCH_PYTHON) bench/python_html.py $(BUILD)/zelreport $(BENCH_RUNS) $(BUILD)/bench/docs-$(BENCH_DIVISOR)
# The xarray engine: open_dataset and open_datasets against zelreport, every
# record loaded against records(), open_dataset's memory.
bench-xarray: build $(BUILD)/bench/docs-$(BENCH_DIVISOR)/.done
	$(BENCH_PYTHON) bench/python_xarray.py $(BUILD)/zelreport $(BENCH_RUNS) $(BUILD)/bench/docs-$(BENCH_DIVISOR) grid many huge
# open_mfdataset over 8 documents of one step each under Dask's schedulers
# (medians of 3 runs).
bench-dask: build
	$(BENCH_PYTHON) bench/python_dask.py $(BUILD)/bench/zelgen 3 $(BUILD)/bench/steps
bench-companions-quick: build $(BUILD)/bench/docs-10/.done
	$(BUILD)/bench/zelcompanions $(BUILD)/zelreport $(BUILD)/zelcheck $(BUILD)/zelfmt $(BUILD)/bench/zelexpat 10 $(BENCH_RUNS) $(BUILD)/bench/docs-10
