# The two commands a newcomer needs: `make demo` and `make test`.
.PHONY: deps configure build test check demo asan tsan windows-check windows-package fuzz-brief \
	bench fuzz clean \
	format format-check kernel-check package package-test package-check

JOBS ?= $(shell nproc)

deps:
	./scripts/install-deps

configure: deps
	cmake --preset default

build: configure
	cmake --build --preset default -j $(JOBS)

# Everything CI runs: the formatting, the suite, the suite again under ASan + UBSan, the suites
# that run two threads at once under TSan, the core's suites built for 32-bit Windows and run
# under wine, each fuzz target briefly, the check against a real Linux kernel, and the
# installation and the package checked without touching /usr.
test: format-check check asan tsan windows-check fuzz-brief kernel-check package-test

# A file that differs from .clang-format fails the run, with the list of such files.
format-check: deps
	./scripts/check-format

format: deps
	./scripts/check-format --fix

# The suite alone, for the edit-build-test loop.
check: build
	ctest --preset default -j $(JOBS)

demo: build
	./scripts/demo

asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# Only the suites labelled "threads" (the target thread_tests): quick, and what TSan is for.
tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

# The core and discolo.exe cross-built for 32-bit Windows with mingw-w64, optimised, with their
# tests; ctest runs them under wine in a prefix of the build's own, with an X server (Xvfb) for
# the window. The window's run is compared with the Linux build's, which is built first.
windows-check: build
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS)
	ctest --preset windows -j $(JOBS)

# The Windows package: build-windows/discolo-<version>-windows-x86.zip.
windows-package: deps
	JOBS=$(JOBS) ./scripts/windows-package

clean:
	rm -rf build build-asan build-tsan build-release build-fuzz build-windows build-package

# The Debian package build-package/discolo_<version>_<arch>.deb.
package: deps
	JOBS=$(JOBS) ./scripts/package

# The staged installation validated, the package built, linted, unpacked and run (no root needed).
package-test: deps
	JOBS=$(JOBS) ./scripts/package-test

# The package installed on this machine with dpkg -i, run, and removed again with dpkg -r.
package-check: deps
	JOBS=$(JOBS) ./scripts/package-check

# Every fuzz target for FUZZ_SECONDS (default 60); prints executions and findings per target.
fuzz: deps
	./scripts/fuzz

fuzz-brief: deps
	FUZZ_SECONDS=30 ./scripts/fuzz

# Micro benchmarks and the whole program against a bare dialog, printed as one table (release build).
bench: deps
	./scripts/bench

# The SG layer and the virtual drive against a real Linux kernel booted in qemu: every permission
# case, an unplug with name reuse, cd-info on the virtual drive (scripts/kernel-check). Skipped
# with one line where qemu or Debian's kernel package cannot be had.
kernel-check: deps
	./scripts/kernel-check
