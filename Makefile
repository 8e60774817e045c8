# Convenience wrapper around CMake. `make run` and `make test` set up
# everything a fresh Debian 12 machine needs first.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@echo "The program cannot open a window yet; the build and the tests are ready (make test)."

test: build
	@tools/run-tests.sh $(BUILD)

clean:
	rm -rf $(BUILD)
