# Two commands do everything: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= 2

.PHONY: deps configure build run test bench clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/bin/oruvotarvix

test: build
	cd $(BUILD) && ctest --output-on-failure -j 1

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	@bash bench/run_all.sh $(BUILD)

clean:
	rm -rf $(BUILD)
