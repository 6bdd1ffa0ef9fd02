#!/bin/sh
# make dist: builds the programs, the zip and the installer twice, each time from nothing and the
# second time from a copy of the sources elsewhere, and puts them into BUILD/dist with their
# checksums only when the two builds agree byte for byte. The dates inside are the last commit's.
set -eu
build=$(mkdir -p "$1" && cd "$1" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
[ -z "$(git -C "$src" status --porcelain --untracked-files=no)" ] ||
  echo "dist: the work tree differs from the last commit: what it builds is not that commit" >&2
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$src" log -1 --format=%ct)}
export SOURCE_DATE_EPOCH

copy=$build/dist-sources
rm -rf "$copy"
mkdir -p "$copy"
git -C "$src" ls-files -z --cached --others --exclude-standard |
  tar -C "$src" --null --ignore-failed-read -T - -cf - | tar -C "$copy" -xf -

for tree in first:$src second:$copy; do
  dir=$build/dist-${tree%%:*}
  rm -rf "$dir"
  cmake -S "${tree#*:}" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DELEMTRIX_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="${tree#*:}/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$dir" -j"$(nproc)" --target dist_files >/dev/null
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/dist-first/CMakeCache.txt")
setup=elemtrix-$version-setup.exe
zip=elemtrix-$version-win32.zip
for file in app/elemtrix.exe app/calc/elemtrix-calc.exe package/$zip package/$setup; do
  cmp "$build/dist-first/$file" "$build/dist-second/$file" ||
    { echo "dist: $file differs between two builds of the same sources" >&2; exit 1; }
done

rm -rf "$build/dist"
mkdir -p "$build/dist"
cp "$build/dist-first/package/$setup" "$build/dist-first/package/$zip" "$build/dist"
(cd "$build/dist" && sha256sum "$setup" "$zip" >SHA256SUMS)
echo "dist: two builds agree byte for byte"
ls -l "$build/dist-first/package/stage"/*.exe "$build/dist/$setup" "$build/dist/$zip"
cat "$build/dist/SHA256SUMS"
