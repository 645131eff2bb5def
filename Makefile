# Entry points for people: make, make run, make test, make check-asan, make bench,
# make fuzz (FUZZ_SECONDS per target, default 60), make install (PREFIX, default /usr/local).
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
PREFIX     ?= /usr/local

.PHONY: all build deps run test check-asan bench fuzz install clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: deps build
	@scripts/run-sample $(BUILD)

test: deps build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTAVIN_SANITIZE=ON $(CMAKE_FLAGS)

check-asan: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

bench: deps build
	@scripts/run-bench $(BUILD)

fuzz: deps
	FUZZ_SECONDS=$(or $(FUZZ_SECONDS),60) scripts/fuzz build-fuzz

# The prefix is set at configure time: the desktop entry names the installed program.
install: deps $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD) -j $(JOBS)
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
