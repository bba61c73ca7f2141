# The two commands a newcomer needs: `make demo` and `make test`.
.PHONY: deps configure build test demo asan bench fuzz clean

JOBS ?= $(shell nproc)

deps:
	./scripts/install-deps

configure: deps
	cmake --preset default

build: configure
	cmake --build --preset default -j $(JOBS)

test: build
	ctest --preset default -j $(JOBS)

demo: build
	./scripts/demo

asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

clean:
	rm -rf build build-asan build-release build-fuzz

# Every fuzz target for FUZZ_SECONDS (default 60); prints executions and findings per target.
fuzz: deps
	./scripts/fuzz

# Micro benchmarks and the whole program against a bare dialog, printed as one table (release build).
bench: deps
	./scripts/bench
