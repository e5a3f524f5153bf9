# The two everyday commands: `make run` and `make test`.
# Both install whatever Debian packages are missing, configure and build first.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 5
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test asan fuzz fuzz-smoke bench install package clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Start the program; ARGS="FILE..." plays movies at once.
run: build
	@$(BUILD)/app/cinevo $(ARGS)

# Build everything and run every test, then give each fuzz target a short smoke run.
test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 600
	@$(MAKE) --no-print-directory fuzz-smoke

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCINEVO_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@LSAN_OPTIONS=suppressions=$(CURDIR)/cmake/lsan.supp ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) --timeout 1200

# libFuzzer targets, built with clang.
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCINEVO_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets

fuzz-smoke: fuzz
	@scripts/fuzz-smoke.sh $(FUZZ_BUILD)/fuzz $(FUZZ_SECONDS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

# Install the program, its desktop entry, icons and metainfo (PREFIX=/usr/local unless given;
# DESTDIR as usual).
PREFIX ?= /usr/local
install: build
	@DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, in $(BUILD)/: its dependencies are the packages of the libraries it links.
package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
