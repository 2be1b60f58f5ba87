# libopenmpt, static, on the MinGW zlib; none of its optional codecs or
# players: the renderer needs the module library alone.
source_package=libopenmpt

build_recipe() {
  local src=$1 prefix=$2 triplet=$3
  PKG_CONFIG_LIBDIR="/usr/$triplet/lib/pkgconfig" \
    "$src/configure" --host="$triplet" --prefix="$prefix" \
    CC="$triplet-gcc-posix" CXX="$triplet-g++-posix" CFLAGS="-O2" CXXFLAGS="-O2" \
    --disable-shared --enable-static --disable-openmpt123 --disable-examples \
    --disable-tests --disable-doxygen-doc \
    --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
    --without-portaudio --without-portaudiocpp --without-sndfile --without-flac \
    --without-pulseaudio
  make -j"$(nproc)"
  make install
}
