#!/bin/sh
# The README's entry point, for a machine that has nothing but a shell yet:
# installs what the named make targets need, make among it, then runs make
# with the same words (./make.sh test is make test on a machine that has it).
set -eu
cd "$(dirname "$0")"
scripts/install-deps "$@"
exec make "$@"
