# Developer entry points. `make test` is what CI runs (see .ci/run).
PRESET ?= dev
MAKEFLAGS += --no-print-directory
QUARN_PKG := build/$(PRESET)/tools/quarn-pkg
BENCH_DIR ?= build/release
# The fastest of five repetitions is what the table reports: the machines are shared.
BENCH_ARGS ?= --benchmark_min_time=0.2 --benchmark_repetitions=5 \
              --benchmark_enable_random_interleaving=true

DEPS := cmake g++ make pkg-config libgtest-dev libgmock-dev capnproto libcapnp-dev \
        libcli11-dev nlohmann-json3-dev libbenchmark-dev libxml2-dev libpng-dev
# Only the tests labelled `browser` need it: `make test-browser` installs and runs them,
# `make test` leaves them out (Chromium's install would eat into CI's 15 minutes).
BROWSER_DEPS := chromium
FUZZ_DEPS := clang-19 libclang-rt-19-dev
# `make fuzz` runs every fuzz target this long (seconds); `make test` runs each briefly.
FUZZ_SECONDS ?= 300
SMOKE_SECONDS ?= 30
FUZZ_BUILD := build/fuzz
FUZZ_TARGETS := application_read_fuzzer profile_read_fuzzer profile_report_fuzzer \
                differential_fuzzer
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
FORMAT_DIRS := include src tests tools bench fuzz examples

.PHONY: deps fuzz-deps build test test-unit test-asan test-tsan test-browser demo release bench \
        fuzz fuzz-build fuzz-smoke format clean

# Installs only what is missing, so a machine that has everything never touches apt.
define install_missing
	@missing=""; \
	for pkg in $(1); do \
	  dpkg-query -W -f='$${Status}' $$pkg 2>/dev/null | grep -q 'install ok installed' \
	    || missing="$$missing $$pkg"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive \
	    apt-get install -y --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(DEPS))

# The fuzz targets alone need clang (libFuzzer and its sanitizer runtimes).
fuzz-deps: deps
	$(call install_missing,$(FUZZ_DEPS))

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j$$(nproc)

# The ordinary suite, the same suite under ASan+UBSan and under TSan, and a short run of
# every fuzz target.
test: test-unit test-asan test-tsan fuzz-smoke

# The sanitizer presets build no tool, so only this preset has browser tests to leave out.
test-unit: build
	ctest --preset $(PRESET) --output-on-failure -j2 -LE browser

test-asan test-tsan: test-%: deps
	cmake --preset $*
	cmake --build --preset $* -j$$(nproc)
	ctest --preset $* --output-on-failure -j2

# Renders timelines in headless Chromium and checks the pictures.
test-browser: build
	$(call install_missing,$(BROWSER_DEPS))
	ctest --preset $(PRESET) --output-on-failure -L browser

demo: build
	@if [ ! -x $(QUARN_PKG) ]; then \
	  echo "quarn-pkg is not built yet: $(QUARN_PKG) is missing" >&2; exit 1; \
	fi
	$(QUARN_PKG) demo

release:
	$(MAKE) test PRESET=release

# Builds the release preset's benchmarks, runs them and ends with the ratio table.
# BENCH_DIR moves the build tree; BENCH_ARGS go to quarn_bench (see bench/main.cpp).
bench: deps
	cmake --preset release -B $(BENCH_DIR)
	cmake --build $(BENCH_DIR) --target quarn_bench -j$$(nproc)
	$(BENCH_DIR)/bench/quarn_bench $(BENCH_ARGS)

# A tree of its own, built with clang-19, libFuzzer, ASan and UBSan; the main build stays
# on g++.
fuzz-build: fuzz-deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++-19 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQUARN_PACKAGE_BUILD_FUZZ=ON -DQUARN_PACKAGE_BUILD_TESTS=OFF -DQUARN_PACKAGE_BUILD_TOOLS=OFF \
	  -DQUARN_PACKAGE_BUILD_EXAMPLES=OFF -DQUARN_PACKAGE_INSTALL=OFF
	cmake --build $(FUZZ_BUILD) -j$$(nproc) --target $(FUZZ_TARGETS)

# Corpora grow in $(FUZZ_BUILD)/runs across runs; fuzz/corpus holds only the seeds.
fuzz: fuzz-build
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_BUILD)/runs

# Two targets at a time, one per core.
fuzz-smoke: fuzz-build
	rm -rf $(FUZZ_BUILD)/smoke
	fuzz/run.sh $(FUZZ_BUILD) $(SMOKE_SECONDS) $(FUZZ_BUILD)/smoke application_read profile_read & \
	  first=$$!; \
	  fuzz/run.sh $(FUZZ_BUILD) $(SMOKE_SECONDS) $(FUZZ_BUILD)/smoke profile_report differential; \
	  second=$$?; wait $$first && exit $$second

format:
	@command -v clang-format >/dev/null || { echo "clang-format is not installed" >&2; exit 1; }
	find $(FORMAT_DIRS) -type f \( -name '*.hpp' -o -name '*.cpp' \) -print0 2>/dev/null \
	  | xargs -0 -r clang-format -i

clean:
	rm -rf build
