# Drives the CMake build: `make demo` runs the selection on the shipped data,
# `make test` builds and runs the whole test suite, `make bench` builds and
# runs every benchmark program of bench/.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

# Debian packages the tests need (cross-checks against independent libraries).
TEST_PACKAGES := libcfitsio-dev wcslib-dev pkg-config

.PHONY: all build demo test test-deps bench clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# Installs missing test packages when run as root; otherwise only reports them.
test-deps:
	@missing=""; for p in $(TEST_PACKAGES); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    if [ "$$(id -u)" = 0 ]; then \
	        echo "installing:$$missing"; \
	        export DEBIAN_FRONTEND=noninteractive; \
	        apt-get install -y --no-install-recommends $$missing || \
	        { apt-get update && apt-get install -y --no-install-recommends $$missing; }; \
	    else \
	        echo "missing test packages:$$missing (run 'make test' as root to install them)"; \
	    fi; \
	fi

test: test-deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DPSFPICK_WERROR=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Every bench/<name>_bench.cpp builds to $(BUILD)/bench/<name>_bench; all of them run in turn.
bench:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DPSFPICK_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	@for source in bench/*_bench.cpp; do \
	    program=$(BUILD)/bench/$$(basename $$source .cpp); \
	    echo "== $$program"; \
	    $$program || exit 1; \
	done

demo: build
	./$(BUILD)/apps/psfpick -i data/demo.cat -o $(BUILD)/demo.tbl

clean:
	rm -rf $(BUILD)
