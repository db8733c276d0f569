# Thin wrapper over CMake. `make test` and `make demo` install what they need.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps deps-fuzz configure build test release-test demo bench fuzz tsan clean

all: build

deps:
	@scripts/install-deps.sh

deps-fuzz:
	@scripts/install-deps.sh --fuzz

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZOLMET_SANITIZE=ON >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE whole

# The test programs built for Release, without sanitizers, run once: a
# test that leans on the slower sanitizer build to win a race fails here.
release-test: deps
	@cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build-release -j $(JOBS)
	@cd build-release && ctest --output-on-failure -j $(JOBS) -LE whole

demo: build
	@scripts/demo.sh $(BUILD)

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZOLMET_BENCH=ON -DZOLMET_TESTS=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)

# The clang tree with the fuzz targets; fuzz/run.sh runs them.
fuzz: deps-fuzz
	@JOBS=$(JOBS) fuzz/build.sh build-fuzz

# The threaded tests (label tsan) built and run under ThreadSanitizer.
tsan: deps
	@cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZOLMET_TSAN=ON >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target zolmet_tsan_tests
	@cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest -L tsan --no-tests=error --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) build-release build-bench build-fuzz build-tsan
