# The commands of the README. Each one installs what is missing first.
BUILD ?= build
BUILD_TYPE ?= Debug
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test check test-sanitize test-tsan run demo sandbox bench package clean format screenshots

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

# What CI runs: the suite, then the suite again under the sanitizers.
check:
	@$(MAKE) --no-print-directory test
	@$(MAKE) --no-print-directory test-sanitize

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, leaks checked,
# in a build folder of its own. Line tables are all a sanitizer report needs, and keep
# that second tree small on disk.
SAN_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
test-sanitize: deps
	@cmake -S . -B $(BUILD)-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALVO_SANITIZE=address,undefined -DTALVO_BUILD_BENCH=OFF \
		-DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1 $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(BUILD)-asan -j $(JOBS)
	@cd $(BUILD)-asan && $(SAN_ENV) ../scripts/with-session.sh ctest --output-on-failure -j $(JOBS) --timeout 600

# The suite under ThreadSanitizer. Qt is not built with it, so what its locks order is
# invisible; tests/sanitizers/tsan.supp says what is hidden for that reason.
test-tsan: deps
	@cmake -S . -B $(BUILD)-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALVO_SANITIZE=thread -DTALVO_BUILD_BENCH=OFF \
		-DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1 $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(BUILD)-tsan -j $(JOBS)
	@cd $(BUILD)-tsan && TSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/tsan.supp:halt_on_error=1:second_deadlock_stack=1:die_after_fork=0 \
		../scripts/with-session.sh ctest --output-on-failure -j $(JOBS) --timeout 900

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
	rm -rf $(BUILD) $(BUILD)-release $(BUILD)-package $(BUILD)-asan $(BUILD)-tsan
