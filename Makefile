# Two entry points: `make demo` and `make test` (see README.md); `make install`
# puts both programs and their manual pages under PREFIX.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
CMAKE_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=Release
ifeq ($(CI),true)
CMAKE_FLAGS += -DUMBRASCOPE_WERROR=ON
endif

.PHONY: all deps build python demo install test test-release test-asan bench fuzz soak tidy format clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# The Python package alone, into $(BUILD)/python (see README.md, "Python").
python: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target umbrascope-python
	@echo "python: PYTHONPATH=$(abspath $(BUILD))/python /usr/bin/python3 -c 'import umbrascope'"

# The demo builds only what it runs, not the tests and benchmarks.
DEMO_TARGETS = umbrascope umbrascope-export umbrascope-sky make_sample_maps
demo: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target $(DEMO_TARGETS)
	@scripts/run-demo $(BUILD)

install: build
	cmake --install $(BUILD) --prefix "$(PREFIX)"

test: test-release test-asan

test-release: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUMBRASCOPE_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE slow

bench: build
	@scripts/run-bench $(BUILD)

# Each fuzz target for FUZZ_SECONDS (default 60), with clang's libFuzzer.
fuzz:
	@scripts/install-deps fuzz
	@scripts/run-fuzz

# 500 runs of the sanitized tool on generated command lines and maps.
soak: deps
	@scripts/run-soak

# clang-tidy with .clang-tidy (naming and bug-finding checks) on every source of
# the project, from the compile commands of the release build and, for the soak
# driver, which builds on its own, of its build. Not part of `test`.
SOAK_BUILD   ?= build-soak
TIDY_SOURCES  = $(CURDIR)/(umbrascope|libs|export|sky|tests|bench|examples)/
tidy:
	@scripts/install-deps tidy
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
	run-clang-tidy-14 -p $(BUILD) -j $(JOBS) -quiet '$(TIDY_SOURCES)'
	cmake -S tests/soak -B $(SOAK_BUILD) $(CMAKE_FLAGS) -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
	run-clang-tidy-14 -p $(SOAK_BUILD) -j $(JOBS) -quiet '$(CURDIR)/tests/soak/'

# clang-format with .clang-format over every C++ file in git, in place.
format:
	@scripts/install-deps tidy
	git ls-files '*.cpp' '*.h' | xargs clang-format-14 -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
