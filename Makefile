# Two commands: `make run` and `make test`. Everything else is a helper for them.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# Where `make install` puts the binary, the menu entry and the icon.
PREFIX ?= $(HOME)/.local
GENERATOR := -G Ninja

.PHONY: deps build run test test-build check-nounity smoke install uninstall bench clean

deps:
	@bash scripts/install-deps.sh

$(BUILD_DIR)/release/build.ninja:
	cmake -S . -B $(BUILD_DIR)/release $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOREL_TESTS=OFF

build: deps $(BUILD_DIR)/release/build.ninja
	cmake --build $(BUILD_DIR)/release -j $(JOBS) --target vantorel

run: build
	$(BUILD_DIR)/release/src/vantorel

# -g1 keeps the line tables, all a sanitizer report needs for file:line, and leaves out the type
# and variable records that cost compile time and object size. -Og runs the optimisations that the
# flow-based warnings need (uninitialised use, null dereference) and leaves out the rest, which took
# a fifth of the compile time at -O1 and bought the sanitized tests little speed.
$(BUILD_DIR)/test/build.ninja:
	cmake -S . -B $(BUILD_DIR)/test $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DVANTOREL_SANITIZE=ON -DVANTOREL_WERROR=ON -DCMAKE_CXX_FLAGS_DEBUG="-Og -g1"

test-build: deps $(BUILD_DIR)/test/build.ninja
	cmake --build $(BUILD_DIR)/test -j $(JOBS)

test: test-build
	bash scripts/test.sh $(BUILD_DIR)/test

# Every source compiled on its own and without precompiled headers, so a missing include or a
# helper borrowed from another file of a unity batch fails here. Objects only: nothing is linked
# or run, and -O0 keeps it cheap (the test build runs the optimiser's warnings).
$(BUILD_DIR)/nounity/build.ninja:
	cmake -S . -B $(BUILD_DIR)/nounity $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O0 -DVANTOREL_UNITY=OFF -DVANTOREL_PCH=OFF -DVANTOREL_WERROR=ON -DVANTOREL_BENCH=ON

check-nounity: deps $(BUILD_DIR)/nounity/build.ninja
	cmake --build $(BUILD_DIR)/nounity -j $(JOBS) -- -k 0 $$(ninja -C $(BUILD_DIR)/nounity -t targets all | sed -n 's/^\(.*\.o\): .*/\1/p')

# The test build's binary started as a desktop would, against stand-in services (scripts/smoke.sh).
smoke: deps $(BUILD_DIR)/test/build.ninja
	cmake --build $(BUILD_DIR)/test -j $(JOBS) --target vantorel fake_desktop_services
	bash scripts/smoke.sh $(BUILD_DIR)/test/src/vantorel $(BUILD_DIR)/test/tests/fake_desktop_services

install: build
	cmake --install $(BUILD_DIR)/release --prefix "$(PREFIX)"

# Removes exactly the files the last `make install` listed in its manifest.
uninstall:
	bash scripts/uninstall.sh $(BUILD_DIR)/release/install_manifest.txt

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
