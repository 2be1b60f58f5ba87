# lhasa's library, static: the AY engine unpacks YM and VTX dumps with it.
# The Debian tarball has no generated configure; the library needs no
# configuration, so its sources (the SRC list of lib/Makefile.am) are
# compiled directly, as C.
source_package=lhasa

build_recipe() {
  local src=$1 prefix=$2 triplet=$3
  mkdir -p "$prefix/include/liblhasa-1.0" "$prefix/lib/pkgconfig"
  local version
  version=$(sed -n 's/^AC_INIT([^,]*,[[:space:]]*\([0-9.]*\).*/\1/p' "$src/configure.ac" | head -n 1)
  local file objects=()
  for file in $(sed -n '/^SRC =/,/^$/p' "$src/lib/Makefile.am" | grep -oE '[a-z0-9_]+\.c'); do
    queue_compile "${file%.c}.o" "$triplet-gcc-posix" -O2 -I"$src/lib" -I"$src/lib/public" \
      -c "$src/lib/$file" -o "${file%.c}.o"
    objects+=("${file%.c}.o")
  done
  compile_queued
  "$triplet-ar" rcs "$prefix/lib/liblhasa.a" "${objects[@]}"
  cp "$src"/lib/public/*.h "$prefix/include/liblhasa-1.0/"
  cat >"$prefix/lib/pkgconfig/liblhasa.pc" <<PC
prefix=$prefix
Name: liblhasa
Description: LHA decompression library
Version: ${version:-0.3.1}
Libs: -L\${prefix}/lib -llhasa
Cflags: -I\${prefix}/include/liblhasa-1.0
PC
}
