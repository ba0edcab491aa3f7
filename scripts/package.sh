#!/usr/bin/env bash
# Builds the release packages of every brand into dist/: the Windows installer, the Windows
# Installer packages for deployment tools (x64 and x86), the Windows and Linux portable bundles,
# the Windows test kit (both architectures' test programs and run-tests.cmd), and SHA256SUMS over
# them. The brands come from the locator's own table. With VENTREL_SIGN_PFX
# (and VENTREL_SIGN_PASSWORD) naming a code-signing certificate, the Windows programs, the
# uninstallers, the installers and the MSI packages are Authenticode-signed.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
source scripts/packages.sh
scripts/install-deps.sh "${BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
source packaging/brands.sh

version="$(sed -n 's/^project(VentrelConf VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || { echo "no version in CMakeLists.txt" >&2; exit 1; }

echo "== building the programs"
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target VentrelConf VentrelConfQt ventrel_help_page
for preset in windows windows-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target VentrelConf VentrelConfProvision ventrel_unit_tests \
    ventrel_win32_e2e_tests
done

work="$root/build/package"
dist="$root/dist"
rm -rf "$work" "$dist"
mkdir -p "$work/programs" "$dist"

# What ships is stripped of debug information, then signed: a signature covers the final bytes.
cp build/windows/VentrelConf.exe "$work/programs/VentrelConf-x64.exe"
cp build/windows-x86/VentrelConf.exe "$work/programs/VentrelConf-x86.exe"
cp build/windows/VentrelConfProvision.exe "$work/programs/VentrelConfProvision-x64.exe"
cp build/windows-x86/VentrelConfProvision.exe "$work/programs/VentrelConfProvision-x86.exe"
for arch in x64 x86; do
  strip_tool=x86_64-w64-mingw32-strip
  [ "$arch" = x86 ] && strip_tool=i686-w64-mingw32-strip
  "$strip_tool" --strip-debug "$work/programs/VentrelConf-$arch.exe" \
    "$work/programs/VentrelConfProvision-$arch.exe"
done
for file in build/linux/VentrelConf build/linux/VentrelConf-qt.so; do
  strip --strip-debug -o "$work/programs/$(basename "$file")" "$file"
done
cp build/linux/VentrelConf.html "$work/programs/"

sign=()
if [ -n "${VENTREL_SIGN_PFX:-}" ]; then
  echo "== signing with $VENTREL_SIGN_PFX"
  for program in VentrelConf VentrelConfProvision; do
    packaging/sign.sh "$work/programs/$program-x64.exe"
    packaging/sign.sh "$work/programs/$program-x86.exe"
  done
  sign=(-DSIGN="$root/packaging/sign.sh")
else
  echo "== VENTREL_SIGN_PFX is not set: the packages are NOT signed"
fi

# A portable bundle: `stage` packed by CPack under a top-level folder named like the archive.
bundle() {
  local generator="$1" stage="$2" name="$3"
  cpack --config packaging/bundle.cmake -G "$generator" -D "CPACK_INSTALLED_DIRECTORIES=$stage;." \
    -D CPACK_PACKAGE_VERSION="$version" -D CPACK_PACKAGE_FILE_NAME="$name" \
    -D CPACK_PACKAGE_DIRECTORY="$work/cpack" >/dev/null
  mv "$work/cpack/$name".* "$dist/"
}

for entry in "${BRANDS[@]}"; do
  IFS='|' read -r slug brand product manufacturer <<<"$entry"
  echo "== $brand"
  stem="VentrelConf-$version-$slug"
  catalogue="$work/$slug/VentrelConf.ini"
  mkdir -p "$work/$slug"
  sed "s/@MANUFACTURER@/$manufacturer/" packaging/catalogue.ini.in >"$catalogue.lf"
  sed 's/$/\r/' "$catalogue.lf" >"$catalogue"  # Windows programs' own line ends

  makensis -V2 -NOCD -DBRAND="$brand" -DPRODUCT="$product" -DSLUG="$slug" -DVERSION="$version" \
    -DEXE64="$work/programs/VentrelConf-x64.exe" -DEXE32="$work/programs/VentrelConf-x86.exe" \
    -DSTEP64="$work/programs/VentrelConfProvision-x64.exe" \
    -DSTEP32="$work/programs/VentrelConfProvision-x86.exe" \
    -DCATALOGUE="$catalogue" -DOUTFILE="$dist/$stem-setup.exe" "${sign[@]}" \
    packaging/installer.nsi

  # Each package's ProductCode, for detection rules and scripts on Windows, where no msiinfo is.
  for arch in x64 x86; do
    packaging/msi.sh "$slug" "$brand" "$product" "$version" "$arch" \
      "$work/programs/VentrelConf-$arch.exe" "$work/programs/VentrelConfProvision-$arch.exe" \
      "$catalogue" "$dist/$stem-$arch.msi"
    printf '%s %s\r\n' "$stem-$arch.msi" \
      "$(msiinfo export "$dist/$stem-$arch.msi" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p')" \
      >>"$dist/ProductCodes.txt"
  done

  # Windows: the 32-bit program, which runs on every Windows, beside the product folder.
  stage="$work/$slug/windows"
  mkdir -p "$stage/$product"
  cp "$work/programs/VentrelConf-x86.exe" "$stage/VentrelConf.exe"
  cp "$catalogue" "$stage/$product/VentrelConf.ini"
  bundle ZIP "$stage" "$stem-windows-portable"

  stage="$work/$slug/linux"
  mkdir -p "$stage/$product"
  cp "$work/programs/VentrelConf" "$work/programs/VentrelConf-qt.so" \
    "$work/programs/VentrelConf.html" "$stage/"
  cp "$catalogue.lf" "$stage/$product/VentrelConf.ini"
  bundle TGZ "$stage" "$stem-linux-x86_64-portable"
done

# The test kit: each architecture's test programs beside the program and the step that ship, as
# they lie in the build tree (they find them and the planting marker from their own folder), and
# Dremont's x64 MSI for run-tests.cmd /packages.
echo "== the Windows test kit"
kit="$work/test-kit"
mkdir -p "$kit/packages"
for arch in x64 x86; do
  build=build/windows strip_tool=x86_64-w64-mingw32-strip
  [ "$arch" = x86 ] && build=build/windows-x86 strip_tool=i686-w64-mingw32-strip
  mkdir -p "$kit/$arch/tests/win32"
  cp "$work/programs/VentrelConf-$arch.exe" "$kit/$arch/VentrelConf.exe"
  cp "$work/programs/VentrelConfProvision-$arch.exe" "$kit/$arch/VentrelConfProvision.exe"
  "$strip_tool" --strip-debug -o "$kit/$arch/tests/ventrel_unit_tests.exe" \
    "$build/tests/ventrel_unit_tests.exe"
  "$strip_tool" --strip-debug -o "$kit/$arch/tests/win32/ventrel_win32_e2e_tests.exe" \
    "$build/tests/win32/ventrel_win32_e2e_tests.exe"
  cp "$build/tests/win32/planted_marker.dll" "$kit/$arch/tests/win32/"
  if [ -n "${VENTREL_SIGN_PFX:-}" ]; then
    for file in "$kit/$arch"/tests/*.exe "$kit/$arch"/tests/win32/*; do
      packaging/sign.sh "$file"
    done
  fi
done
cp "$dist/VentrelConf-$version-dremont-x64.msi" "$kit/packages/"
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' packaging/test-kit/run-tests.cmd >"$kit/run-tests.cmd"
bundle ZIP "$kit" "VentrelConf-$version-windows-tests"

(cd "$dist" && sha256sum -- * >SHA256SUMS)
echo "== dist/"
ls -l "$dist"
