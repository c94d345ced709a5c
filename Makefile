# The two commands: `make test` runs every suite, `make run` starts Kestrova under Wine.
# `make fuzz` fuzzes every reader of outside input for FUZZ_SECONDS (default 60) each.
.PHONY: test run deps native native-asan mingw format fuzz dist

deps:
	@tools/install-deps

test: deps
	@tools/run-tests

native native-asan mingw: deps
	@tools/run-tests $@

run: deps
	@tools/run-demo

fuzz: deps
	@tools/run-fuzz

# The Windows installer and the portable zip, into build/dist/.
dist: deps
	@tools/make-dist

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i
