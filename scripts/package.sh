#!/usr/bin/env bash
# Builds the Debian package of the updater into a build folder (default build-package), as
# <folder>/zq-updater_<version>-<revision>_<architecture>.deb: a release build with Debian's hardening
# flags, installed under /usr, stripped and packaged by CPack (cmake/VkitPackage.cmake). Then checks it:
# lintian finds no error and no warning, and every file the build put in the updater's bundle is in the
# package (a program or module of the bundle without an install rule would be missing from it).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}

# The bundle is made anew, so that no file of an earlier build stands in it; the configuration writes its
# Info.plist and localization files again, the build its programs.
rm -rf "$build/Updater.app"
# Debian's flags less its -g and -O2: the programs are stripped, and the release build chooses -O3.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export DEB_CFLAGS_MAINT_STRIP="-g -O2" DEB_CXXFLAGS_MAINT_STRIP="-g -O2"
cppflags=$(dpkg-buildflags --get CPPFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -G "${CMAKE_GENERATOR:-Ninja}" -DCMAKE_BUILD_TYPE=Release -DVKIT_BUILD_TESTS=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
    -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" >/dev/null
rm -f "$build"/*.deb
cmake --build "$build" -j "${JOBS:-$(nproc)}" --target package
deb=$(ls "$build"/*.deb)

echo "package: lintian $deb"
lintian --fail-on error,warning --display-info "$deb"

missing=$(comm -23 <(cd "$build" && find Updater.app -type f | sort) \
    <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -n 's|^\./usr/libexec/zq/||p' | sort))
if [[ -n "$missing" ]]; then
    echo "package: files of $build/Updater.app that the package lacks (give them an install rule):" >&2
    echo "$missing" | sed 's/^/  /' >&2
    exit 1
fi

echo "package: $deb, $(stat -c %s "$deb") bytes, installs $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "package: depends on $(dpkg-deb -f "$deb" Depends)"
