#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the tree a desktop
# needs: both programs, the menu entry (desktop-file-validate), the icon as
# SVG and in every PNG size, the man pages, the copyright files and changelogs.
#
# With "deb" as second argument it checks the Debian packages instead, made as
# a packager makes them: from a Release configuration of the same source in
# BUILD_DIR/debian-release (built there with the compiler launcher of
# BUILD_DIR, so ccache serves repeated runs). Each package must hold its own
# files and no other's, name the libraries it links (mok no Qt), carry
# hardened, stripped, dynamically linked programs, and pass lintian without
# errors or warnings.
# Usage: installed_tree.sh BUILD_DIR [deb]
set -euo pipefail
build="$1"
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "installed_tree: $*" >&2; exit 1; }

project_version="$(sed -n 's/^project(Mokrin VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")"
sizes=(16 24 32 48 64 128 256)
# The files of each package, below usr/.
declare -A files
files[mok]="bin/mok share/man/man1/mok.1.gz"
files[mokrin]="bin/mokrin share/applications/mokrin.desktop share/icons/hicolor/scalable/apps/mokrin.svg
  share/man/man1/mokrin.1.gz"
for size in "${sizes[@]}"; do
  files[mokrin]+=" share/icons/hicolor/${size}x${size}/apps/mokrin.png"
done
for package in mok mokrin; do
  files[$package]+=" share/doc/$package/copyright share/doc/$package/changelog.Debian.gz
    share/lintian/overrides/$package"
done

# check_copyright FILE: the machine-readable format, the project's licence,
# and every package the repair model was made from.
check_copyright() {
  local text
  text="$(tr '\n' ' ' <"$1" | tr -s ' ')"
  grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' "$1" ||
    fail "$1 is not in the machine-readable format"
  grep -qF "Copyright: $(sed -n 's/^Copyright (c) //p' "$source_dir/LICENSE")" "$1" || fail "$1 lacks the project's copyright"
  grep -q '^License: Expat$' "$1" || fail "$1 lacks the project's licence"
  grep -qF "$(sed -n '/^Permission/{n;p;q}' "$source_dir/LICENSE")" "$1" || fail "$1 lacks the licence text"
  # The package column of the sources table: the third cell of each row.
  local packages source
  packages="$(awk -F' *[|] *' '/^[|]/ { table = 1; if (++row > 2) print $4; next } table { exit }' \
    "$source_dir/repair/model/SOURCES.md")"
  [ -n "$packages" ] || fail "no sources read from repair/model/SOURCES.md"
  while read -r source; do
    grep -qF -- "$source" <<<"$text" || fail "$1 does not name the model's source $source"
  done <<<"$packages"
  grep -qF '/usr/share/common-licenses/GPL-2' "$1" || fail "$1 does not point to the GPL's text"
}

# check_changelog FILE.gz VERSION: a Debian changelog whose newest entry is VERSION.
check_changelog() {
  local version
  version="$(gzip -dc "$1" | dpkg-parsechangelog -l - -S Version)" || fail "$1 is no Debian changelog"
  [ "$version" = "$2" ] || fail "$1: newest entry $version, expected $2"
}

if [ "${2:-}" = deb ]; then
  release="$build/debian-release"
  launcher="$(sed -n 's/^CMAKE_CXX_COMPILER_LAUNCHER:[A-Z]*=//p' "$build/CMakeCache.txt")"
  cmake -S "$source_dir" -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOK_TESTS=OFF \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" >"$tmp/configure.log" 2>&1 ||
    { cat "$tmp/configure.log" >&2; fail "configuring the Release build failed"; }
  cmake --build "$release" --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" >"$tmp/build.log" 2>&1 || { tail -n 50 "$tmp/build.log" >&2; fail "the Release build failed"; }
  (cd "$tmp" && cpack -G DEB --config "$release/CPackConfig.cmake" -B "$tmp/debs" >"$tmp/cpack.log" 2>&1) ||
    { cat "$tmp/cpack.log" >&2; fail "cpack failed"; }

  # Every source file was compiled with the hardening flags.
  for flag in -fstack-protector-strong -D_FORTIFY_SOURCE=2 -Werror=format-security; do
    unhardened="$(grep '"command"' "$release/compile_commands.json" | grep -v -e "$flag" | head -n 1 || true)"
    [ -z "$unhardened" ] || fail "compiled without $flag: $unhardened"
  done

  changelog_version="$(dpkg-parsechangelog -l "$source_dir/packaging/changelog" -S Version)"
  [ "${changelog_version%-*}" = "$project_version" ] ||
    fail "packaging/changelog's newest entry is $changelog_version; the project is at $project_version"
  for package in mok mokrin; do
    deb="$(ls "$tmp/debs/${package}_"*.deb 2>/dev/null)" || fail "no package $package"
    [ "$(dpkg-deb -f "$deb" Package)" = "$package" ] || fail "$deb: package name"
    [ "$(dpkg-deb -f "$deb" Version)" = "$changelog_version" ] || fail "$deb: version $(dpkg-deb -f "$deb" Version)"
    # Its files, exactly.
    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\/usr\//, "", $6); print $6 }' | sort >"$tmp/has"
    tr -s ' \n' '\n\n' <<<"${files[$package]}" | sed '/^$/d' | sort >"$tmp/wants"
    diff -u "$tmp/wants" "$tmp/has" >&2 || fail "$deb holds other files than expected (- missing, + extra)"

    mkdir "$tmp/$package"
    dpkg-deb -x "$deb" "$tmp/$package"
    program="$tmp/$package/usr/bin/$package"
    # (Read whole first: grep -q would end a pipe early, failing it.)
    segments="$(readelf -lW "$program")"
    dynamic="$(readelf -dW "$program")"
    symbols="$(readelf --dyn-syms -W "$program")"
    sections="$(readelf -SW "$program")"
    grep -q 'INTERP' <<<"$segments" || fail "$package is not dynamically linked"
    grep -q 'GNU_RELRO' <<<"$segments" || fail "$package has no read-only relocations"
    grep -q 'FLAGS.*BIND_NOW' <<<"$dynamic" || fail "$package does not bind at start"
    grep -q 'FLAGS_1.*PIE' <<<"$dynamic" || fail "$package is not position-independent"
    grep -q '__stack_chk_fail' <<<"$symbols" || fail "$package has no stack protector"
    ! grep -q -e '\.symtab' -e '\.debug_' <<<"$sections" || fail "$package is not stripped"
    check_copyright "$tmp/$package/usr/share/doc/$package/copyright"
    check_changelog "$tmp/$package/usr/share/doc/$package/changelog.Debian.gz" "$changelog_version"
  done
  [ "$("$tmp/mok/usr/bin/mok" --version)" = "mok $project_version" ] || fail "the packaged mok reports another version"

  mok_depends="$(dpkg-deb -f "$tmp/debs/mok_"*.deb Depends)"
  grep -q '\blibicu[0-9]' <<<"$mok_depends" || fail "mok's Depends lacks ICU: $mok_depends"
  ! grep -qi 'qt' <<<"$mok_depends" || fail "mok depends on Qt: $mok_depends"
  mokrin_depends="$(dpkg-deb -f "$tmp/debs/mokrin_"*.deb Depends)"
  for package in libc6 'libicu[0-9]+' libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins; do
    grep -Eq "(^|, )$package( |,|\$)" <<<"$mokrin_depends" || fail "mokrin's Depends lacks $package: $mokrin_depends"
  done
  grep -q 'fonts-noto-cjk' <<<"$(dpkg-deb -f "$tmp/debs/mokrin_"*.deb Recommends)" || fail "mokrin recommends no CJK font"

  # The Python module: its files, its interpreter, and it imports from the
  # package's folder with Debian's python3.
  python_deb="$(ls "$tmp/debs/python3-mokrin_"*.deb 2>/dev/null)" || fail "no package python3-mokrin"
  dpkg-deb -c "$python_deb" | awk '$1 !~ /^d/ { sub(/^\.\/usr\//, "", $6); print $6 }' | sort >"$tmp/has"
  for path in lib/python3/dist-packages/mokrin/__init__.py lib/python3/dist-packages/mokrin/dask.py \
      share/doc/python3-mokrin/copyright share/doc/python3-mokrin/changelog.Debian.gz \
      share/lintian/overrides/python3-mokrin; do
    grep -qx "$path" "$tmp/has" || fail "python3-mokrin lacks /usr/$path"
  done
  grep -q '^lib/python3/dist-packages/mokrin/_mokrin\.cpython-[0-9]*-.*\.so$' "$tmp/has" ||
    fail "python3-mokrin lacks the extension"
  [ "$(wc -l <"$tmp/has")" -eq 6 ] || fail "python3-mokrin holds other files: $(cat "$tmp/has")"
  python_depends="$(dpkg-deb -f "$python_deb" Depends)"
  for package in 'python3 \(>= 3\.[0-9]+~\)' 'python3 \(<< 3\.[0-9]+\)' 'libicu[0-9]+' libc6; do
    grep -Eq "(^|, )$package( |,|\$)" <<<"$python_depends" || fail "python3-mokrin's Depends lacks $package: $python_depends"
  done
  mkdir "$tmp/python3-mokrin"
  dpkg-deb -x "$python_deb" "$tmp/python3-mokrin"
  (cd "$tmp" && PYTHONPATH="$tmp/python3-mokrin/usr/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -c '
import mokrin
assert mokrin.repair(mokrin.reinterpret("中文乱码的修复", "Utf8", "GB")) == "中文乱码的修复"') ||
    fail "the packaged module does not import or repair"
  check_copyright "$tmp/python3-mokrin/usr/share/doc/python3-mokrin/copyright"
  check_changelog "$tmp/python3-mokrin/usr/share/doc/python3-mokrin/changelog.Debian.gz" "$changelog_version"

  # lintian on every package the build makes, overrides applied (each
  # package ships its own): any error or warning fails.
  for deb in "$tmp/debs/"*.deb; do
    status=0
    lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$tmp/lintian.log" 2>&1 || status=$?
    if [ "$status" -ne 0 ] || grep -q '^[EW]: ' "$tmp/lintian.log"; then
      cat "$tmp/lintian.log" >&2
      fail "lintian fails $(basename "$deb") (exit status $status)"
    fi
  done
  exit 0
fi

prefix="$tmp/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
for package in mok mokrin; do
  for path in ${files[$package]}; do
    [ -f "$prefix/$path" ] || fail "missing $path"
  done
  check_copyright "$prefix/share/doc/$package/copyright"
  check_changelog "$prefix/share/doc/$package/changelog.Debian.gz" \
    "$(dpkg-parsechangelog -l "$source_dir/packaging/changelog" -S Version)"
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
man_text="$(LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$prefix/share/man/man1/mokrin.1.gz" 2>/dev/null)"
for word in 'mokrin \[文件\]' 'mokrin -- 文件' '~/.config/MOK/MOK.ini' 'mok(1)'; do
  grep -q -- "$word" <<<"$man_text" || fail "mokrin's man page lacks $word"
done

[ "$("$prefix/bin/mok" --version)" = "mok $project_version" ] || fail "installed mok reports another version"
printf '=D6=D0=CE=C4' | "$prefix/bin/mok" decode QP-GBK | grep -q "$(printf '\xe4\xb8\xad\xe6\x96\x87')" ||
  fail "installed mok does not decode"
