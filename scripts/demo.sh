#!/usr/bin/env bash
# The main job on the bundled samples: builds the command line and the samples
# (showing the build's progress), copies the sample drawings to build/demo
# (made afresh on every run and kept afterwards to look at), shows what one
# holds and draws a picture of what a purge removes, converts the folder,
# shows what the output of that one holds, and
# then tries the scripting options: a dry run into an output folder, the same
# run for real with a JSON report.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# Configured exactly as scripts/test.sh configures it, so the two share one
# build and neither rebuilds what the other built.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_WERROR=ON >/dev/null
echo "== Building the command line and the samples in build/release (a first build takes a minute or two)"
cmake --build build/release -j"$(nproc)" --target quillmark samples

q=build/release/app/cli/quillmark
demo=build/demo
rm -rf "$demo"
mkdir -p "$demo/drawings"
cp build/release/samples/*.jww "$demo/drawings/"
echo
echo "== Sample drawings in $demo/drawings"
ls -l "$demo/drawings"
echo
echo "== quillmark info $demo/drawings/plan_v700.jww (before)"
"$q" info "$demo/drawings/plan_v700.jww"
echo
echo "== quillmark render --hidden mark $demo/drawings/plan_v700.jww (a picture of what a purge removes, in red)"
"$q" render --hidden mark "$demo/drawings/plan_v700.jww"
echo
echo "== quillmark convert $demo/drawings (every drawing of the folder)"
status=0
"$q" convert "$demo/drawings" || status=$?
echo "(exit status $status)"
echo
echo "== quillmark info $demo/drawings/plan_v700_2.JWW (the output)"
"$q" info "$demo/drawings/plan_v700_2.JWW"
echo
echo "== quillmark convert --dry-run -o $demo/cleaned $demo/drawings (writes nothing; the outputs of the"
echo "   run before are not taken as drawings)"
"$q" convert --dry-run -o "$demo/cleaned" "$demo/drawings"
echo
echo "== quillmark convert --json -o $demo/cleaned $demo/drawings (one JSON object a line)"
status=0
"$q" convert --json -o "$demo/cleaned" "$demo/drawings" || status=$?
echo "(exit status $status)"
echo
echo "== Files afterwards"
ls -l "$demo/drawings" "$demo/cleaned"
