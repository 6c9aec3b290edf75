# Two commands matter: `make run` and `make test`. Both install what is
# missing first, so they work on a fresh Debian machine.
ROOT := $(abspath .)
JOBS ?= 2

.PHONY: all deps build build64 build32 test run clean

all: build

deps:
	@scripts/install-deps

build64: deps
	@cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-x86_64.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DSENTROVIA_TESTS=ON >/dev/null
	@cmake --build build/win64 -j $(JOBS)

build32: deps
	@cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-i686.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DSENTROVIA_TESTS=OFF >/dev/null
	@cmake --build build/win32 -j $(JOBS)

build: build32 build64

test: build
	@scripts/run-tests build/win64

run: deps build64
	@scripts/run

clean:
	rm -rf build
