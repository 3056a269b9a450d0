# Set-up, build, run and test on Debian 12. `make run` and `make test` install
# whatever Debian packages are missing first (with sudo when not root).

BUILD_DIR ?= build
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)

# Build and run.
BUILD_PACKAGES := cmake g++ make qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools \
                  qt6-translations-l10n qt6-image-formats-plugins libgl-dev libvulkan-dev libxcb1-dev python3 \
                  libraw-dev zlib1g-dev
# Tests: a private X server for real-window tests, and other XMP software that
# must read our sidecars (and write sidecars we must read); a camera RAW file
# whose embedded preview is smaller than its sensor (rawtran-doc).
TEST_PACKAGES  := xvfb xauth xdotool libimage-exiftool-perl exiv2 rawtran-doc
# Benchmarks compare against these tools in the same run.
BENCH_PACKAGES := libvips-tools libjpeg-turbo-progs exiv2 libimage-exiftool-perl imagemagick libraw-bin

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

define install_missing
	@missing=""; for p in $(1); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    $(SUDO) apt-get update -q && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi
endef

.PHONY: all deps test-deps bench-deps configure build run test sanitize bench clean windows-deps windows wintest

all: build

deps:
	$(call install_missing,$(BUILD_PACKAGES))

test-deps: deps
	$(call install_missing,$(TEST_PACKAGES))

bench-deps: deps
	$(call install_missing,$(BENCH_PACKAGES))

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/glanceway

test: test-deps build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The tests of every parser of untrusted files (core, imaging) and of the code
# that moves the user's files (catalog, ui, tools) under AddressSanitizer and
# UndefinedBehaviorSanitizer, in a build tree of their own. GCC 12's vptr
# check reports a false stack-buffer-underflow wherever a Qt slot lambda
# captures a pointer to member, so it is left out.
SANITIZE_DIR ?= build-sanitize
sanitize: test-deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize=vptr -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
	cmake --build $(SANITIZE_DIR) -j $(JOBS) --target sanitize_tests
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    ctest -L '^(core|imaging|catalog|ui|tools)$$' --output-on-failure -j $(JOBS)

bench: bench-deps build
	cd $(BUILD_DIR) && ./glanceway-bench $(BENCH)

# Linux: the Debian package dist/glanceway_<version>_<arch>.deb, made by CPack
# from the build in $(BUILD_DIR) (dpkg-shlibdeps finds the libraries it needs);
# `apt install ./dist/glanceway_<version>_amd64.deb` installs it.
DEB_PACKAGES := dpkg-dev file
# `make test` installs into a scratch folder and builds the package, checked
# by the validators of desktop entries and AppStream metadata, and lintian.
TEST_PACKAGES += desktop-file-utils appstream lintian $(DEB_PACKAGES)

.PHONY: package
package: build
	$(call install_missing,$(DEB_PACKAGES))
	rm -f $(BUILD_DIR)/glanceway_*.deb
	cd $(BUILD_DIR) && cpack -G DEB
	mkdir -p dist && cp $(BUILD_DIR)/glanceway_*.deb dist/
	@ls -l dist/glanceway_*.deb

# Windows, made on this machine: Qt and LibRaw for x86_64-w64-mingw32 built as
# DLLs once from Debian's sources into ~/.cache/glanceway (Qt takes an hour or
# more on 2 cores), Glanceway.exe cross-built into build-win/, deployed with
# them and packaged as dist/*-win64.zip and the NSIS setup dist/*-setup.exe,
# and tested under Wine in a private X server. Never part of `make test`.
WINDOWS_PACKAGES := cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools dpkg-dev xz-utils patch zip \
                    autoconf automake libtool pkg-config nsis \
                    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
WINTEST_PACKAGES := wine wine64 xvfb xauth xdotool libimage-exiftool-perl icoutils imagemagick fonts-dejavu-core python3 \
                    rawtran-doc

windows-deps:
	$(call install_missing,$(WINDOWS_PACKAGES))

windows: windows-deps
	sh scripts/windows/build-qt.sh
	sh scripts/windows/build-libraw.sh
	sh scripts/windows/build-glanceway.sh

wintest: windows-deps
	$(call install_missing,$(WINTEST_PACKAGES))
	sh scripts/windows/build-qt.sh
	sh scripts/windows/build-libraw.sh
	sh scripts/windows/build-glanceway.sh --tests
	sh scripts/windows/wintest.sh

clean:
	rm -rf $(BUILD_DIR)
