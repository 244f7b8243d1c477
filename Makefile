# The two commands a newcomer needs:
#   make run   - installs what is missing, builds, and runs the demo
#   make test  - installs what is missing, builds, and runs the whole test suite
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
# Extra cache settings for both builds (CI: -DCMAKE_COMPILE_WARNING_AS_ERROR=ON).
CMAKE_ARGS ?=

.PHONY: all deps configure build run test clean windows

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run-demo $(BUILD_DIR)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR)

# The program alone, cross-compiled for Windows against MinGW-w64's Windows
# SDK headers and import libraries: $(WINDOWS_BUILD_DIR)/tarnvale.exe (built,
# not run).
WINDOWS_BUILD_DIR ?= build-windows
windows: deps
	@JOBS=$(JOBS) scripts/build-windows $(WINDOWS_BUILD_DIR)

# The whole suite again, built with AddressSanitizer (LeakSanitizer included)
# and UndefinedBehaviorSanitizer: the "asan" preset of CMakePresets.json, in
# build-asan. The preset's test environment sets the sanitizer options and
# the leak suppressions; programs the tests start inherit them.
.PHONY: test-asan
test-asan: deps
	@cmake --preset asan $(CMAKE_ARGS) >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

# A Debian package of the build: $(BUILD_DIR)/tarnvale_<version>_<arch>.deb
# (CPack; library dependencies found by dpkg-shlibdeps).
.PHONY: package
package: build
	@cmake --build $(BUILD_DIR) --target package

# libFuzzer targets (image loading, shader compilation, label text), built
# with clang in a build folder of their own and run FUZZ_SECONDS each.
FUZZ_BUILD_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
.PHONY: fuzz
fuzz: deps
	@command -v clang++ >/dev/null || { echo "make fuzz: needs clang with libFuzzer (Debian: clang libclang-rt-14-dev)" >&2; exit 1; }
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNVALE_FUZZ=ON \
		-DTARNVALE_BUILD_TESTS=OFF -DTARNVALE_BUILD_TOOLS=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD_DIR) --target tarnvale_fuzzers -j $(JOBS)
	@fuzz/run-fuzzers $(FUZZ_BUILD_DIR) $(FUZZ_SECONDS)

# The demo in a web page, compiled with Debian's emscripten:
# $(WEB_BUILD_DIR)/site (index.html, tarnvale.js, tarnvale.wasm and the data).
# Its libraries are built once from Debian's sources into
# $(WEB_BUILD_DIR)/deps (scripts/build-web-deps). serve-web serves the site
# on 127.0.0.1:$(PORT); test-web checks it in headless Chromium against the
# frames of the native build in $(BUILD_DIR). Extra CMake settings for the
# web program go in WEB_CMAKE_ARGS.
WEB_BUILD_DIR ?= build-web
PORT ?= 8080
.PHONY: web serve-web test-web
web:
	@JOBS=$(JOBS) scripts/build-web $(WEB_BUILD_DIR)

serve-web: web
	@scripts/serve-web $(WEB_BUILD_DIR)/site $(PORT)

test-web: web build
	@TARNVALE_NATIVE_BUILD=$(BUILD_DIR) scripts/test-web $(WEB_BUILD_DIR)
