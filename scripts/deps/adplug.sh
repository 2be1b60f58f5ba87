# AdPlug, static, on the libbinio built before it. The library's sources are
# compiled directly from the list in its Makefile.am; its OPL emulators are
# C and must be compiled as C.
source_package=adplug

build_recipe() {
  local src=$1 prefix=$2 triplet=$3
  local binio="$QUARVO_CACHE/deps/$triplet/libbinio"
  mkdir -p "$prefix/include/adplug" "$prefix/lib/pkgconfig"
  local version
  version=$(sed -n 's/^AC_INIT([^,]*,[[:space:][]*\([0-9.]*\).*/\1/p' "$src/configure.ac" | head -n 1)
  sed "s/@VERSION@/${version:-2.3.3}/" "$src/src/version.h.in" >version.h
  local sources file object objects=()
  sources=$(sed -n '/^src_libadplug_la_SOURCES/,/^$/p' "$src/Makefile.am" |
    grep -oE 'src/[A-Za-z0-9_]+\.(c|cpp)')
  for file in $sources; do
    object=$(basename "$file").o
    case $file in
      *.c) queue_compile "$object" "$triplet-gcc-posix" -O2 -I. -I"$src/src" -c "$src/$file" -o "$object" ;;
      *) queue_compile "$object" "$triplet-g++-posix" -O2 -I. -I"$src/src" -I"$binio/include/libbinio" \
        -c "$src/$file" -o "$object" ;;
    esac
    objects+=("$object")
  done
  compile_queued
  "$triplet-ar" rcs "$prefix/lib/libadplug.a" "${objects[@]}"
  cp "$src"/src/*.h "$prefix/include/adplug/"
  cp version.h "$prefix/include/adplug/"
  cat >"$prefix/lib/pkgconfig/adplug.pc" <<PC
prefix=$prefix
Name: AdPlug
Description: AdLib sound player library
Version: ${version:-2.3.3}
Requires: libbinio
Libs: -L\${prefix}/lib -ladplug
Cflags: -I\${prefix}/include/adplug
PC
}
