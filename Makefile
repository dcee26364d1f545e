# Top-level driver: CMake does the building, this file names the steps.
#   make deps   install the Debian packages we need (skips those present)
#   make build  configure and build everything (build/normal)
#   make demo   build, compile the example songs, render (and, with a sound device, play) them
#   make test   the format check, then the three builds (normal, ASan+UBSan, TSan) and their
#               tests, then every fuzz target for 20 s in the clang fuzzing build
#   make fuzz   every fuzz target for FUZZ_SECONDS (default 600) in the fuzzing build (build/fuzz)
#   make bench-core  the emulator core's speed against an earlier core (BASELINE, a commit)
#   make windows     the Windows builds, i686 (build/win-i686) and x86_64 with its tests
#               (build/win-x86_64), cross-built with MinGW-w64
#   make test-windows  make windows, the static checks of both builds' files, and the x86_64
#               build's tests under wine64
#   make dist-windows  make windows, then dist/qzr-windows-i686.zip: the 32-bit programs and
#               DLLs, the examples and a README for Windows users
#   make test-win32  the i686 build's tests under wine32 in a VM of our own (qemu, software
#               emulation; the VM image is made once, in ~/.cache/qzr/win32-vm)
#   make format rewrite every C++ file as .clang-format lays it out

JOBS ?= 2
CMAKE_GEN := -G Ninja
NORMAL := build/normal
ASAN := build/asan
TSAN := build/tsan
FUZZ := build/fuzz
WIN_I686 := build/win-i686
WIN_X86_64 := build/win-x86_64
# What the Windows builds can build so far: no Qt window (QZR_BUILD_GUI names it; Windows builds
# the Win32 window, qzrgui.exe, always). The third-party libraries are
# cross-built once per flavour (scripts/build-windows-deps.sh, cached outside the tree); the
# emulator's sound device there is waveOut.
WINDOWS_OPTIONS := -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZR_BUILD_GUI=OFF -DQZR_BUILD_ENGINE=ON \
	-DQZR_BUILD_TOOLS=ON -DQZR_BUILD_BENCHMARKS=OFF -DQZR_AUDIO_OUTPUT=waveout
FUZZ_SECONDS ?= 600
export QT_QPA_PLATFORM := offscreen
export ASAN_OPTIONS := detect_leaks=1:abort_on_error=0:strict_string_checks=1
export LSAN_OPTIONS := suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS := print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS := halt_on_error=1:second_deadlock_stack=1

.PHONY: all deps build demo test check-format test-normal test-asan test-tsan test-fuzz fuzz \
	build-fuzz bench bench-core clean format windows windows-i686 windows-i686-programs \
	windows-x86_64 test-windows test-win32 dist-windows

all: build

deps:
	./scripts/install-deps.sh

build: deps
	cmake -S . -B $(NORMAL) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(NORMAL) -j $(JOBS)

demo: build
	./scripts/demo.sh $(NORMAL)

test: deps check-format test-normal test-asan test-tsan test-fuzz test-windows
	@echo "make test: all three builds, the fuzz smoke test and the Windows builds passed"

test-normal:
	cmake -S . -B $(NORMAL) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(NORMAL) -j $(JOBS)
	cd $(NORMAL) && ctest --output-on-failure -j $(JOBS) --timeout 600

test-asan:
	cmake -S . -B $(ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DQZR_SANITIZE=address \
	    -DQZR_BUILD_BENCHMARKS=OFF
	cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ctest --output-on-failure -j $(JOBS) --timeout 900 -LE nosanitize

# Only the threaded tests run under ThreadSanitizer, so only they (and what they load) are built.
test-tsan:
	cmake -S . -B $(TSAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DQZR_SANITIZE=thread \
	    -DQZR_BUILD_GUI=OFF -DQZR_BUILD_TOOLS=OFF -DQZR_BUILD_BENCHMARKS=OFF
	cmake --build $(TSAN) -j $(JOBS) --target qzr_threaded_tests
	cd $(TSAN) && ctest --output-on-failure -j $(JOBS) --timeout 900 -L threaded --no-tests=ignore

# The product with clang 14, warnings as errors, with libFuzzer's coverage and ASan + UBSan, and
# the fuzz targets (tests/fuzz).
build-fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DQZR_SANITIZE=fuzzer -DQZR_BUILD_GUI=OFF -DQZR_BUILD_TESTS=OFF -DQZR_BUILD_BENCHMARKS=OFF
	cmake --build $(FUZZ) -j $(JOBS)

test-fuzz: build-fuzz
	JOBS=$(JOBS) ./scripts/fuzz.sh $(FUZZ) 20

fuzz: build-fuzz
	JOBS=$(JOBS) ./scripts/fuzz.sh $(FUZZ) $(FUZZ_SECONDS)

# i686 is the 32-bit Windows the programs are made for, built with its tests, which run under
# wine32 in a VM (make test-win32); x86_64 is built with its tests, which run under the host's
# wine64. The third-party libraries come first (cached outside the tree).
configure-windows = prefix=$$(JOBS=$(JOBS) ./scripts/build-windows-deps.sh $(1)) && \
	cmake -S . -B $(2) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-$(1).cmake \
	-DQZR_WINDOWS_DEPS="$$prefix" $(WINDOWS_OPTIONS) -DQZR_BUILD_TESTS=ON

windows-i686: deps
	$(call configure-windows,i686,$(WIN_I686))
	cmake --build $(WIN_I686) -j $(JOBS)

# Its programs and libraries alone, for the static checks of make test.
windows-i686-programs: deps
	$(call configure-windows,i686,$(WIN_I686))
	cmake --build $(WIN_I686) -j $(JOBS) --target qzr_programs

windows-x86_64: deps
	$(call configure-windows,x86_64,$(WIN_X86_64))
	cmake --build $(WIN_X86_64) -j $(JOBS)

windows: windows-i686 windows-x86_64

# The Wine prefix is build/win-x86_64/wine-prefix, made by the first test run. One Wine server
# serves the whole run (scripts/wine-ctest.sh), on a virtual display (Xvfb) for the window's
# tests.
test-windows: windows-i686-programs windows-x86_64
	./scripts/check-windows-binaries.sh $(WIN_I686) i686 $(WIN_X86_64) x86_64
	./scripts/wine-ctest.sh $(WIN_X86_64) --output-on-failure -j $(JOBS) --timeout 600

# The 32-bit Windows build as a zip for Windows users (its files checked as they go in).
dist-windows: windows-i686-programs
	./scripts/dist-windows.sh $(WIN_I686) i686 dist/qzr-windows-i686.zip

# The VM (Debian 12 with wine32, booted under qemu without KVM) is made once and kept in
# ${XDG_CACHE_HOME:-~/.cache}/qzr/win32-vm; scripts/win32-vm/test-win32.sh says how it runs.
test-win32: windows-i686
	./scripts/check-windows-binaries.sh $(WIN_I686) i686
	./scripts/win32-vm/test-win32.sh $(WIN_I686)

bench: build
	./scripts/bench.sh $(NORMAL)

BASELINE ?= e52ea9a
bench-core: build
	./scripts/bench-core-against.sh $(NORMAL) $(BASELINE)

# Every C++ file as .clang-format lays it out; a check, never a rewrite (`make format` rewrites).
check-format:
	./scripts/check-format.sh

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
