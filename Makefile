# Two commands do everything: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= 2

.PHONY: deps configure build run deb test test-asan test-tsan fuzz bench clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/bin/oruvotarvix

# The Debian package, $(BUILD)/oruvotarvix_<version>_<arch>.deb.
deb: build
	cd $(BUILD) && cpack -G DEB

# The suite as built normally, then all of it under AddressSanitizer + UndefinedBehaviorSanitizer,
# then the channel tests (serial engine, sockets) under ThreadSanitizer. Any report fails.
test: build
	cd $(BUILD) && ctest --output-on-failure -j 1
	$(MAKE) test-asan
	$(MAKE) test-tsan

SANITIZERS := $(CURDIR)/tests/sanitizers
# Leaks are checked too, with no suppressions: the suite shows none, in Qt's code or ours.
ASAN_ENV := ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# Debian's Qt is not instrumented and hands queued calls between threads through futexes the
# tool cannot see: memory accesses made inside Qt's own code (its memcpy, malloc, realloc) are
# not checked (ignore_noninstrumented_modules); our code's accesses to the same data still are.
TSAN_ENV := TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$(SANITIZERS)/tsan.supp

test-asan: deps
	@test -f $(BUILD)-asan/build.ninja || CC=clang CXX=clang++ cmake -S . -B $(BUILD)-asan -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORUVO_SANITIZE=address,undefined
	cmake --build $(BUILD)-asan -j $(JOBS)
	cd $(BUILD)-asan && $(ASAN_ENV) ctest --output-on-failure -j 1

test-tsan: deps
	@test -f $(BUILD)-tsan/build.ninja || CC=clang CXX=clang++ cmake -S . -B $(BUILD)-tsan -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORUVO_SANITIZE=thread
	targets=$$(ninja -C $(BUILD)-tsan -t targets all | sed -n 's/^\(test_channels_[A-Za-z0-9_]*\): phony$$/\1/p' | grep -v _autogen); \
	  if [ -n "$$targets" ]; then cmake --build $(BUILD)-tsan -j $(JOBS) --target $$targets; fi
	cd $(BUILD)-tsan && $(TSAN_ENV) ctest --output-on-failure -j 1 -R '^channels_'

# libFuzzer targets, each run for FUZZ_SECONDS on its seed corpus (fuzz/corpus/<name>); the
# corpus it grows and any crashing input stay in $(BUILD)-fuzz.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= $(patsubst fuzz/fuzz_%.cpp,%,$(wildcard fuzz/fuzz_*.cpp))

fuzz: deps
	@test -f $(BUILD)-fuzz/build.ninja || CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORUVO_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(BUILD)-fuzz -j $(JOBS) --target fuzzers
	@set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(BUILD)-fuzz/corpus/$$t $(BUILD)-fuzz/artifacts; \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  $(BUILD)-fuzz/bin/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=30 -rss_limit_mb=2048 \
	    -print_final_stats=1 -artifact_prefix=$(BUILD)-fuzz/artifacts/$$t- \
	    $(BUILD)-fuzz/corpus/$$t fuzz/corpus/$$t; \
	done

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	@bash bench/run_all.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-fuzz
