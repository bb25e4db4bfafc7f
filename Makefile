# Drives the CMake build: `make demo` runs the selection on the shipped data,
# `make test` builds and runs the whole test suite, `make bench` builds and
# runs every benchmark program of bench/, `make bench-e2e` times whole runs
# on mock fields, `make test-sanitize` runs the test suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, `make fuzz` runs the fuzz
# targets of fuzz/ for a bounded time each.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

SHELL := /bin/bash
# The make that cmake --build runs inherits this: no "Entering directory" lines.
MAKEFLAGS += --no-print-directory

# Debian packages: libpng for the PNG views of the tools (demo and tests);
# GoogleTest for the tests, the tests' cross-checks against independent
# libraries (cfitsio, wcslib), and GNU parallel for tools/psfpick-batch.
DEMO_PACKAGES := libpng-dev
TEST_PACKAGES := $(DEMO_PACKAGES) libgtest-dev libcfitsio-dev wcslib-dev pkg-config parallel

.PHONY: all build demo test test-sanitize fuzz fuzz-deps deps demo-deps test-deps bench bench-e2e clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# install-missing <packages>: installs the missing ones when run as root,
# otherwise only reports them.
define install-missing
	@missing=""; for p in $(1); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    if [ "$$(id -u)" = 0 ]; then \
	        echo "installing:$$missing"; \
	        export DEBIAN_FRONTEND=noninteractive; \
	        apt-get install -y --no-install-recommends $$missing || \
	        { apt-get update && apt-get install -y --no-install-recommends $$missing; }; \
	    else \
	        echo "missing packages:$$missing (run 'make deps' as root to install them)"; \
	    fi; \
	fi
endef

deps:
	$(call install-missing,$(TEST_PACKAGES))

demo-deps:
	$(call install-missing,$(DEMO_PACKAGES))

test-deps: deps

# PSFPICK_TESTS=ON and PSFPICK_CROSSCHECK=ON require GoogleTest, cfitsio and
# wcslib instead of leaving out what they are missing for.
test: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DPSFPICK_WERROR=ON -DPSFPICK_TESTS=ON \
	    -DPSFPICK_CROSSCHECK=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole test suite again, built in its own directory with AddressSanitizer
# and UndefinedBehaviorSanitizer (CMake option PSFPICK_SANITIZE): -O1 keeps the
# instrumented tests fast, -g gives the reports file and line, and the
# assertions stay on. The programs that the end-to-end tests start as child
# processes are built the same way, and any sanitizer report fails the test.
SANITIZE_BUILD ?= build-sanitize

test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
	    -DPSFPICK_SANITIZE=ON -DPSFPICK_WERROR=ON -DPSFPICK_TESTS=ON -DPSFPICK_CROSSCHECK=ON \
	    -DPSFPICK_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS)

# The fuzz targets of fuzz/ (libFuzzer, clang, with AddressSanitizer and
# UndefinedBehaviorSanitizer), each run for FUZZ_SECONDS from the seeds in
# fuzz/corpus/<target> plus what earlier runs found (FUZZ_BUILD/corpus/<target>).
# A crash, a hang beyond 10 s, more than 2 GB of memory or a single allocation
# above 512 MB stops the target with its input in FUZZ_BUILD/artifacts/<target>;
# `make fuzz` then fails. One target: `make fuzz FUZZ_TARGETS=run FUZZ_SECONDS=600`.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= fits_card fits_file asc_file options run
FUZZ_PACKAGES := clang libclang-rt-14-dev llvm
FUZZ_FLAGS := -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512 -print_final_stats=1

fuzz-deps:
	$(call install-missing,$(FUZZ_PACKAGES))

fuzz: fuzz-deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DPSFPICK_FUZZ=ON \
	    -DPSFPICK_TESTS=OFF -DPSFPICK_BENCH=OFF -DPSFPICK_TOOLS=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@for target in $(FUZZ_TARGETS); do \
	    case $$target in \
	        fits_card) options="-max_len=100 -dict=fuzz/fits.dict" ;; \
	        fits_file) options="-max_len=20000 -dict=fuzz/fits.dict" ;; \
	        asc_file) options="-max_len=8192" ;; \
	        options) options="-max_len=1024 -dict=fuzz/options.dict" ;; \
	        run) options="-max_len=24000 -dict=fuzz/run.dict" ;; \
	        *) echo "unknown fuzz target $$target"; exit 1 ;; \
	    esac; \
	    mkdir -p $(FUZZ_BUILD)/corpus/$$target $(FUZZ_BUILD)/artifacts/$$target; \
	    echo "== $${target}_fuzz for $(FUZZ_SECONDS) s"; \
	    $(FUZZ_BUILD)/fuzz/$${target}_fuzz $(FUZZ_FLAGS) $$options \
	        -max_total_time=$(FUZZ_SECONDS) \
	        -artifact_prefix=$(FUZZ_BUILD)/artifacts/$$target/ \
	        $(FUZZ_BUILD)/corpus/$$target fuzz/corpus/$$target || exit 1; \
	done

# Every bench/<name>_bench.cpp builds to $(BUILD)/bench/<name>_bench; all of them run in turn,
# then bench/report_cost.sh times --report on a 1,000,000-row mock field and bench/e2e.sh
# times whole runs on mock fields, the largest with each thread count, --refill and a clip.
bench:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DPSFPICK_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks psfpick
	@if grep -q "^psfpick-mock:" $(BUILD)/tools/Makefile 2>/dev/null; then \
	    cmake --build $(BUILD) -j $(JOBS) --target psfpick-mock; \
	fi
	@for source in bench/*_bench.cpp; do \
	    program=$(BUILD)/bench/$$(basename $$source .cpp); \
	    echo "== $$program"; \
	    $$program || exit 1; \
	done
	@echo "== bench/report_cost.sh"
	@bench/report_cost.sh $(BUILD)
	@if [ -x $(BUILD)/tools/psfpick-mock ]; then \
	    echo "== bench/e2e.sh"; bench/e2e.sh $(BUILD); \
	else \
	    echo "== bench/e2e.sh: no psfpick-mock (it needs libpng), not run"; \
	fi

# The demo: standard stars on the M51 CCD image shipped in data/m51, three per
# quarter of the field, with the bad-pixel check over image and error image
# (psfpick's summary ends it on standard error); then a ds9 region file and a
# PNG view of the selection (DEMO_OUT/m51.reg, DEMO_OUT/m51.png).
DEMO_OUT := $(BUILD)/demo
DEMO_NFIELDS := 2,2
DEMO_ARGS := -i data/m51/m51.cat -o $(DEMO_OUT)/m51.tbl \
    --flag_column 7 --flag_limit 3 --class_column 8 -c 0.8 \
    --min_thresh 0.5 --max_thresh 0.99 --nfields $(DEMO_NFIELDS) -n 3 -r 2 -v 1 \
    data/m51/m51.fits data/m51/e.m51.fits

demo: demo-deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DPSFPICK_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target psfpick
	mkdir -p $(DEMO_OUT)
	set -o pipefail; ./$(BUILD)/apps/psfpick $(DEMO_ARGS) 2>&1 | tee $(DEMO_OUT)/m51.log
	@echo "table of selected stars: $(DEMO_OUT)/m51.tbl"
	@if grep -q "^psfpick-stamps:" $(BUILD)/tools/Makefile 2>/dev/null; then \
	    cmake --build $(BUILD) -j $(JOBS) --target psfpick-regions psfpick-stamps && \
	    ./$(BUILD)/tools/psfpick-regions -o $(DEMO_OUT)/m51.reg $(DEMO_OUT)/m51.tbl && \
	    ./$(BUILD)/tools/psfpick-stamps --nfields $(DEMO_NFIELDS) -o $(DEMO_OUT)/m51.png \
	        $(DEMO_OUT)/m51.tbl data/m51/m51.fits && \
	    echo "ds9 regions: $(DEMO_OUT)/m51.reg" && echo "picture: $(DEMO_OUT)/m51.png"; \
	else \
	    echo "companion tools not built (libpng missing): no region file or picture"; \
	fi

# End-to-end benchmark of psfpick on mock fields (see bench/e2e.sh).
bench-e2e: build
	bench/e2e.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
