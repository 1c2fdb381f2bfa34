# Two entry points for a newcomer: `make run` and `make test`.  Both install what is
# missing first (Debian packages), then drive CMake with Ninja: `make run` in ./build as a
# Release build. `make test` builds and runs the whole suite twice: in ./build-test as a
# Checked build (optimised, asserts kept, with LibreOffice, which checks that other programs
# read the RTF we write), then in ./build-sanitize with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, with the fuzz targets' bounded runs (`make sanitize` runs only
# this second half). `make package` builds the Debian package of the Release build in ./build.
BUILD_DIR ?= build
TEST_BUILD_DIR ?= $(BUILD_DIR)-test
SANITIZE_BUILD_DIR ?= $(BUILD_DIR)-sanitize
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# dpkg-shlibdeps (dpkg-dev) and file: CPack reads the package's dependencies from the programs.
PACKAGE_PACKAGES = dpkg-dev file
TEST_PACKAGES = libreoffice-writer-nogui clang libclang-rt-dev desktop-file-utils man-db \
  $(PACKAGE_PACKAGES)
# Every sanitizer finding fails its test: leaks and initialisation order are checked too.
SANITIZE_ENV = ASAN_OPTIONS=check_initialization_order=1:detect_leaks=1:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 QT_QPA_PLATFORM=offscreen

.PHONY: run test sanitize bench package deps configure build clean format

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
	@$(MAKE) --no-print-directory sanitize

sanitize:
	@scripts/install-deps.sh $(TEST_PACKAGES)
	@cmake -S . -B $(SANITIZE_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Sanitize \
	  -DCMAKE_CXX_COMPILER=clang++ -DKELVOR_BUILD_FUZZ=ON $(CMAKE_FLAGS) >/dev/null
	@$(SANITIZE_ENV) cmake --build $(SANITIZE_BUILD_DIR) -j $(JOBS)
	@cd $(SANITIZE_BUILD_DIR) && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS)

# Builds only what is installed (no tests), then writes $(BUILD_DIR)/kelvor-monitor_*.deb.
package: configure
	@scripts/install-deps.sh $(PACKAGE_PACKAGES)
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target kelvor-installables
	@cd $(BUILD_DIR) && cpack -G DEB

bench: deps
	@cmake -S . -B $(BUILD_DIR)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVOR_BUILD_TESTS=OFF -DKELVOR_BUILD_BENCH=ON >/dev/null
	@cmake --build $(BUILD_DIR)-bench -j $(JOBS)
	@scripts/bench-report.sh $(BUILD_DIR)-bench

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD_DIR) $(TEST_BUILD_DIR) $(SANITIZE_BUILD_DIR) $(BUILD_DIR)-bench
