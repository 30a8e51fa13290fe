# Veltora's front door: `make run` and `make test` install what is missing, build, and
# run or test. Everything else is a convenience around CMake.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Tests may run with more jobs than cores (CI does) so that a race between tests shows at once.
TEST_JOBS ?= $(JOBS)

.PHONY: all deps configure build build-run run test test-asan bench fuzz res install deb screenshots clean test-arm64

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

# Only what a run needs: the launcher, the application and platform libraries, the images.
build-run: configure
	@cmake --build $(BUILD) -j$(JOBS) --target veltora Veltora osp veltora_res

run: build-run
	@scripts/run.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(TEST_JOBS)

# The whole suite under AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer.
# Allocations keep their whole stack (GLib has no frame pointers, so the fast unwinder stops
# inside it): the suppressions name where a library's own allocation was made.
test-asan: deps
	@cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DVELTORA_SANITIZE=ON >/dev/null
	@cmake --build $(BUILD)-asan -j$(JOBS)
	@cd $(BUILD)-asan && ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j$(JOBS)

# The event fuzzer, built with clang; FUZZ_SECONDS bounds the run. Findings land in
# fuzz/findings/ and become tests.
FUZZ_SECONDS ?= 60
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTORA_FUZZ=ON >/dev/null
	@cmake --build $(BUILD)-fuzz -j$(JOBS) --target fuzz_events
	@mkdir -p $(BUILD)-fuzz/corpus fuzz/findings
	@$(BUILD)-fuzz/bin/fuzz_events -max_total_time=$(FUZZ_SECONDS) -timeout=20 -rss_limit_mb=4096 -max_len=256 \
		-artifact_prefix=fuzz/findings/ -print_final_stats=1 $(BUILD)-fuzz/corpus fuzz/corpus

bench: configure
	@cmake --build $(BUILD) -j$(JOBS) --target veltora_bench
	@$(BUILD)/bin/veltora_bench --benchmark_counters_tabular=true

# Draws Res/ anew from tools/resgen.
res: configure
	@cmake --build $(BUILD) -j$(JOBS) --target resgen
	@$(BUILD)/bin/resgen Res

# Installs into PREFIX (DESTDIR is honoured too): bin/, lib/veltora/, share/... The tree can
# be moved afterwards; veltora finds everything relative to itself.
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package veltora_VERSION_ARCH.deb in this folder, for this machine's architecture.
deb: build
	@cd $(BUILD) && cpack -G DEB -B $(CURDIR)/$(BUILD)/package >/dev/null
	@cp $(BUILD)/package/veltora_*.deb .
	@ls veltora_*.deb

# The metainfo's screenshots, rendered by Veltora from data/screenshots/*.txt into $(BUILD)/data/screenshots.
screenshots: build-run
	@cmake --build $(BUILD) --target screenshots

clean:
	@rm -rf $(BUILD)

# The headless suite built for 64-bit ARM and run under qemu-user, against an arm64 Debian root
# made once in $(ARM64)/root. The real-window tests need a display and are left out there.
ARM64 ?= $(BUILD)-arm64
ARM64_ROOT = $(CURDIR)/$(ARM64)/root
test-arm64:
	@scripts/install-cross-deps.sh
	@scripts/arm64-root.sh $(ARM64_ROOT)
	@cmake -S . -B $(ARM64)/build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/arm64-toolchain.cmake \
		-DVELTORA_ARM64_ROOT=$(ARM64_ROOT) $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache) >/dev/null
	@cmake --build $(ARM64)/build -j$(JOBS) --target veltora_tests veltora_device_tests veltora_alloc_tests
	@cd $(ARM64)/build && QEMU_LD_PREFIX=$(ARM64_ROOT) ctest --output-on-failure -j$(JOBS) -E '^(window|resgen|fuzz)\.'
