# Thin wrapper over the CMake presets; see README.md.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 60
# The tools the Windows suite needs; override to see the skip.
WINDOWS_CXX ?= x86_64-w64-mingw32-g++-posix
WINE ?= wine

.PHONY: all build run test asan fuzz bench clean windows windows-test

all: build

build:
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
windows:
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

# The Windows suite, run under Wine.
windows-test: windows
	ctest --preset windows -j $(JOBS) --no-tests=error

asan:
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

fuzz:
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./fuzz/run-fuzz build-fuzz

bench: build
	./build/zq_bench

clean:
	rm -rf build build-asan build-fuzz build-windows
