#!/usr/bin/env bash
# Installs the build with cmake --install and imports the Python module from
# where it went, with Debian's python3: under the default prefix /usr/local
# into the folder that interpreter reads local modules from, under /usr
# (the packages' prefix) into /usr/lib/python3/dist-packages.
# Usage: python_module.sh BUILD_DIR
set -euo pipefail
build="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "python_module: $*" >&2; exit 1; }
python=/usr/bin/python3
# A module built with AddressSanitizer needs its runtime (and the C++
# library, whose exceptions it intercepts) loaded before the interpreter.
if grep -q '^MOK_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
  compiler="$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")"
  export LD_PRELOAD="$("$compiler" -print-file-name=libasan.so) $("$compiler" -print-file-name=libstdc++.so)"
  export ASAN_OPTIONS=detect_leaks=0
fi
version_dir="lib/python$("$python" -c 'import sys; print(f"{sys.version_info[0]}.{sys.version_info[1]}")')/dist-packages"

# import_from SITE: the package imports from SITE alone and repairs.
import_from() {
  (cd "$tmp" && PYTHONPATH="$1" PYTHONDONTWRITEBYTECODE=1 "$python" -c '
import sys, mokrin, mokrin.dask
assert mokrin.__file__.startswith(sys.argv[1]), mokrin.__file__
garbled = mokrin.reinterpret("中文乱码的修复", "Utf8", "GB")
assert mokrin.repair(garbled) == "中文乱码的修复"
' "$1") || fail "the module installed in $1 does not import or repair"
}

cmake --install "$build" --prefix "$tmp/local" --component python3-mokrin >/dev/null
for file in __init__.py dask.py; do
  [ -f "$tmp/local/$version_dir/mokrin/$file" ] || fail "missing $version_dir/mokrin/$file"
done
ls "$tmp/local/$version_dir/mokrin/"_mokrin.cpython-*.so >/dev/null || fail "missing the extension in $version_dir/mokrin"
import_from "$tmp/local/$version_dir"
# For the default prefix that folder is one Debian's python3 searches.
"$python" -c 'import sys; sys.exit(sys.argv[1] not in sys.path)' "/usr/local/$version_dir" ||
  fail "/usr/local/$version_dir is not in $python's path"

DESTDIR="$tmp/staged" cmake --install "$build" --prefix /usr --component python3-mokrin >/dev/null
site="$tmp/staged/usr/lib/python3/dist-packages"
[ -f "$site/mokrin/__init__.py" ] || fail "under /usr the package is not in lib/python3/dist-packages"
import_from "$site"
"$python" -c 'import sys; sys.exit("/usr/lib/python3/dist-packages" not in sys.path)' ||
  fail "/usr/lib/python3/dist-packages is not in $python's path"
