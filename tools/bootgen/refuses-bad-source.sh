#!/usr/bin/env bash
# refuses-bad-source.sh: a library source the generator cannot take (a module the lexer refuses, a
# merge conflict left in a module or in the allow-list of unset words) fails the generator, which
# names the file and writes no image.
# Usage: refuses-bad-source.sh QEL-BOOTGEN SOURCE-ROOT
set -uo pipefail
generator=$1
root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Each case: the file spoiled, the lines appended to it (\n between them), what the generator says.
cases=(
  'boot/aliases.qel|unclosed: [1 2|qel-bootgen: boot/aliases.qel: \*\*\* Syntax Error'
  'boot/aliases.qel|<<<<<<< HEAD\nx: 1\n=======\nx: 2\n>>>>>>> topic|qel-bootgen: boot/aliases.qel:[0-9]*: a merge conflict marker'
  'boot/unset-words|<<<<<<< HEAD\nask\n=======\nhalt\n>>>>>>> topic|boot/unset-words:[0-9]*: a merge conflict marker'
)
status=0
for row in "${cases[@]}"; do
  IFS='|' read -r file lines expected <<< "$row"
  rm -rf "$work/root" "$work/out"
  mkdir -p "$work/root" "$work/out"
  cp -r "$root/boot" "$work/root/"
  printf '%b\n' "$lines" >> "$work/root/$file"
  if "$generator" "$work/root" "$work/out" "$work/out/boot-image.d" "$work/root/boot/unset-words" \
      "$work/root/boot/manifest" 2> "$work/errors"; then
    echo "the generator accepted $file with: $lines"
    status=1
  elif ! grep -q "$expected" "$work/errors"; then
    echo "for $file, expected: $expected"
    cat "$work/errors"
    status=1
  fi
  test ! -e "$work/out/boot.qelbin" || { echo "an image was written for $file"; status=1; }
done
exit $status
