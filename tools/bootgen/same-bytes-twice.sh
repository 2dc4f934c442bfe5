#!/usr/bin/env bash
# same-bytes-twice.sh: runs the boot image generator twice, from two output folders, and
# requires identical outputs: nothing it writes may depend on time, hashing, pointers or paths.
# Usage: same-bytes-twice.sh QEL-BOOTGEN SOURCE-ROOT
set -euo pipefail
generator=$1
root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for run in first second; do
  mkdir -p "$work/$run"
  "$generator" "$root" "$work/$run" "$work/$run/boot-image.d" "$root/boot/unset-words" "$root/boot/manifest"
done
cmp "$work/first/boot.qelbin" "$work/second/boot.qelbin"
cmp "$work/first/boot-image.cpp" "$work/second/boot-image.cpp"
