# SPDX-License-Identifier: MIT
# Valgrind memcheck over the golden end-to-end documents and the sample:
# any memory error or leak, any exit status but 0 and any missing document
# fails the target. Reports go to $(BUILD)/valgrind/NAME.log.
VALGRIND_DOCS ?= $(wildcard tests/golden/*/*.xml) examples/sample.xml
VALGRIND_FLAGS := --tool=memcheck --error-exitcode=99 --leak-check=full \
	--show-leak-kinds=all --errors-for-leak-kinds=all --track-fds=no

.PHONY: valgrind

valgrind: build
	@mkdir -p $(BUILD)/valgrind
	@failed=0; for doc in $(VALGRIND_DOCS); do \
	  log=$(BUILD)/valgrind/$$(echo "$$doc" | tr / _).log; \
	  if [ ! -f "$$doc" ]; then echo "valgrind: $$doc is missing"; failed=1; continue; fi; \
	  valgrind $(VALGRIND_FLAGS) --log-file=$$log $(BUILD)/zelreport < "$$doc" 2>/dev/null; \
	  status=$$?; \
	  if [ $$status -eq 99 ]; then echo "valgrind: errors in $$doc (see $$log)"; failed=1; \
	  elif [ $$status -ne 0 ]; then echo "valgrind: $$doc: exit status $$status (see $$log)"; failed=1; \
	  else echo "valgrind: $$doc clean"; fi; \
	done; exit $$failed
