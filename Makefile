# Thin wrapper over the CMake presets; see README.md.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local
DESTDIR ?=

# Each target names the package groups of scripts/install-deps it needs;
# `deps` installs them only when some are missing. Prerequisites inherit
# the groups, so `make test` installs what the Unix suite needs before
# building; the Windows suite runs where its tools are (`make windows`
# installs them).
DEPS_GROUPS = build
run build install: DEPS_GROUPS = build
test: DEPS_GROUPS = build test package
asan: DEPS_GROUPS = build test
fuzz: DEPS_GROUPS = build fuzz
package: DEPS_GROUPS = build package
windows windows-test: DEPS_GROUPS = windows

# The tools the Windows suite needs; override to see the skip.
WINDOWS_CXX ?= x86_64-w64-mingw32-g++-posix
WINE ?= wine

.PHONY: all deps build run test golden asan fuzz bench install uninstall package clean windows windows-test

all: build

deps:
	@scripts/install-deps --check $(DEPS_GROUPS) 2>/dev/null || scripts/install-deps $(DEPS_GROUPS)

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)

run: build
	./build/zorvikqm-setup

# The Windows suite follows the Unix one wherever it can run here;
# ZQ_REQUIRE_WINDOWS=1 (as CI sets it) turns its skipping into a failure.
test: build
	ctest --preset default -j $(JOBS)
	@if command -v $(WINDOWS_CXX) >/dev/null && command -v $(WINE) >/dev/null; then \
	  $(MAKE) --no-print-directory windows-test; \
	else \
	  echo "make test: SKIPPED the Windows suite: needs $(WINDOWS_CXX) and $(WINE)" \
	       "(packages g++-mingw-w64-x86-64-posix wine wine64)"; \
	  test -z "$(ZQ_REQUIRE_WINDOWS)"; \
	fi

# build-windows/zorvikqm-setup.exe, cross-built with MinGW-w64.
windows: deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

# The Windows suite, run under Wine. A test that fails is run once more:
# now and then a Wine process dies before the program starts (no output at
# all); a real failure fails twice.
windows-test: windows
	ctest --preset windows -j $(JOBS) --no-tests=error --repeat until-pass:2

# Rewrites tests/golden/ from the screens as they are now; for an intended
# change of a screen (review the diff before committing it).
golden: build
	ZQ_UPDATE_GOLDEN=1 ./build/tests/golden_screens_test

asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./fuzz/run-fuzz build-fuzz

bench: build
	./build/zq_bench

# make install [PREFIX=/usr/local] [DESTDIR=]; make uninstall with the same
# two removes what that install added (see cmake/uninstall.cmake).
install: build
	DESTDIR="$(DESTDIR)" cmake --install build --prefix "$(PREFIX)"

uninstall:
	cmake -DZQ_BUILD_DIR=build -DZQ_ROOT="$(DESTDIR)$(PREFIX)" -P cmake/uninstall.cmake

# The .deb and .tar.gz in build/; the .zip in build-windows/ when the
# Windows cross build is configured there.
package: build
	cd build && cpack
	if [ -f build-windows/CPackConfig.cmake ]; then \
	  cmake --build build-windows -j $(JOBS) && cd build-windows && cpack; fi

clean:
	rm -rf build build-asan build-fuzz build-windows
