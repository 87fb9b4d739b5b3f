# Entry points of the project. Each target installs what it needs first (scripts/install-deps.sh).
SHELL := /bin/bash
, := ,
JOBS ?= $(shell nproc)
CMAKE_GENERATOR ?= Ninja
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)

.PHONY: deps build test demo bench test-asan test-tsan format format-check fuzz install clean

deps:
	@bash scripts/install-deps.sh

# configure-and-build <build dir> <extra cmake arguments>
define build_in
	cmake -S . -B $(1) -G $(CMAKE_GENERATOR) $(2) >/dev/null
	cmake --build $(1) -j $(JOBS)
endef

build: deps
	$(call build_in,build,-DCMAKE_BUILD_TYPE=RelWithDebInfo)

test: build
	ctest --test-dir build $(CTEST_FLAGS)

demo: build
	@bash scripts/demo.sh build

bench: deps
	$(call build_in,build-release,-DCMAKE_BUILD_TYPE=Release -DVKIT_BUILD_TESTS=OFF -DVKIT_BUILD_BENCH=ON)
	@bash scripts/run-benchmarks.sh build-release

test-asan: deps
	$(call build_in,build-asan,-DCMAKE_BUILD_TYPE=Debug -DVKIT_SANITIZE=address$(,)undefined)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --test-dir build-asan $(CTEST_FLAGS)

test-tsan: deps
	$(call build_in,build-tsan,-DCMAKE_BUILD_TYPE=Debug -DVKIT_SANITIZE=thread)
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan $(CTEST_FLAGS)

fuzz: deps
	@bash scripts/run-fuzzers.sh

format: deps
	@git ls-files -- '*.h' '*.cpp' | xargs -r clang-format -i

format-check: deps
	@git ls-files -- '*.h' '*.cpp' | xargs -r clang-format --dry-run -Werror
	@echo "format-check: all files formatted"

install: build
	cmake --install build

clean:
	rm -rf build build-release build-asan build-tsan build-fuzz
