# Korvel: the two everyday commands are `make demo` and `make test`.
BUILD      ?= build
BENCHBUILD ?= build-bench
ASANBUILD  ?= build-asan
FUZZBUILD  ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=

.PHONY: all deps build demo test test-asan fuzz bench gui screenshots clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

# CMAKE_ARGS given on the command line also reach a build folder configured before
# (CI: CMAKE_ARGS=-DKORVEL_WERROR=ON).
build: deps $(BUILD)/CMakeCache.txt
ifneq ($(strip $(CMAKE_ARGS)),)
	cmake -S . -B $(BUILD) $(CMAKE_ARGS)
endif
	cmake --build $(BUILD) -j $(JOBS)

# The demo needs only the command-line program.
demo: deps $(BUILD)/CMakeCache.txt
	@env -u MAKEFLAGS -u MAKELEVEL cmake --build $(BUILD) -j $(JOBS) --target korvel-cli
	@scripts/demo $(BUILD)

# The core tests, then the same tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer in their own folder (the desktop program stays out of it).
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) test-asan

SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
                UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

test-asan: deps
	@test -f $(ASANBUILD)/CMakeCache.txt || cmake -S . -B $(ASANBUILD) \
	    -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" \
	    -DKORVEL_SANITIZE=ON -DKORVEL_BUILD_GUI=OFF $(CMAKE_ARGS)
ifneq ($(strip $(CMAKE_ARGS)),)
	cmake -S . -B $(ASANBUILD) $(CMAKE_ARGS)
endif
	cmake --build $(ASANBUILD) -j $(JOBS)
	cd $(ASANBUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

# libFuzzer targets (clang), each run for FUZZ_SECONDS; see scripts/fuzz.
fuzz: deps
	@test -f $(FUZZBUILD)/CMakeCache.txt || cmake -S . -B $(FUZZBUILD) \
	    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEL_BUILD_FUZZ=ON \
	    -DKORVEL_BUILD_TESTS=OFF -DKORVEL_BUILD_GUI=OFF
	cmake --build $(FUZZBUILD) -j $(JOBS)
	scripts/fuzz $(FUZZBUILD) $(FUZZ_SECONDS)

bench: deps
	cmake -S . -B $(BENCHBUILD) -DCMAKE_BUILD_TYPE=Release -DKORVEL_BUILD_BENCH=ON -DKORVEL_BUILD_TESTS=OFF -DKORVEL_BUILD_GUI=OFF
	cmake --build $(BENCHBUILD) -j $(JOBS)
	bash -o pipefail -c '$(BENCHBUILD)/bench/korvel_bench | tee $(BENCHBUILD)/kernel-bench.txt'
	PYTHONPATH=$(BENCHBUILD)/python /usr/bin/python3 bench/python_bench.py $(BENCHBUILD)/kernel-bench.txt
	PYTHONPATH=$(BENCHBUILD)/python /usr/bin/python3 bench/batch_bench.py $(BENCHBUILD)/korvel-cli

gui: build
	$(BUILD)/korvel

screenshots: build
	@scripts/screenshots $(BUILD)

clean:
	rm -rf $(BUILD) $(BENCHBUILD) $(ASANBUILD) $(FUZZBUILD)
