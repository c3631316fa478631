# Korvel: the two everyday commands are `make demo` and `make test`.
BUILD      ?= build
BENCHBUILD ?= build-bench
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=

.PHONY: all deps build demo test bench gui screenshots clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@scripts/demo $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCHBUILD) -DCMAKE_BUILD_TYPE=Release -DKORVEL_BUILD_BENCH=ON -DKORVEL_BUILD_TESTS=OFF -DKORVEL_BUILD_GUI=OFF
	cmake --build $(BENCHBUILD) -j $(JOBS)
	$(BENCHBUILD)/bench/korvel_bench

gui: build
	$(BUILD)/korvel

screenshots: build
	@scripts/screenshots $(BUILD)

clean:
	rm -rf $(BUILD) $(BENCHBUILD)
