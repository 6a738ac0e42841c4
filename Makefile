# make        build into build/
# make program   build only the program, its module and libraries (no tests)
# make install   install what is missing, build the program, install it under
#                PREFIX (default /usr/local; DESTDIR stages the tree)
# make test   install what is missing, build, run every test
# make demo   install, build the program, export and render the demo scene
# make bench  build optimised and print the benchmark table
# make bench-slurm  render --slurm on a one-node cluster: overhead per task, frames per minute
# make fuzz   build the libFuzzer targets (clang) and run each FUZZ_SECONDS
# make format-check   fail when a source file is not clang-formatted
# CMAKE_ARGS are added where a build folder is first configured (CI: -DBF_WERROR=ON).
# make test-corpus  every model of assimp-testmodels through save and render
# make compare-blender  brightfold's pictures of real model files against Blender 3.4's
#                (bench/blender/README.md; BF_RENDER_FLAGS go to brightfold render)
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_ARGS ?=
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all build program install test test-corpus test-asan demo bench bench-slurm bootstrap clean format format-check fuzz \
	compare-blender

all: build

bootstrap:
	@scripts/bootstrap

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

program: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target program

install:
	@scripts/bootstrap program
	$(MAKE) program
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

test: bootstrap
	$(MAKE) build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Every model file of Debian's assimp-testmodels saved (every fourth rendered), each
# under a time and memory limit; prints a table per format.
test-corpus: build
	$(BUILD)/bin/corpus_run --render 4 --log $(BUILD)/corpus.log

# Not a test: the numbers depend on Blender's version and the model files'.
compare-blender: program
	BF_RENDER_FLAGS="$(BF_RENDER_FLAGS)" bench/blender/run --out $(BUILD)/compare-blender

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: bootstrap
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBF_SANITIZE=ON $(CMAKE_ARGS)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

demo:
	@scripts/bootstrap program
	$(MAKE) program
	scripts/demo $(BUILD)

bench: bootstrap
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j $(JOBS)
	scripts/bench build-bench

fuzz: bootstrap
	scripts/fuzz build-fuzz $(FUZZ_SECONDS) $(CMAKE_ARGS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

format-check:
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) build-asan build-bench build-fuzz

# render --slurm on the one-node cluster of scripts/slurm-local: Slurm's
# overhead per task and frames per minute against one machine (bench/slurm_farm.sh).
bench-slurm: build
	bench/slurm_farm.sh $(BUILD)
