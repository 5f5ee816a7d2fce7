# The two commands of the README. Both do all the set-up on a fresh Debian 12
# machine (as root): packages, configuration, builds.
.PHONY: test demo bench clean

test:
	@scripts/run-tests.sh

clean:
	rm -rf build out
