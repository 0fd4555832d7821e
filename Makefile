# The two commands a newcomer needs: `make run` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
ifdef CI
CMAKE_FLAGS += -DKESTROVE_WERROR=ON
endif

.PHONY: all setup configure build run test install package package-check bench translations format format-check fuzz clean

all: build

setup:
	@./scripts/setup.sh

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

configure: setup $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR)

run: build
	@if [ -z "$${DISPLAY:-}" ] && [ -z "$${WAYLAND_DISPLAY:-}" ]; then \
		echo "Kestrove needs a graphical session: no DISPLAY or WAYLAND_DISPLAY is set." >&2; \
		echo "Run it from your desktop, or on a virtual display: xvfb-run -a make run" >&2; \
		exit 1; \
	fi
	$(BUILD_DIR)/bin/kestrove

test: build
	./scripts/check-layers.sh
	./scripts/run-tests.sh $(BUILD_DIR)

# `make install` puts Kestrove under PREFIX (default /usr/local); `PREFIX=~/.local make install` needs no root.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# A Debian package, build/kestrove_VERSION_ARCH.deb, with dependencies from dpkg-shlibdeps.
package: build
	./scripts/setup.sh --package
	cmake --build $(BUILD_DIR) --target package

# The package's file list, control fields and lintian's verdict (errors fail, warnings shown).
package-check: package
	./scripts/setup.sh --package-check
	./scripts/check-package.sh $(BUILD_DIR)

# The suite again under AddressSanitizer and UndefinedBehaviorSanitizer, in a build folder of its
# own. The window tests are left out: under ASan they take longer than everything else together.
SANITIZE_DIR ?= build-sanitize
# Leaks are not looked for: a coroutine still suspended when a process ends (a poll's sleep) is
# never freed, by design. UBSan's suppressions name reports that come from Qt's own headers.
SANITIZER_OPTIONS = ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$(CURDIR)/scripts/sanitizers/ubsan.supp
sanitize: setup
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTROVE_SANITIZE=ON \
		-DWITH_GUI_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR)
	$(SANITIZER_OPTIONS) ./scripts/run-tests.sh $(SANITIZE_DIR)

bench: configure
	cmake --build $(BUILD_DIR) --target benchmarks
	./scripts/run-benchmarks.sh $(BUILD_DIR)

translations: configure
	cmake --build $(BUILD_DIR) --target translations

fuzz:
	./scripts/setup.sh --fuzz
	CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTROVE_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build build-fuzz --target fuzzers

format:
	git ls-files '*.cpp' '*.h' | xargs -r clang-format -i

format-check:
	git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD_DIR)
