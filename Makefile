# The two commands of the README:
#   make demo   set up, build, and run the stand-in host on the plug-ins
#   make test   set up, build, and run every test (Windows tests under Wine, native sanitizer
#               tests and the fuzzer)
BUILD ?= build
WIN_BUILD := $(BUILD)/windows
NATIVE_BUILD := $(BUILD)/native
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: demo test setup windows native

setup:
	@scripts/setup.sh

windows: setup
	@cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-mingw32.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN_BUILD) -j$(JOBS) -- --no-print-directory

native: setup
	@cmake -S . -B $(NATIVE_BUILD) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	@cmake --build $(NATIVE_BUILD) -j$(JOBS) -- --no-print-directory

demo: windows
	@scripts/demo.sh $(WIN_BUILD)

test: windows native
	cd $(WIN_BUILD) && ctest --output-on-failure -j$(JOBS)
	cd $(NATIVE_BUILD) && ctest --output-on-failure -j$(JOBS)
