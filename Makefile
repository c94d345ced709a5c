# The two commands: `make test` runs every suite, `make run` starts Kestrova under Wine.
# `make fuzz` fuzzes every reader of outside input (or the harnesses named in FUZZ_HARNESSES) for
# FUZZ_SECONDS (default 60) each, or for FUZZ_RUNS executions (FUZZ_RUNS=1000000 for a campaign),
# in the speed build without AddressSanitizer, and prints a table of each harness's executions,
# seconds, executions per CPU-second, coverage and findings; a finding is replayed under
# AddressSanitizer to tell what it does, and `make test` replays every corpus there.
# `make bench` runs every benchmark natively and under Wine on BENCH_SIZE places (default 10000;
# 100000 is the full run) and prints one table of ratios.
# `make soak` runs SOAK_ROUNDS (default 100) rounds of repair and restore under Wine and counts
# every value or file that did not come back as it was; `make test` runs two of them.
.PHONY: test run deps native native-asan mingw format fuzz dist bench soak

deps:
	@tools/install-deps

test: deps
	@tools/run-tests

native native-asan mingw: deps
	@tools/run-tests $@

run: deps
	@tools/run-demo

fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_RUNS=$(FUZZ_RUNS) tools/run-fuzz $(FUZZ_HARNESSES)

bench: deps
	@BENCH_SIZE=$(BENCH_SIZE) tools/run-bench

soak: deps
	@SOAK_ROUNDS=$(SOAK_ROUNDS) SOAK_SEED=$(SOAK_SEED) tools/run-soak

# The Windows installer and the portable zip, into build/dist/.
dist: deps
	@tools/make-dist

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i
