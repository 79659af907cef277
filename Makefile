# The two commands of the README:
#   make demo   set up, build, and run the stand-in host on the plug-ins
#   make test   set up, build, and run every test (Windows tests under Wine, native sanitizer
#               tests and the fuzzer)
# The deliverables are the 32-bit files of $(BUILD)/windows. $(BUILD)/windows64 is a 64-bit twin
# of the same sources and tests, for machines that run no 32-bit code; nothing in it is shipped.
# WINDOWS_ARCH=64 takes the 64-bit-only path on any machine.
BUILD ?= build
WIN_BUILD := $(BUILD)/windows
WIN64_BUILD := $(BUILD)/windows64
NATIVE_BUILD := $(BUILD)/native
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
WINDOWS_ARCH ?= auto

.PHONY: demo test setup windows windows64 native

setup:
	@scripts/setup.sh

windows: setup
	@cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-mingw32.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN_BUILD) -j$(JOBS) -- --no-print-directory

windows64: setup
	@cmake -S . -B $(WIN64_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-mingw64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN64_BUILD) -j$(JOBS) -- --no-print-directory

native: setup
	@cmake -S . -B $(NATIVE_BUILD) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	@cmake --build $(NATIVE_BUILD) -j$(JOBS) -- --no-print-directory

# The 32-bit demo wherever 32-bit code runs (natively or under emulation), otherwise the same demo
# on the 64-bit twin.
demo: setup
	@why=$$(scripts/probe-32bit.sh); rc=$$?; \
	if [ "$(WINDOWS_ARCH)" != 64 ] && [ $$rc -eq 0 -o $$rc -eq 2 ]; then \
	  [ $$rc -eq 0 ] && why="natively (this machine runs 32-bit code)"; \
	  echo "demo: on the 32-bit deliverables, $$why"; \
	  $(MAKE) --no-print-directory windows && scripts/demo.sh $(WIN_BUILD); \
	else \
	  [ "$(WINDOWS_ARCH)" = 64 ] && why="WINDOWS_ARCH=64 forces the 64-bit build"; \
	  echo "demo: on the 64-bit twin build, because $$why"; \
	  $(MAKE) --no-print-directory windows64 && scripts/demo.sh $(WIN64_BUILD); \
	fi

test: windows windows64 native
	@scripts/run-tests.sh $(WINDOWS_ARCH) $(WIN_BUILD) $(WIN64_BUILD) $(NATIVE_BUILD) $(JOBS)

# The provider's answer benchmark (parse alone against the whole flattening, 1, 4 and 16 MiB):
# a native clang -O2 build of its own without sanitizers, not part of `make test`.
BENCH_BUILD := $(BUILD)/bench
.PHONY: bench
bench: setup
	@cmake -S benchmarks -B $(BENCH_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BENCH_BUILD) -j$(JOBS) -- --no-print-directory
	@$(BENCH_BUILD)/flatten_benchmark
