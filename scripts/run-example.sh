#!/usr/bin/env bash
# Installs what is missing, builds the library and the example host program,
# and runs it on its built-in default scene. Arguments go to the program
# (try --help); its pictures go to build/example-output unless --output
# names another folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$(nproc)" --target vek_example
# A later --output given by the caller overrides this one.
./build/release/bin/vek_example --output build/example-output "$@"
