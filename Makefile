# make        build into build/
# make test   install what is missing, build, run every test
# make demo   install, build, export and render the demo scene
# make bench  build optimised and print the benchmark table
# make test-corpus  every model of assimp-testmodels through save and render
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all build test test-corpus test-asan demo bench bootstrap clean format

all: build

bootstrap:
	@scripts/bootstrap

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: bootstrap
	$(MAKE) build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Every model file of Debian's assimp-testmodels saved (every fourth rendered), each
# under a time and memory limit; prints a table per format.
test-corpus: build
	$(BUILD)/bin/corpus_run --render 4 --log $(BUILD)/corpus.log

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: bootstrap
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBF_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

demo: bootstrap
	$(MAKE) build
	scripts/demo $(BUILD)

bench: bootstrap
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j $(JOBS)
	scripts/bench build-bench

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) build-asan build-bench
