#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks what a user's
# machine would get: the files, the metadata, the dependencies, and that
# the desktop entry and the AppStream file pass their validators.
#   check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) \
    || { cat "$work/cpack.log" >&2; fail "cpack did not build the package"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$work/out/qingchuanye_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack made: $(ls "$work/out")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = qingchuanye ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is '$(field Architecture)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"

# Computed from what the binaries link, plus what they use without linking.
depends=$(field Depends)
for need in libqt6webenginewidgets6 libqt6webenginecore6 libqt6widgets6 libqt6network6 \
            libqt6openglwidgets6 libmicrohttpd12 libespeak-ng1 libc6 fonts-noto-cjk fonts-noto-color-emoji xdg-utils \
            qt6-base-abi; do
    grep -Eq "(^|, )$need( |,|$)" <<<"$depends" || fail "Depends lacks $need: $depends"
done

files=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's#^\./#/#')
for path in /usr/bin/qingchuanye /usr/bin/qingchuanye-site /usr/lib/qingchuanye/qingchuanye-webview.so \
            /usr/share/applications/qingchuanye.desktop \
            /usr/share/metainfo/org.qingchuanye.qingchuanye.metainfo.xml \
            /usr/share/qingchuanye/www/index.html /usr/share/qingchuanye/www/search.html \
            /usr/share/qingchuanye/www/llk/index.html /usr/share/doc/qingchuanye/DATA.md; do
    grep -qx "$path" <<<"$files" || fail "the package lacks $path"
done
for size in 16 22 24 32 48 64 128 256; do
    grep -qx "/usr/share/icons/hicolor/${size}x${size}/apps/qingchuanye.png" <<<"$files" \
        || fail "the package lacks the ${size}x${size} icon"
done
# Nothing of the tests, the tools or the build tree goes to users.
if grep -E 'tst_|qcy_|/build/|CMake' <<<"$files"; then fail "test or build files in the package"; fi

dpkg-deb -x "$deb" "$work/root"
for size in 16 48 256; do
    file "$work/root/usr/share/icons/hicolor/${size}x${size}/apps/qingchuanye.png" \
        | grep -q "PNG image data, $size x $size" || fail "the ${size}x${size} icon is not that size"
done
[ -x "$work/root/usr/bin/qingchuanye" ] || fail "qingchuanye is not executable"
desktop-file-validate "$work/root/usr/share/applications/qingchuanye.desktop" \
    || fail "desktop-file-validate rejects the entry"
appstreamcli validate --no-net --strict "$work/root/usr/share/metainfo/org.qingchuanye.qingchuanye.metainfo.xml" \
    || fail "appstreamcli rejects the metainfo file"
grep -q "<release version=\"$version\"" "$work/root/usr/share/metainfo/org.qingchuanye.qingchuanye.metainfo.xml" \
    || fail "the metainfo file does not name release $version"
echo "qingchuanye_${version}_amd64.deb: $(wc -l <<<"$files") entries; Depends: $depends"
