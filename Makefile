# Two commands: `make run` and `make test`. Everything else is a helper for them.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
GENERATOR := -G Ninja

.PHONY: deps build run test test-build bench clean

deps:
	@bash scripts/install-deps.sh

$(BUILD_DIR)/release/build.ninja:
	cmake -S . -B $(BUILD_DIR)/release $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOREL_TESTS=OFF

build: deps $(BUILD_DIR)/release/build.ninja
	cmake --build $(BUILD_DIR)/release -j $(JOBS) --target vantorel

run: build
	$(BUILD_DIR)/release/src/vantorel

$(BUILD_DIR)/test/build.ninja:
	cmake -S . -B $(BUILD_DIR)/test $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DVANTOREL_SANITIZE=ON -DVANTOREL_WERROR=ON -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"

test-build: deps $(BUILD_DIR)/test/build.ninja
	cmake --build $(BUILD_DIR)/test -j $(JOBS)

test: test-build
	bash scripts/test.sh $(BUILD_DIR)/test

$(BUILD_DIR)/bench/build.ninja:
	cmake -S . -B $(BUILD_DIR)/bench $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DVANTOREL_TESTS=OFF -DVANTOREL_BENCH=ON

bench: deps $(BUILD_DIR)/bench/build.ninja
	cmake --build $(BUILD_DIR)/bench -j $(JOBS)
	@for b in $(BUILD_DIR)/bench/bench/bench_*; do \
	  [ -f "$$b" ] && [ -x "$$b" ] || continue; \
	  echo "== $$b"; QT_QPA_PLATFORM=offscreen "$$b" || exit 1; \
	done

clean:
	rm -rf $(BUILD_DIR)
