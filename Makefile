# The two commands of the README. Both do all the set-up on a fresh Debian 12
# machine (as root): packages, configuration, builds.
.PHONY: test demo bench fuzz clean

test:
	@scripts/run-tests.sh

# The demo host on the simulated drivers with its defaults; DEMO_ARGS adds
# options (make demo DEMO_ARGS="--driver hook --monitors 2").
demo:
	@scripts/install-deps.sh
	@[ -f build/linux-release/build.ninja ] || cmake --preset linux-release
	@cmake --build --preset linux-release --target nimbo-demo
	@build/linux-release/tools/nimbo-demo $(DEMO_ARGS)

clean:
	rm -rf build out

# Benchmarks: the optimised native build and every Google Benchmark suite;
# ends with one table of all of them, also written to out/bench.json.
bench:
	@scripts/install-deps.sh
	@[ -f build/linux-release/build.ninja ] || cmake --preset linux-release
	@cmake --build --preset linux-release
	@scripts/run-bench.sh

# Fuzzing: every libFuzzer target for FUZZ_SECONDS seconds each (default 60).
fuzz:
	@scripts/install-deps.sh
	@scripts/run-fuzz.sh
