# libmp3lame, static, encoder only: the tools never decode MP3.
source_package=lame

build_recipe() {
  local src=$1 prefix=$2 triplet=$3
  "$src/configure" --host="$triplet" --prefix="$prefix" \
    CC="$triplet-gcc-posix" CFLAGS="-O2" \
    --disable-shared --enable-static --disable-frontend --disable-decoder \
    --disable-gtktest
  make -j"$(nproc)"
  make install
}
