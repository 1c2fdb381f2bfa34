# Two entry points for a newcomer: `make run` and `make test`.  Both install what is
# missing first (Debian packages), then drive CMake with Ninja: `make run` in ./build as a
# Release build, `make test` in ./build-test as a Checked build (optimised, asserts kept)
# and with LibreOffice, which checks that other programs read the RTF we write.
BUILD_DIR ?= build
TEST_BUILD_DIR ?= $(BUILD_DIR)-test
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
TEST_PACKAGES = libreoffice-writer-nogui

.PHONY: run test bench deps configure build clean format

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target kelvor-monitor
	@$(BUILD_DIR)/app/kelvor-monitor

test:
	@scripts/install-deps.sh $(TEST_PACKAGES)
	@cmake -S . -B $(TEST_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Checked $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(TEST_BUILD_DIR) -j $(JOBS)
	@cd $(TEST_BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: deps
	@cmake -S . -B $(BUILD_DIR)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVOR_BUILD_TESTS=OFF -DKELVOR_BUILD_BENCH=ON >/dev/null
	@cmake --build $(BUILD_DIR)-bench -j $(JOBS)
	@for b in $(BUILD_DIR)-bench/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] && "$$b"; done; true

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD_DIR) $(TEST_BUILD_DIR) $(BUILD_DIR)-bench
