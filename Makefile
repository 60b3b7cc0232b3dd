# make run   - install what is missing, build, start Zerediz
# make test  - the same set-up, then every test, headless
# make bench - the same set-up, then the speed and memory figures (writes build/bench.json)
# make package - the same set-up, then the Debian package build/zerediz_<version>_amd64.deb

BUILD := build
JOBS ?= $(shell nproc)

.PHONY: all setup build run test bench package format clean

all: build

setup:
	@scripts/setup.sh

$(BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(if $(DISPLAY)$(WAYLAND_DISPLAY)$(QT_QPA_PLATFORM),,$(error No display to show Zerediz on; without one, run it as: xvfb-run make run))
	$(BUILD)/app/zerediz

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/zerediz_bench $(BUILD)/bench.json

package: build
	cd $(BUILD) && cpack -G DEB

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
