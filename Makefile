# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

PREFIX ?=
DESTDIR ?=

.PHONY: all deps configure build run test install package bench fuzz sanitize clean

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

# The program, its sample page, launcher, icon and metainfo under PREFIX (CMake's install
# prefix, /usr/local unless given), staged below DESTDIR when that is set.
install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) $(if $(PREFIX),--prefix "$(PREFIX)")

# The Debian package quillet_VERSION_ARCH.deb in $(BUILD)/.
package: build
	@cd $(BUILD) && cpack --config CPackConfig.cmake

bench: build
	@scripts/run-benchmarks.sh $(BUILD)

fuzz: deps
	@scripts/fuzz-smoke.sh

# The whole suite built with ASan + UBSan in build-asan/; not part of `make test`.
sanitize: deps
	@JOBS=$(JOBS) scripts/sanitize.sh

clean:
	rm -rf $(BUILD)
