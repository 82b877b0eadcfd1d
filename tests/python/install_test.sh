#!/bin/sh
# Installs the build tree into a temporary prefix and imports omtree from
# there, checking that the extension module and the libraries it loads
# come from the prefix, not from the build tree.
#
#   install_test.sh CMAKE BUILD_DIR PYTHON3 SITE_DIR (relative to the prefix)
set -eu
cmake=$1
build=$2
python=$3
site=$4
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
cd "$prefix"
PYTHONPATH="$prefix/$site" "$python" - "$prefix" <<'PYTHON'
import sys

import omtree

prefix = sys.argv[1]
assert omtree._core.__file__.startswith(prefix), omtree._core.__file__
libraries = {line.split()[-1] for line in open("/proc/self/maps") if "libomtree.so" in line}
assert libraries and all(path.startswith(prefix) for path in libraries), libraries
doc = omtree.Document()
table = doc.add_table("t")
table.add_dimension("d", ["a"])
table["a"] = 1
assert "a" in doc.to_text()
print("omtree imported from the installation")
PYTHON
