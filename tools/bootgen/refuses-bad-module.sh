#!/usr/bin/env bash
# refuses-bad-module.sh: a library module the lexer refuses fails the generator, which names the
# module and writes no image.
# Usage: refuses-bad-module.sh QEL-BOOTGEN SOURCE-ROOT
set -uo pipefail
generator=$1
root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root" "$work/out"
cp -r "$root/boot" "$work/root/"
echo 'unclosed: [1 2' >> "$work/root/boot/aliases.qel"
if "$generator" "$work/root" "$work/out" "$work/out/boot-image.d" "$work/root/boot/unset-words" \
    "$work/root/boot/manifest" 2> "$work/errors"; then
  echo "the generator accepted a module with a syntax error"
  exit 1
fi
grep -q "qel-bootgen: boot/aliases.qel: \*\*\* Syntax Error" "$work/errors" || { cat "$work/errors"; exit 1; }
test ! -e "$work/out/boot.qelbin" || { echo "an image was written"; exit 1; }
