# Developer entry points. `make test` is what CI runs (see .ci/run).
PRESET ?= dev
MAKEFLAGS += --no-print-directory
QUARN_PKG := build/$(PRESET)/tools/quarn-pkg
BENCH_DIR ?= build/release
# The fastest of five repetitions is what the table reports: the machines are shared.
BENCH_ARGS ?= --benchmark_min_time=0.2 --benchmark_repetitions=5 \
              --benchmark_enable_random_interleaving=true

DEPS := cmake g++ make pkg-config libgtest-dev libgmock-dev capnproto libcapnp-dev \
        libcli11-dev nlohmann-json3-dev libbenchmark-dev
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
FORMAT_DIRS := include src tests tools bench fuzz examples

.PHONY: deps build test demo release bench fuzz format clean

# Installs only what is missing, so a machine that has everything never touches apt.
deps:
	@missing=""; \
	for pkg in $(DEPS); do \
	  dpkg-query -W -f='$${Status}' $$pkg 2>/dev/null | grep -q 'install ok installed' \
	    || missing="$$missing $$pkg"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive \
	    apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j$$(nproc)

test: build
	ctest --preset $(PRESET) --output-on-failure -j2

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

fuzz:
	@echo "make fuzz: not yet available"

format:
	@command -v clang-format >/dev/null || { echo "clang-format is not installed" >&2; exit 1; }
	find $(FORMAT_DIRS) -type f \( -name '*.hpp' -o -name '*.cpp' \) -print0 2>/dev/null \
	  | xargs -0 -r clang-format -i

clean:
	rm -rf build
