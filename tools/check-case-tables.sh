#!/usr/bin/env bash
# Regenerates the case tables into a temporary directory and compares them with the committed
# datatypes/series/case-tables.inc; exits 77 (a skipped test) when python3 or the Debian package
# unicode-data is not installed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
data=/usr/share/unicode
if ! command -v python3 >/dev/null || [[ ! -f $data/UnicodeData.txt || ! -f $data/DerivedAge.txt ]]; then
  echo "python3 or unicode-data is not installed: not compared"
  exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
python3 "$root/tools/gen-case-tables.py" --unicode-dir "$data" --output "$scratch/case-tables.inc"
diff -u "$root/datatypes/series/case-tables.inc" "$scratch/case-tables.inc"
