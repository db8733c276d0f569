# Thin wrapper over CMake. `make test` and `make demo` install what they need.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test demo bench clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZOLMET_SANITIZE=ON >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	@scripts/demo.sh $(BUILD)

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOLMET_BENCH=ON -DZOLMET_TESTS=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)

clean:
	rm -rf $(BUILD) build-bench
