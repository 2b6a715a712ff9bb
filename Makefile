# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench fuzz sanitize clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@$(BUILD)/bin/quillet $(FILE)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
	  ctest --output-on-failure -j$(JOBS) --timeout 300

bench: build
	@scripts/run-benchmarks.sh $(BUILD)

fuzz: deps
	@scripts/fuzz-smoke.sh

# The whole suite built with ASan + UBSan in build-asan/; not part of `make test`.
sanitize: deps
	@JOBS=$(JOBS) scripts/sanitize.sh

clean:
	rm -rf $(BUILD)
