# libpng, static, on the MinGW zlib from libz-mingw-w64-dev.
source_package=libpng1.6

build_recipe() {
  local src=$1 prefix=$2 triplet=$3
  "$src/configure" --host="$triplet" --prefix="$prefix" \
    CC="$triplet-gcc-posix" CFLAGS="-O2" \
    --disable-shared --enable-static --disable-tests --disable-tools
  make -j"$(nproc)"
  make install
}
