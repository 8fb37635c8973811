# Thin wrapper over the CMake presets; see README.md.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local
DESTDIR ?=

# Each target names the package groups of scripts/install-deps it needs;
# `deps` installs them only when some are missing. Prerequisites inherit
# the groups, so `make test` installs everything before building.
DEPS_GROUPS = build
run build install: DEPS_GROUPS = build
test: DEPS_GROUPS = build test package
asan: DEPS_GROUPS = build test
fuzz: DEPS_GROUPS = build fuzz
package: DEPS_GROUPS = build package

.PHONY: all deps build run test golden asan fuzz bench install uninstall package clean

all: build

deps:
	@scripts/install-deps --check $(DEPS_GROUPS) 2>/dev/null || scripts/install-deps $(DEPS_GROUPS)

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)

run: build
	./build/zorvikqm-setup

test: build
	ctest --preset default -j $(JOBS)

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
	rm -rf build build-asan build-fuzz
