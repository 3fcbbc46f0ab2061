# The commands of the README. Each one installs what is missing first.
BUILD ?= build
BUILD_TYPE ?= Debug
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test run demo sandbox bench package clean format screenshots

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Every test runs on a private session bus with a real, unlocked keyring.
test: build
	@cd $(BUILD) && ../scripts/with-session.sh ctest --output-on-failure -j $(JOBS) --timeout 300

# The window: on the user's store, or on the sandbox's demo account when there is none.
run: build
	@scripts/run.sh $(BUILD) $(RUN_ARGS)

# Pictures of the window under Xvfb for the README (docs/screenshots/).
screenshots: build
	@scripts/screenshots.sh $(BUILD) docs/screenshots

demo: build
	@scripts/demo.sh $(BUILD)

sandbox: build
	@scripts/sandbox.sh $(BUILD)

bench: deps
	@cmake -S . -B $(BUILD)-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVO_BUILD_TESTS=OFF > /dev/null
	@cmake --build $(BUILD)-release -j $(JOBS)
	@for b in $(BUILD)-release/bench/*/bench_*; do [ -x "$$b" ] && "$$b"; done

# talvo_<version>_amd64.deb from a release build, in $(BUILD)-package/.
package: deps
	@cmake -S . -B $(BUILD)-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVO_BUILD_TESTS=OFF -DTALVO_BUILD_BENCH=OFF > /dev/null
	@cmake --build $(BUILD)-package -j $(JOBS)
	@cd $(BUILD)-package && cpack -G DEB

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD)-release $(BUILD)-package
