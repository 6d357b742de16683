#!/usr/bin/env bash
# The main job on the bundled samples: builds everything, copies the sample
# drawings to a scratch folder, shows what one holds, converts them all and
# shows what the output of that one holds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$(nproc)" --target quillmark samples >/dev/null

q=build/release/app/cli/quillmark
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-demo.XXXXXX")
cp build/release/samples/*.jww "$scratch/"
echo "== Sample drawings in $scratch"
ls -l "$scratch"
echo
echo "== quillmark info plan_v700.jww (before)"
"$q" info "$scratch/plan_v700.jww"
echo
echo "== quillmark convert (every sample)"
status=0
"$q" convert "$scratch"/*.jww || status=$?
echo "(exit status $status)"
echo
echo "== quillmark info plan_v700_2.JWW (the output)"
"$q" info "$scratch/plan_v700_2.JWW"
echo
echo "== Files afterwards"
ls -l "$scratch"
