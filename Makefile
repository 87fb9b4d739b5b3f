# Entry points of the project. Each target installs what it needs first (scripts/install-deps.sh).
# The project's own builds (tests, sanitizers, benchmarks, fuzzers) treat warnings as errors
# (VKIT_WERROR); the demo's and the installation's build does not.
SHELL := /bin/bash
, := ,
JOBS ?= $(shell nproc)
CMAKE_GENERATOR ?= Ninja
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)

.PHONY: deps build updater test demo bench bench-build test-asan test-tsan format format-check fuzz fuzz-build \
	install package test-package clean

# Every group of dependencies; each target below installs only the groups it needs.
deps:
	@bash scripts/install-deps.sh

# configure-and-build <build dir> <extra cmake arguments>
define build_in
	cmake -S . -B $(1) -G $(CMAKE_GENERATOR) $(2) >/dev/null
	cmake --build $(1) -j $(JOBS)
endef

build:
	@bash scripts/install-deps.sh test
	$(call build_in,build,-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVKIT_BUILD_TESTS=ON -DVKIT_WERROR=ON)

test: build
	ctest --test-dir build $(CTEST_FLAGS)

# The demo and the installation need only the updater's bundle: no test, benchmark or fuzz tool.
updater:
	@bash scripts/install-deps.sh build
	cmake -S . -B build -G $(CMAKE_GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVKIT_BUILD_TESTS=OFF >/dev/null
	cmake --build build -j $(JOBS) --target updater_bundle

demo: updater
	@bash scripts/demo.sh build

# The benchmark programs only, built and not run (CI builds them so that they cannot rot unseen).
bench-build:
	@bash scripts/install-deps.sh bench
	cmake -S . -B build-release -G $(CMAKE_GENERATOR) -DCMAKE_BUILD_TYPE=Release -DVKIT_BUILD_TESTS=OFF \
		-DVKIT_BUILD_BENCH=ON -DVKIT_WERROR=ON >/dev/null
	cmake --build build-release -j $(JOBS) --target benchmarks

bench: bench-build
	@bash scripts/run-benchmarks.sh build-release

test-asan:
	@bash scripts/install-deps.sh test
	$(call build_in,build-asan,-DCMAKE_BUILD_TYPE=Debug -DVKIT_WERROR=ON -DVKIT_SANITIZE=address$(,)undefined)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --test-dir build-asan $(CTEST_FLAGS)

test-tsan:
	@bash scripts/install-deps.sh test
	$(call build_in,build-tsan,-DCMAKE_BUILD_TYPE=Debug -DVKIT_WERROR=ON -DVKIT_SANITIZE=thread)
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan $(CTEST_FLAGS)

# The fuzz targets only, built with clang and not run.
fuzz-build:
	@bash scripts/run-fuzzers.sh --build-only

fuzz:
	@bash scripts/run-fuzzers.sh

format:
	@bash scripts/install-deps.sh format
	@git ls-files -- '*.h' '*.cpp' | xargs -r clang-format -i

format-check:
	@bash scripts/install-deps.sh format
	@git ls-files -- '*.h' '*.cpp' | xargs -r clang-format --dry-run -Werror
	@echo "format-check: all files formatted"

install: updater
	cmake --install build --strip

# The Debian package, build-package/zq-updater_<version>-<revision>_<architecture>.deb: a release build,
# stripped, checked with lintian. test-package installs it on a clean Debian 12 root (needs root).
package:
	@bash scripts/install-deps.sh package
	@JOBS=$(JOBS) CMAKE_GENERATOR=$(CMAKE_GENERATOR) bash scripts/package.sh build-package

test-package: package
	@bash scripts/test-package.sh build-package

clean:
	rm -rf build build-release build-asan build-tsan build-fuzz build-package
