# SPDX-License-Identifier: MIT
# Installing and packaging.
PREFIX ?= /usr/local

.PHONY: install deb man

# Installs the programs, man pages, library, headers, and CMake and
# pkg-config files under $(PREFIX) (lib/ being the multiarch directory
# on Debian).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# Builds the Debian packages zelreport and libzelreport-dev into $(BUILD)/.
deb: build
	cd $(BUILD) && cpack -G DEB

# Shows the man page from the source tree.
man:
	man -l zelreport.1
