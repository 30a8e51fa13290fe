# Veltora's front door: `make run` and `make test` install what is missing, build, and
# run or test. Everything else is a convenience around CMake.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Tests may run with more jobs than cores (CI does) so that a race between tests shows at once.
TEST_JOBS ?= $(JOBS)

.PHONY: all deps configure build build-run run test test-asan bench fuzz res install deb deb-host screenshots clean format format-check \
	arm64-configure test-arm64 deb-arm64

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

# The tree's one style (.clang-format): `make format` applies it, `make format-check` fails
# naming every file that has drifted from it. The layer checks' fixtures are left as they are.
FORMAT_FILES = git ls-files '*.cpp' '*.h' '*.c' ':!:tests/layers/fixtures/*'
format: deps
	@$(FORMAT_FILES) | xargs clang-format -i

format-check: deps
	@drift=$$($(FORMAT_FILES) | while read -r f; do clang-format "$$f" | cmp -s - "$$f" || echo "$$f"; done); \
	if [ -n "$$drift" ]; then \
		echo "veltora: these files differ from .clang-format (make format mends them):" >&2; \
		echo "$$drift" | sed 's/^/  /' >&2; exit 1; \
	fi; echo "format-check: every file follows .clang-format"

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

# The Debian package veltora_VERSION_ARCH.deb in this folder: for this machine's architecture,
# or with ARCH=arm64 cross-built for 64-bit ARM (see test-arm64).
HOST_ARCH := $(shell dpkg --print-architecture 2>/dev/null)
ARCH ?= $(HOST_ARCH)
deb: $(if $(filter $(HOST_ARCH),$(ARCH)),deb-host,deb-$(ARCH))

deb-host: build
	@cd $(BUILD) && cpack -G DEB -B $(CURDIR)/$(BUILD)/package >/dev/null
	@cp $(BUILD)/package/veltora_*_$(HOST_ARCH).deb .
	@ls veltora_*_$(HOST_ARCH).deb

deb-%:
	@echo "veltora: make deb ARCH=$*: packages are built here for $(HOST_ARCH) and arm64 only" >&2; exit 2

# The metainfo's screenshots, rendered by Veltora from data/screenshots/*.txt into $(BUILD)/data/screenshots.
screenshots: build-run
	@cmake --build $(BUILD) --target screenshots

clean:
	@rm -rf $(BUILD)

# The headless suite built for 64-bit ARM and run under qemu-user, against an arm64 Debian root
# made once in $(ARM64)/root. The real-window tests need a display and are left out there. The
# package is built too: install.debian_package installs it into the root and runs it there.
ARM64 ?= $(BUILD)-arm64
ARM64_ROOT = $(CURDIR)/$(ARM64)/root
# What the package holds (the icons are drawn by resgen, run under qemu like every arm64 program).
ARM64_PACKAGED = veltora veltora-readings Veltora osp veltora_device veltora_desktop_files
# The kernel starts arm64 programs through qemu (binfmt_misc); they find the root's libraries.
ARM64_RUN = QEMU_LD_PREFIX=$(ARM64_ROOT)

arm64-configure:
	@scripts/install-cross-deps.sh
	@scripts/arm64-root.sh $(ARM64_ROOT)
	@cmake -S . -B $(ARM64)/build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/arm64-toolchain.cmake \
		-DVELTORA_ARM64_ROOT=$(ARM64_ROOT) $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache) >/dev/null

# The stuck-pipe signal test knows the launcher by /proc/PID/exe, which names qemu there.
ARM64_LEFT_OUT = ^(window|resgen|fuzz)\.|^Signals\.ARunStuckReadingAnIdlePipeStillEndsOnASignal$$
# Every program a test left in runs: the suites, the packaged programs and the corpus's truth tool.
ARM64_TESTED = veltora_tests veltora_device_tests veltora_alloc_tests veltora-cornertruth $(ARM64_PACKAGED)
test-arm64: arm64-configure
	@$(ARM64_RUN) cmake --build $(ARM64)/build -j$(JOBS) --target $(ARM64_TESTED)
	@cd $(ARM64)/build && $(ARM64_RUN) ctest --output-on-failure -j$(JOBS) -E '$(ARM64_LEFT_OUT)'

deb-arm64: arm64-configure
	@$(ARM64_RUN) cmake --build $(ARM64)/build -j$(JOBS) --target $(ARM64_PACKAGED)
	@cd $(ARM64)/build && cpack -G DEB -B $(CURDIR)/$(ARM64)/build/package >/dev/null
	@cp $(ARM64)/build/package/veltora_*_arm64.deb .
	@ls veltora_*_arm64.deb
