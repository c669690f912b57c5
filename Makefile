# Quillon: `make run` and `make test` set up everything they need (scripts/install-deps).
BUILD       ?= build
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run screenshot test test-sanitize bench fuzz format format-check clean \
        install-user uninstall-user package

all: build

deps:
	@scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DQUILLON_WERROR=ON $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# Starts the bundled timetable service on 127.0.0.1 and the client against it: on the
# built-in sample, or on a GTFS feed with GTFS=path/to/feed.zip (DATE=YYYYMMDD picks the day),
# or with SOURCE=live on the railway's official site, read live (LIVE_BASE=URL: a replay of it).
GTFS ?=
DATE ?=
SOURCE ?=
LIVE_BASE ?=
run: build
	@GTFS="$(GTFS)" DATE="$(DATE)" SOURCE="$(SOURCE)" LIVE_BASE="$(LIVE_BASE)" scripts/run $(BUILD)

# The main window after a train query, for the README.
screenshot: build
	@scripts/screenshot $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize:
	$(MAKE) test BUILD=build-sanitize CMAKE_FLAGS="-DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON"

# Release build, then every benchmark; figures go to stdout.
bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_BENCH=ON -DQUILLON_TESTS=ON
	cmake --build build-bench -j$(JOBS)
	@scripts/bench build-bench

# libFuzzer targets (clang, ASan+UBSan), each run for FUZZ_SECONDS.
FUZZ_SECONDS ?= 60
fuzz: deps
	CXX=clang++ CC=clang cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DQUILLON_FUZZ=ON -DQUILLON_TESTS=ON -DQUILLON_SANITIZE=ON -DQUILLON_UI=OFF
	cmake --build build-fuzz -j$(JOBS) --target fuzz_targets
	@scripts/fuzz build-fuzz $(FUZZ_SECONDS)

# A per-user install that updates itself: programs and system.ini in ~/.local/lib/quillon, the
# launcher in ~/.local/bin, the menu entry and icon under ~/.local/share.
USER_PREFIX ?= $(HOME)/.local
install-user: build
	cmake --install $(BUILD) --prefix $(USER_PREFIX)
	cp $(BUILD)/install_manifest.txt $(USER_PREFIX)/lib/quillon/.install_manifest.txt
	@# The menu starts the launcher by its full path: a desktop session's PATH may lack ~/.local/bin.
	sed -i 's|^Exec=quillon$$|Exec=$(USER_PREFIX)/bin/quillon|' \
	    $(USER_PREFIX)/share/applications/quillon.desktop
	@case ":$$PATH:" in *":$(USER_PREFIX)/bin:"*) ;; \
	    *) echo "install-user: add $(USER_PREFIX)/bin to your PATH to start quillon by name";; esac

# Removes what install-user installed, system.ini included.
uninstall-user:
	@manifest=$(USER_PREFIX)/lib/quillon/.install_manifest.txt; \
	    test -f $$manifest || { echo "uninstall-user: nothing installed in $(USER_PREFIX)"; exit 1; }; \
	    xargs -d '\n' rm -f < $$manifest; rm -f $$manifest; \
	    rmdir --ignore-fail-on-non-empty $(USER_PREFIX)/lib/quillon

# A Debian package of a system-wide install (under /usr): build/quillon_*.deb.
package: build
	cd $(BUILD) && cpack -G DEB

SOURCES = $(shell git ls-files '*.cpp' '*.h')
format:
	clang-format -i $(SOURCES)

format-check: deps
	clang-format --dry-run --Werror $(SOURCES)

clean:
	rm -rf build build-sanitize build-bench build-fuzz
