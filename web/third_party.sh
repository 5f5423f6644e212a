#!/usr/bin/env bash
# Builds with emscripten the C libraries the web edition links, the desktop's own: libsoxr (the
# resampler) and libebur128 (the loudness measurement), from Debian's source archives, each
# checked against the sum Debian publishes. Both are kept in a cache outside the source tree
# (BRISCA_WEB_CACHE, by default ~/.cache/briscatool-web), fetched and built once per emcc version;
# the folder they are installed in is the script's last line of output.
#   bash web/third_party.sh
set -euo pipefail
cache=${BRISCA_WEB_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/briscatool-web}
here=$(cd "$(dirname "$0")" && pwd)
# A new emcc, or a change to this script or the patch, builds into a new folder.
key=$(cat "$here/third_party.sh" "$here/soxr-wasm.patch" | sha256sum | cut -c1-12)
prefix="$cache/emcc-$(emcc -dumpversion)-$key"
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache)

# fetch URL SHA256: the archive in the cache's downloads/, fetched when it is not there yet.
fetch() {
  local url=$1 sum=$2 file
  file="$cache/downloads/$(basename "$url")"
  mkdir -p "$cache/downloads"
  if [ ! -f "$file" ]; then
    if ! curl -sSfL --retry 2 -o "$file.part" "$url"; then
      rm -f "$file.part"
      echo "web/third_party.sh: cannot download $url" >&2
      echo "  Fetch it elsewhere and put it into $cache/downloads/ (sha256 $sum)." >&2
      exit 1
    fi
    mv "$file.part" "$file"
  fi
  if ! echo "$sum  $file" | sha256sum -c --status; then
    echo "web/third_party.sh: $file is not the archive expected (sha256 $sum); remove it" >&2
    exit 1
  fi
  echo "$file"
}

# build NAME URL SHA256 PATCH CMAKE_OPTIONS...: unpacked, patched (unless PATCH is empty),
# configured, built and installed into the prefix, once (a stamp there says it was).
build() {
  local name=$1 url=$2 sum=$3 patch=$4 archive work
  shift 4
  [ -f "$prefix/$name.done" ] && return
  archive=$(fetch "$url" "$sum")
  work="$prefix/work/$name"
  rm -rf "$work"
  mkdir -p "$work/src"
  tar -xf "$archive" -C "$work/src" --strip-components=1
  [ -z "$patch" ] || patch -s -d "$work/src" -p1 <"$patch"
  echo "building $name with emscripten (once; kept in $prefix)" >&2
  emcmake cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "${launcher[@]}" "$@" >"$work/log" 2>&1 ||
    { cat "$work/log" >&2; exit 1; }
  cmake --build "$work/build" -j2 >>"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
  cmake --install "$work/build" >>"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
  rm -rf "$work"
  touch "$prefix/$name.done"
}

debian=http://deb.debian.org/debian/pool/main
# Only the single-precision engine the desktop's high quality setting uses, without threads and
# without SIMD (which would need WebAssembly SIMD from every browser). The patch gives its FFT's
# callbacks the exact types they are called through: WebAssembly traps on any other.
build soxr-0.1.3 "$debian/libs/libsoxr/libsoxr_0.1.3.orig.tar.xz" \
  b111c15fdc8c029989330ff559184198c161100a59312f5dc19ddeb9b5a15889 "$here/soxr-wasm.patch" \
  -DBUILD_TESTS=OFF -DWITH_OPENMP=OFF -DWITH_LSR_BINDINGS=OFF -DWITH_DEV_TRACE=OFF \
  -DWITH_CR32=ON -DWITH_CR32S=OFF -DWITH_CR64=OFF -DWITH_CR64S=OFF -DWITH_VR32=OFF
build ebur128-1.2.6 "$debian/libe/libebur128/libebur128_1.2.6.orig.tar.gz" \
  baa7fc293a3d4651e244d8022ad03ab797ca3c2ad8442c43199afe8059faa613 "" -DENABLE_TESTS=OFF
echo "$prefix"
