# Thin wrapper over the CMake presets; see README.md.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 60

.PHONY: all build run test golden asan fuzz bench clean

all: build

build:
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
	rm -rf build build-asan build-fuzz
