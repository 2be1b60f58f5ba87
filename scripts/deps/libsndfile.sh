# libsndfile, static, without the external codecs (FLAC, Vorbis, MPEG):
# the tools read and write plain WAV only.
source_package=libsndfile

build_recipe() {
  local src=$1 prefix=$2 triplet=$3
  cmake -S "$src" -B build -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$QUARVO_TOOLCHAIN_DIR/$triplet.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DENABLE_EXTERNAL_LIBS=OFF -DENABLE_MPEG=OFF \
    -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF \
    -DENABLE_CPACK=OFF -DINSTALL_PKGCONFIG_MODULE=ON
  cmake --build build
  cmake --install build
}
