# Two commands matter: `make run` and `make test`. Both install what is
# missing first, so they work on a fresh Debian machine.
ROOT := $(abspath .)
JOBS ?= 2
SHELL := /bin/bash

.PHONY: all deps configure64 build build64 build32 ship64 check-imports dist test run clean bench

all: build

deps:
	@scripts/install-deps

configure64: deps
	@cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-x86_64.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DSENTROVIA_TESTS=ON >/dev/null

build64: configure64
	@cmake --build build/win64 -j $(JOBS)

# The executables that ship are built with the win32-threaded compilers, the
# test programs with the posix-threaded ones (cmake/*.cmake say why). build/win32
# is the shipped 32-bit program; build/win64-ship is the shipped 64-bit one,
# only the program, apart from the 64-bit test build.
build32: deps
	@cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-i686.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DSENTROVIA_TESTS=OFF >/dev/null
	@cmake --build build/win32 -j $(JOBS)

ship64: deps
	@cmake -S . -B build/win64-ship -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-x86_64-win32.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DSENTROVIA_TESTS=OFF >/dev/null
	@cmake --build build/win64-ship -j $(JOBS) --target Sentrovia

build: build32 build64

# Every shipped executable may import only what Windows 95 and NT 4.0 export.
check-imports: build32 ship64
	@scripts/check-imports build/win32/Sentrovia.exe build/win64-ship/Sentrovia.exe

# The release package: build/dist/Sentrovia-<version>-win32.zip and -win64.zip,
# each with the shipped program, README.txt and welcome.htm (from dist/).
dist: build32 ship64
	@scripts/make-dist

test: build check-imports dist
	@scripts/run-tests build/win64

# Running needs only the program, not the test programs.
run: configure64
	@cmake --build build/win64 -j $(JOBS) --target Sentrovia
	@scripts/run

clean:
	rm -rf build

# Benchmarks are not tests: built and run on demand, one table for a person.
bench: configure64
	@cmake --build build/win64 -j $(JOBS) --target bench >/dev/null
	@. scripts/wine-env; SENTROVIA_FORCE_XVFB=1 wine_env_display; wine_env_prefix $(ROOT)/build/win64/benchprefix; \
	    cd build/win64 && "$$WINE64" bench.exe; wine_env_stop
