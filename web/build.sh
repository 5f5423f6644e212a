#!/usr/bin/env bash
# Builds the web edition: libsoxr and libebur128 with emscripten (once, web/third_party.sh), the
# core into build-web/ (the node command line and the page's module), the page's TypeScript with
# esbuild, everything the page needs into web/dist/.
#   bash web/build.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-web}
# Debian's emscripten runs its JavaScript optimiser with node, whose modules (acorn) it finds
# only through NODE_PATH when another node comes first in PATH.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
deps=$(bash web/third_party.sh | tail -n 1)
if [ ! -f "$build/build.ninja" ]; then
  emcmake cmake -S web -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRISCA_WERROR=ON \
    -DBRISCA_WEB_DEPS="$deps" "${launcher[@]}" >/dev/null
elif [ "$(grep -s '^BRISCA_WEB_DEPS:' "$build/CMakeCache.txt" | cut -d= -f2-)" != "$deps" ]; then
  cmake -S web -B "$build" -DBRISCA_WEB_DEPS="$deps" >/dev/null
fi
cmake --build "$build" -j2
mkdir -p web/dist/page
cp "$build/briscatool-node.js" web/dist/
cp "$build/briscatool-core.mjs" "$build/briscatool-core.wasm" web/page/index.html \
  web/page/style.css web/dist/page/
cd web
[ -d node_modules/esbuild ] || npm ci --no-audit --no-fund --loglevel=error
npx --no-install tsc --noEmit -p page
npx --no-install esbuild app=page/src/main.ts worker=page/src/worker.ts --bundle --format=esm \
  --target=es2022 --outdir=dist/page --log-level=warning
