#!/usr/bin/env bash
# Regenerates assets/ from our own code: builds the generator, runs it, and turns the sky
# picture into the JPEG the program loads ("clouds.jpg").
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build release
build/release/make_demo_assets assets
convert assets/Textures/clouds.png -quality 85 assets/Textures/clouds.jpg
rm assets/Textures/clouds.png
