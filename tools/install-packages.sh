#!/usr/bin/env bash
# Installs the Debian packages named (the build and test scripts name what
# they find missing). As root with apt-get; otherwise says what to install
# and fails.
# Usage: bash tools/install-packages.sh [PACKAGE...]
set -euo pipefail
[ $# -gt 0 ] || exit 0
if [ "$(id -u)" = 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq </dev/null
  apt-get install -y -qq "$@" </dev/null
else
  echo "please install: $* (apt-get install ...)" >&2
  exit 1
fi
