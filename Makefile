# The two commands: `make test` runs every suite, `make run` starts Kestrova under Wine.
.PHONY: test run deps native native-asan mingw format

deps:
	@tools/install-deps

test: deps
	@tools/run-tests

native native-asan mingw: deps
	@tools/run-tests $@

run: deps
	@tools/run-demo

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i
