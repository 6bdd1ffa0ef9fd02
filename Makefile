# Two commands do everything: `make run` and `make test`. Both install what is missing first.
BUILD := build
JOBS := $(shell nproc)
SRC := $(CURDIR)
NATIVE := $(BUILD)/native
SAN := $(BUILD)/san
WIN32 := $(BUILD)/win32
WIN64 := $(BUILD)/win64
RELEASE := $(BUILD)/release
FUZZ_SECONDS ?= 60

.PHONY: all deps native san win32 win64 test run bench fuzz format clean dist

all: native win32

deps:
	@scripts/install-deps.sh

$(NATIVE)/CMakeCache.txt:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
$(SAN)/CMakeCache.txt:
	cmake -S . -B $(SAN) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
	  -DELEMTRIX_SANITIZE=ON -DELEMTRIX_FUZZ=ON >/dev/null
$(WIN32)/CMakeCache.txt:
	cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(SRC)/cmake/mingw-i686.cmake >/dev/null
$(WIN64)/CMakeCache.txt:
	cmake -S . -B $(WIN64) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(SRC)/cmake/mingw-x86_64.cmake >/dev/null
$(RELEASE)/CMakeCache.txt:
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DELEMTRIX_TESTS=OFF \
	  -DELEMTRIX_BENCH=ON >/dev/null

native: deps $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j$(JOBS)
san: deps $(SAN)/CMakeCache.txt
	cmake --build $(SAN) -j$(JOBS)
win32: deps $(WIN32)/CMakeCache.txt
	cmake --build $(WIN32) -j$(JOBS)
win64: deps $(WIN64)/CMakeCache.txt
	cmake --build $(WIN64) -j$(JOBS)

test: native san win32 win64
	ctest --test-dir $(NATIVE) --output-on-failure -j$(JOBS)
	ctest --test-dir $(SAN) --output-on-failure -j$(JOBS)
	scripts/windows-tests.sh $(BUILD) --output-on-failure

# The installer and the zip for Windows users, built twice to show that they are reproducible.
dist: deps
	scripts/dist.sh $(BUILD)

# The i686 build where this machine runs it, the x86_64 build otherwise (scripts/windows-builds.sh).
run: deps
	@tree=$$(scripts/windows-builds.sh run) && $(MAKE) --no-print-directory $$tree && \
	  scripts/run.sh $(BUILD)/$$tree

bench: deps $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j$(JOBS)
	scripts/bench.sh $(RELEASE)
	@tree=$$(scripts/windows-builds.sh bench) && $(MAKE) --no-print-directory $$tree && \
	  scripts/bench-window.sh $(BUILD)/$$tree

fuzz: san
	scripts/fuzz.sh $(SAN) $(FUZZ_SECONDS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
