#!/usr/bin/env bash
# The README's before/after pictures of `quillmark render`: a bundled sample
# with its hidden material marked, and the same sample after a conversion.
# Needs rsvg-convert (apt-get install librsvg2-bin) and, for the Japanese
# texts, a Japanese font (apt-get install fonts-ipafont-gothic).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_WERROR=ON >/dev/null
cmake --build build/release -j"$(nproc)" --target quillmark samples
q=build/release/app/cli/quillmark
work=build/render-docs
rm -rf "$work"
mkdir -p "$work"
cp build/release/samples/plan_v700.jww "$work/"
"$q" convert -q "$work/plan_v700.jww"
"$q" render "$work/plan_v700.jww" --hidden mark
"$q" render "$work/plan_v700_2.JWW"
rsvg-convert -w 1000 "$work/plan_v700.mark.svg" -o docs/render-before.png
rsvg-convert -w 1000 "$work/plan_v700_2.svg" -o docs/render-after.png
echo "docs/render-before.png and docs/render-after.png written"
