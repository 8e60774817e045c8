# Convenience wrapper around CMake. `make run` and `make test` set up
# everything a fresh Debian 12 machine needs first.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test test-sanitized leak-check install deb fuzz clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The program runs in a folder of its own under the build tree, where it keeps
# its saved controls; until they are saved it steers with the demo keys.
run: build
	@mkdir -p $(BUILD)/run
	@cd $(BUILD)/run && ../stardrift "$(CURDIR)/data/demo/demo.sprites"

# The tests build with warnings as errors and with the tools, so that a
# warning or a tool that no longer builds fails them.
CHECKED = -DSTARDRIFT_WERROR=ON -DSTARDRIFT_TOOLS=ON

test: configure
	@cmake -S . -B $(BUILD) $(CHECKED) > /dev/null
	@cmake --build $(BUILD) -j $(JOBS)
	@tools/run-tests.sh $(BUILD)

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer
# (with float-to-integer overflow and float division by zero checked too).
ASAN_BUILD ?= build-asan
test-sanitized: deps
	@test -f $(ASAN_BUILD)/build.ninja || cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSTARDRIFT_SANITIZE=ON
	@cmake -S . -B $(ASAN_BUILD) $(CHECKED) > /dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@tools/run-tests.sh $(ASAN_BUILD)

# One scripted session of the sanitized program under Xvfb with LeakSanitizer.
leak-check: deps
	@test -f $(ASAN_BUILD)/build.ninja || cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSTARDRIFT_SANITIZE=ON
	@cmake -S . -B $(ASAN_BUILD) $(CHECKED) > /dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS) --target stardrift
	@tools/leak-check.sh $(ASAN_BUILD)

# make install PREFIX=/usr/local (DESTDIR is honoured too): the program
# (stripped) goes to $(PREFIX)/games.
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD) --prefix "$(PREFIX)" --strip

# A Debian package in build/ (stardrift_<version>_<arch>.deb).
deb: build
	@cd $(BUILD) && cpack -G DEB

# Every fuzz target (libFuzzer, clang) for FUZZ_SECONDS each; findings land in
# build-fuzz/findings and fail the run.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	@test -f $(FUZZ_BUILD)/build.ninja || CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTARDRIFT_FUZZ=ON -DBUILD_TESTING=OFF
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@FUZZ_SECONDS=$(FUZZ_SECONDS) tools/fuzz.sh $(FUZZ_BUILD)

clean:
	rm -rf $(BUILD)
