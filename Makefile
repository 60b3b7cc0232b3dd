# make run   - install what is missing, build, start Zerediz
# make test  - the same set-up, then every test, headless
# make bench - the same set-up, then the speed and memory figures (writes build/bench.json)
# make package - the same set-up, then the Debian package build/zerediz_<version>_amd64.deb
# make test-sanitize - every test under AddressSanitizer and UBSan (built with clang), the tests of
#                      the core and of zerediz-compress under ThreadSanitizer (built with GCC)
# make fuzz  - each fuzz target for FUZZ_SECONDS seconds (default 60), built with clang
# make test-render - the same set-up, then pages rendered in headless Chromium before and after
#                    zerediz-compress, scripts off and on: ours and a sample of the Python
#                    documentation and the Debian reference; fails when any of them looks
#                    different
# make windows - both programs cross-built for 64-bit Windows, packed as
#                build-windows/zerediz-<version>-win64.zip and ...-setup.exe; installs mingw-w64,
#                Wine and NSIS, and makes Qt and ICU for Windows in ~/.cache/zerediz/windows
# make test-windows - the same set-up, then every test built for Windows and run under Wine, and
#                     zerediz-compress.exe's bytes against the Linux build's for the tests' pages
# make test-arm64 - the core, zerediz-compress and their tests cross-built for arm64 and run under
#                   qemu-user; installs Debian's cross compiler, Qt for arm64 and the emulator

BUILD := build
WINDOWS_BUILD := build-windows
ARM64_BUILD := build-arm64
VERSION := $(shell sed -n '/^project/s/.* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
JOBS ?= $(shell nproc)
# CI sets it ON, so that a new warning of either compiler fails the build.
WARNINGS_AS_ERRORS ?= OFF
CONFIGURE := -DCMAKE_COMPILE_WARNING_AS_ERROR=$(WARNINGS_AS_ERRORS)

.PHONY: all setup build run test bench package format clean test-sanitize test-address \
	test-thread fuzz test-render windows-setup windows test-windows arm64-setup test-arm64

all: build

setup:
	@scripts/setup.sh

$(BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD) $(CONFIGURE) -DCMAKE_BUILD_TYPE=Release

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(if $(DISPLAY)$(WAYLAND_DISPLAY)$(QT_QPA_PLATFORM),,$(error No display to show Zerediz on; without one, run it as: xvfb-run make run))
	$(BUILD)/app/zerediz

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/zerediz_bench $(BUILD)/bench.json

# Only the batch program is built: it writes exactly what the window's Save writes. Beside our
# own pages, a sample of the real corpora that setup installs, compressed with --verify: every 20th
# page of the Python documentation, every other one of the Chinese Debian reference, which the
# check then renders itself too (RENDER_CORPORA= leaves them out).
RENDER_CORPORA ?= --corpus /usr/share/doc/python3/html --every 20 \
	--corpus /usr/share/debian-reference --every 2 --confirm
test-render: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target zerediz-compress
	/usr/bin/python3 -B tests/render/render_check.py $(BUILD)/cli/zerediz-compress $(BUILD)/render \
		$(RENDER_CORPORA)

package: build
	cd $(BUILD) && cpack -G DEB

# A finding stops the test that made it. The suppression files name what is reported from inside
# other libraries; nothing of ours is suppressed.
SANITIZE_FLAGS := -O1 -g -fno-omit-frame-pointer -fno-sanitize-recover=all
# Some rows of the browser's tests start processes from the test's own process while its threads
# run; ThreadSanitizer would otherwise end such a child as soon as it starts a thread.
SANITIZER_OPTIONS := ASAN_OPTIONS=detect_stack_use_after_return=1:strict_init_order=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1 \
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan.supp:die_after_fork=0
FUZZ_SECONDS ?= 60

build-address/CMakeCache.txt: | setup
	cmake -S . -B build-address $(CONFIGURE) -DCMAKE_BUILD_TYPE=Debug -DZEREDIZ_BENCH=OFF \
		-DZEREDIZ_SAMPLED_TESTS=ON \
		-DCMAKE_CXX_COMPILER=clang++ \
		-DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS) -fsanitize=address,undefined"

build-thread/CMakeCache.txt: | setup
	cmake -S . -B build-thread $(CONFIGURE) -DCMAKE_BUILD_TYPE=Debug -DZEREDIZ_WIDGETS=OFF \
		-DZEREDIZ_SAMPLED_TESTS=ON \
		-DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS) -fsanitize=thread"

build-fuzz/CMakeCache.txt: | setup
	cmake -S . -B build-fuzz $(CONFIGURE) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
		-DZEREDIZ_WIDGETS=OFF -DBUILD_TESTING=OFF -DZEREDIZ_FUZZ=ON \
		-DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS) -fsanitize=address,undefined,fuzzer-no-link"

test-sanitize: test-address test-thread

test-address: setup build-address/CMakeCache.txt
	cmake --build build-address -j $(JOBS)
	cd build-address && $(SANITIZER_OPTIONS) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-thread: setup build-thread/CMakeCache.txt
	cmake --build build-thread -j $(JOBS)
	cd build-thread && $(SANITIZER_OPTIONS) ctest --output-on-failure -j $(JOBS)

fuzz: setup build-fuzz/CMakeCache.txt
	cmake --build build-fuzz -j $(JOBS) --target zerediz_fuzzers
	$(SANITIZER_OPTIONS) scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

# Nothing of this is needed by the Linux targets above, which stay as lean as they were.
windows-setup:
	@scripts/windows/setup.sh

$(WINDOWS_BUILD)/CMakeCache.txt: scripts/windows/configure.sh scripts/windows/env.sh | windows-setup
	scripts/windows/configure.sh . $(WINDOWS_BUILD) $(CONFIGURE)

windows: windows-setup $(WINDOWS_BUILD)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target zerediz zerediz-compress
	scripts/windows/package.sh $(WINDOWS_BUILD) $(VERSION) \
		$(WINDOWS_BUILD)/zerediz.exe $(WINDOWS_BUILD)/zerediz-compress.exe
	scripts/windows/check-package.sh $(WINDOWS_BUILD) $(VERSION)
	scripts/windows/check-window-ends.sh $(WINDOWS_BUILD) 5

# The tests under Wine, then the bytes zerediz-compress.exe writes for every page of the tests
# against those of the Linux build.
test-windows: windows-setup setup $(WINDOWS_BUILD)/CMakeCache.txt $(BUILD)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	scripts/windows/test.sh $(WINDOWS_BUILD) $(JOBS)
	cmake --build $(BUILD) -j $(JOBS) --target zerediz-compress
	scripts/windows/same-bytes.sh $(BUILD)/cli/zerediz-compress $(WINDOWS_BUILD)

# Nothing of this is needed by the other targets either. Emulated, the tests walk a sample of the
# exhaustive cases, and run where Qt may start processes under the emulator.
arm64-setup:
	@scripts/arm64/setup.sh $(ARM64_BUILD)/simdjson

$(ARM64_BUILD)/CMakeCache.txt: cmake/aarch64-linux-gnu.cmake | arm64-setup
	cmake -S . -B $(ARM64_BUILD) $(CONFIGURE) --toolchain cmake/aarch64-linux-gnu.cmake \
		-DZEREDIZ_SIMDJSON_ROOT=$(CURDIR)/$(ARM64_BUILD)/simdjson -DCMAKE_BUILD_TYPE=Release \
		-DZEREDIZ_WIDGETS=OFF -DZEREDIZ_SAMPLED_TESTS=ON

test-arm64: arm64-setup $(ARM64_BUILD)/CMakeCache.txt
	cmake --build $(ARM64_BUILD) -j $(JOBS)
	cd $(ARM64_BUILD) && ../scripts/arm64/without-pidfds.py ctest --output-on-failure -j $(JOBS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) build-address build-thread build-fuzz $(WINDOWS_BUILD) $(ARM64_BUILD)
