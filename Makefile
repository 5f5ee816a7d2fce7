# The two commands of the README. Both do all the set-up on a fresh Debian 12
# machine (as root): packages, configuration, builds.
.PHONY: test demo bench clean

test:
	@scripts/run-tests.sh

bench:
	@scripts/install-deps.sh
	@cmake --preset linux-release > /dev/null
	@cmake --build --preset linux-release --target indirect_pipeline_bench
	@build/linux-release/bench/indirect_pipeline_bench

clean:
	rm -rf build out
