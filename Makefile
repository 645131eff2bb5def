# Entry points for people: make, make run, make test, make check-asan, make bench,
# make fuzz (FUZZ_SECONDS per target, default 60), make install (PREFIX, default /usr/local),
# make deb (the Debian package, in build/).
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
PREFIX     ?= /usr/local

.PHONY: all build programs deps run test check-asan bench fuzz install deb clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Only the two programs, the sample and the manual pages: no tests, no benchmarks.
programs: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target programs

run: deps programs
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

# The desktop entry is written while installing, so it names PREFIX/bin/tavin.
install: deps programs
	cmake --install $(BUILD) --prefix $(PREFIX)

# The package installs into /usr whatever PREFIX is; it is written into $(BUILD)/.
deb: deps programs
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
