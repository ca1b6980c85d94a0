# Every target installs what it needs from Debian first (scripts/install-deps).
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The build's own make runs below this one: keep its directory lines out.
MAKEFLAGS += --no-print-directory

.PHONY: all deps build run test clean

all: build

# What a target needs beyond the build's packages, by the need's name in
# scripts/install-deps; a target's prerequisites see its value.
NEED =
test test-asan: NEED = test
package: NEED = package

deps:
	@scripts/install-deps $(NEED)

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# Only the console and what it needs: the tests are built by `make test`.
run: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target tenfold
	$(BUILD)/tenfold

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

clean:
	rm -rf $(BUILD)

# The libFuzzer targets (clang), each run for FUZZ_SECONDS on a scratch copy
# of its seed corpus; any finding fails. Findings and logs stay in FUZZ_BUILD.
# FUZZ_TARGETS picks some of them by corpus name (lines, settings).
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_CXX ?= clang++-14
FUZZ_TARGETS ?=

# The whole project and its tests with AddressSanitizer and UndefinedBehavior-
# Sanitizer; a report fails the test that made it. Nothing is suppressed.
ASAN_BUILD ?= build-asan
SANITIZER_ENV = \
	ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

.PHONY: fuzz test-asan

fuzz:
	@scripts/install-deps fuzz
	cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_FLAGS) -DTENFOLD_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen $(SANITIZER_ENV) \
		ctest --output-on-failure -j $(JOBS) --timeout 600

# The benchmarks, built for speed in a folder of their own, run one after the
# other; each prints its figures beside a baseline of the same run and its goal.
# A missed goal is reported, not failed.
BENCH_BUILD ?= build-bench

.PHONY: bench

bench:
	@scripts/install-deps bench
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTENFOLD_BENCH=ON -DTENFOLD_TESTS=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target run_benchmarks

# Installs the program, its desktop entry and its icons under PREFIX (DESTDIR
# is honoured); uninstall removes the files the last install listed, under
# the same DESTDIR.
PREFIX ?= /usr/local
# The demo gateway's address: loopback only.
DEMO_ADDRESS ?= 127.0.0.1

.PHONY: install uninstall demo package

# A Debian package in the build folder: build/tenfold_<version>_<arch>.deb.
package: build
	cmake --build $(BUILD) --target package

install:
	@[ -f $(BUILD)/CMakeCache.txt ] || { scripts/install-deps && cmake -S . -B $(BUILD) $(CMAKE_FLAGS); }
	cmake --build $(BUILD) -j $(JOBS) --target tenfold tenfold_icons tenfold_docs
	cmake --install $(BUILD) --prefix $(PREFIX)

uninstall:
	@[ -f $(BUILD)/install_manifest.txt ] || { echo "uninstall: $(BUILD)/install_manifest.txt is missing: nothing was installed from $(BUILD)" >&2; exit 1; }
	sed 's|^|$(DESTDIR)|' $(BUILD)/install_manifest.txt | xargs -d '\n' rm -fv

# Builds only what the demo runs: the console and the demo gateway.
demo: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target tenfold tenfold-demo-gateway
	tools/gateway/run-demo $(BUILD) $(DEMO_ADDRESS)
