# Entry points for people: make, make run, make test, make check-asan, make bench,
# make fuzz (FUZZ_SECONDS per target, default 60), make install (PREFIX, default /usr/local),
# make deb (the Debian package, in build/), make check-tsan (the threads test under
# ThreadSanitizer, in build-tsan/).
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
PREFIX     ?= /usr/local

.PHONY: all build programs deps run test check-asan check-tsan check-complexity bench fuzz install deb clean

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

# Only the engine and the test that converts on four threads.
$(TSAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIN_TSAN=ON -DTAVIN_BENCH=OFF $(CMAKE_FLAGS)

check-tsan: deps $(TSAN_BUILD)/CMakeCache.txt
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target test_threads
	@# Without address randomisation where allowed: some kernels randomise
	@# more address bits than ThreadSanitizer's memory layout supports.
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
		$$(setarch $$(uname -m) -R true 2>/dev/null && echo setarch $$(uname -m) -R) \
		ctest --output-on-failure -L threads

# No function of docx2html/model/ and docx2html/fidelity/ above a cognitive
# complexity of 25 (clang-tidy, on the compile commands of the build).
check-complexity: deps build
	scripts/check-complexity $(BUILD)

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
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
