#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the tree a desktop
# needs: both programs, the menu entry (desktop-file-validate), the icon as
# SVG and in every PNG size, the man page. With "deb" as second argument it
# builds the Debian package instead and checks its files and dependencies.
# Usage: installed_tree.sh BUILD_DIR [deb]
set -euo pipefail
build="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "installed_tree: $*" >&2; exit 1; }

expected=(
  bin/mokrin
  bin/mok
  share/applications/mokrin.desktop
  share/icons/hicolor/scalable/apps/mokrin.svg
  share/man/man1/mok.1.gz
)
sizes=(16 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/mokrin.png")
done

if [ "${2:-}" = deb ]; then
  (cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1) ||
    { cat "$tmp/cpack.log" >&2; fail "cpack failed"; }
  deb="$(ls "$tmp"/*.deb)"
  listing="$(dpkg-deb -c "$deb")"
  for path in "${expected[@]}"; do
    grep -q " \./usr/$path\$" <<<"$listing" || fail "the package lacks /usr/$path"
  done
  depends="$(dpkg-deb -f "$deb" Depends)"
  for package in libc6 libicu72 libqt6widgets6 qt6-qpa-plugins; do
    grep -q "\b$package\b" <<<"$depends" || fail "Depends lacks $package: $depends"
  done
  [ "$(dpkg-deb -f "$deb" Package)" = mokrin ] || fail "package name"
  [ "$(dpkg-deb -f "$deb" Version)" = "$("$build/cli/mok" --version | cut -d' ' -f2)" ] || fail "package version"
  exit 0
fi

prefix="$tmp/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
for path in "${expected[@]}"; do
  [ -f "$prefix/$path" ] || fail "missing $path"
done
[ -x "$prefix/bin/mokrin" ] && [ -x "$prefix/bin/mok" ] || fail "programs not executable"

entry="$prefix/share/applications/mokrin.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects the entry"
for line in 'Exec=mokrin %f' 'Icon=mokrin' 'Categories=Utility;TextTools;' 'MimeType=text/plain;' \
            'Name=Mokrin' 'Comment=' 'Name\[zh_CN\]=' 'Comment\[zh_CN\]='; do
  grep -q "^$line" "$entry" || fail "the entry lacks $line"
done

# A PNG file: its signature, then width and height as big-endian numbers.
for size in "${sizes[@]}"; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/mokrin.png"
  header="$(od -An -tx1 -N24 "$png" | tr -d ' \n')"
  [ "${header:0:16}" = 89504e470d0a1a0a ] || fail "$png is not a PNG"
  [ $((16#${header:32:8})) -eq "$size" ] && [ $((16#${header:40:8})) -eq "$size" ] || fail "$png is not ${size}x${size}"
done

man_text="$(LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$prefix/share/man/man1/mok.1.gz" 2>/dev/null)"
for word in --input-format --output-format --output-dir --jobs --then 退出状态; do
  grep -q -- "$word" <<<"$man_text" || fail "the man page lacks $word"
done

[ "$("$prefix/bin/mok" --version)" = "mok $(sed -n 's/^project(Mokrin VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")" ] ||
  fail "installed mok reports another version"
printf '=D6=D0=CE=C4' | "$prefix/bin/mok" decode QP-GBK | grep -q "$(printf '\xe4\xb8\xad\xe6\x96\x87')" ||
  fail "installed mok does not decode"
