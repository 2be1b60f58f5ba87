# libbinio, static. The Debian tarball lacks the files its autotools set-up
# needs to regenerate, so its four sources are compiled directly once
# binio.h is made from its template.
source_package=libbinio

build_recipe() {
  local src=$1 prefix=$2 triplet=$3
  mkdir -p "$prefix/include/libbinio" "$prefix/lib/pkgconfig"
  sed -e 's/@ENABLE_STRING@/1/' -e 's/@ENABLE_IOSTREAM@/1/' \
    -e 's/@ISO_STDLIB@/1/' -e 's/@WITH_MATH@/1/' \
    -e 's/@TYPE_INT@/long long/' -e 's/@TYPE_FLOAT@/long double/' \
    "$src/src/binio.h.in" >binio.h
  local file objects=()
  for file in binfile binio binstr binwrap; do
    queue_compile "$file.o" "$triplet-g++-posix" -O2 -I. -I"$src/src" -c "$src/src/$file.cpp" -o "$file.o"
    objects+=("$file.o")
  done
  compile_queued
  "$triplet-ar" rcs "$prefix/lib/libbinio.a" "${objects[@]}"
  cp binio.h "$src"/src/binfile.h "$src"/src/binstr.h "$src"/src/binwrap.h "$prefix/include/libbinio/"
  cat >"$prefix/lib/pkgconfig/libbinio.pc" <<PC
prefix=$prefix
Name: libbinio
Description: Binary I/O stream class library
Version: 1.5
Libs: -L\${prefix}/lib -lbinio
Cflags: -I\${prefix}/include/libbinio
PC
}
