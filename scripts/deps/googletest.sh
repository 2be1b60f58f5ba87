# GoogleTest from the sources that Debian's googletest package installs.
source_dir=/usr/src/googletest
source_version_of=googletest

build_recipe() {
  local src=$1 prefix=$2 triplet=$3
  cmake -S "$src" -B build -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$QUARVO_TOOLCHAIN_DIR/$triplet.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -Dgtest_disable_pthreads=OFF -DBUILD_SHARED_LIBS=OFF
  cmake --build build
  cmake --install build
}
