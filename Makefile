# Thin wrapper over the CMake presets; see README.md.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local
DESTDIR ?=

# $(call deps,GROUP...): first in every recipe that builds, the package
# groups of scripts/install-deps that the target needs, each target naming
# all of its own; the missing ones are installed. A machine that has them
# all pays for one dpkg-query.
deps = @scripts/install-deps --check $(1) 2>/dev/null || scripts/install-deps $(1)

# $(call configure,PRESET,FOLDER[,ON]): configures the preset; ON builds the
# tests. A folder configured here first leaves them out (running the program
# needs no GoogleTest); one configured with tests keeps them.
configure = cmake --preset $(1) $(if $(3),-DZQ_TESTS=ON,$(if $(wildcard $(2)/CMakeCache.txt),,-DZQ_TESTS=OFF)) >/dev/null

# The tools the Windows suite needs; override to see the skip.
WINDOWS_CXX ?= x86_64-w64-mingw32-g++-posix
WINE ?= wine

.PHONY: all build run test golden asan fuzz bench install uninstall package clean windows windows-test

all: build

build:
	$(call deps,build)
	$(call configure,default,build)
	cmake --build --preset default -j $(JOBS)

run:
	$(call deps,build)
	$(call configure,default,build)
	cmake --build --preset default -j $(JOBS) --target zorvikqm-setup
	./build/zorvikqm-setup

# The Windows suite follows the Unix one wherever it can run here;
# ZQ_REQUIRE_WINDOWS=1 (as CI sets it) turns its skipping into a failure.
test:
	$(call deps,build test package)
	$(call configure,default,build,ON)
	cmake --build --preset default -j $(JOBS)
	ctest --preset default -j $(JOBS)
	@if command -v $(WINDOWS_CXX) >/dev/null && command -v $(WINE) >/dev/null; then \
	  $(MAKE) --no-print-directory windows-test; \
	else \
	  echo "make test: SKIPPED the Windows suite: needs $(WINDOWS_CXX) and $(WINE)" \
	       "(make windows-test installs them)"; \
	  test -z "$(ZQ_REQUIRE_WINDOWS)"; \
	fi

# build-windows/zorvikqm-setup.exe, cross-built with MinGW-w64.
windows:
	$(call deps,windows)
	$(call configure,windows,build-windows)
	cmake --build --preset windows -j $(JOBS) --target zorvikqm-setup

# The Windows suite, run under Wine. A test that fails is run once more:
# now and then a Wine process dies before the program starts (no output at
# all); a real failure fails twice.
windows-test:
	$(call deps,windows windows-test)
	$(call configure,windows,build-windows,ON)
	cmake --build --preset windows -j $(JOBS)
	ctest --preset windows -j $(JOBS) --no-tests=error --repeat until-pass:2

# Rewrites tests/golden/ from the screens as they are now, and the README's
# pictures of them in docs/screens/; for an intended change of a screen
# (review the diff before committing it).
golden:
	$(call deps,build test)
	$(call configure,default,build,ON)
	cmake --build --preset default -j $(JOBS) --target golden_screens_test
	ZQ_UPDATE_GOLDEN=1 ./build/tests/golden_screens_test
	python3 scripts/screen-pictures.py

asan:
	$(call deps,build test)
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

fuzz:
	$(call deps,build fuzz)
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./fuzz/run-fuzz build-fuzz

bench:
	$(call deps,build)
	$(call configure,default,build)
	cmake --build --preset default -j $(JOBS) --target zq_bench
	./build/zq_bench

# make install [PREFIX=/usr/local] [DESTDIR=]; make uninstall with the same
# two removes what that install added (see cmake/uninstall.cmake).
install:
	$(call deps,build)
	$(call configure,default,build)
	cmake --build --preset default -j $(JOBS) --target zorvikqm-setup
	DESTDIR="$(DESTDIR)" cmake --install build --prefix "$(PREFIX)"

uninstall:
	cmake -DZQ_BUILD_DIR=build -DZQ_ROOT="$(DESTDIR)$(PREFIX)" -P cmake/uninstall.cmake

# The .deb and .tar.gz in build/; the .zip in build-windows/ when the
# Windows cross build is configured there.
package:
	$(call deps,build package)
	$(call configure,default,build)
	cmake --build --preset default -j $(JOBS)
	cd build && cpack
	if [ -f build-windows/CPackConfig.cmake ]; then \
	  cmake --build build-windows -j $(JOBS) && cd build-windows && cpack; fi

clean:
	rm -rf build build-asan build-fuzz build-windows
