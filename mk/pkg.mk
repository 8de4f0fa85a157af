# SPDX-License-Identifier: MIT
# Installing and packaging.
PREFIX ?= /usr/local

.PHONY: install deb man

# Installs the binary, library, headers, CMake and pkg-config files and the
# man page under $(PREFIX).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# Builds the Debian package into $(BUILD)/.
deb: build
	cd $(BUILD) && cpack -G DEB

# Shows the man page from the source tree.
man:
	man -l zelreport.1
