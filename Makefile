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

# The program runs in a folder of its own under the build tree, where it keeps
# its saved controls; the first run starts with the demo key bindings.
run: build
	@mkdir -p $(BUILD)/run
	@cd $(BUILD)/run && { test -f "ZV config" || ../tools/make-demo-config; }
	@cd $(BUILD)/run && ../stardrift "$(CURDIR)/data/demo/demo.sprites"

test: build
	@tools/run-tests.sh $(BUILD)

clean:
	rm -rf $(BUILD)
