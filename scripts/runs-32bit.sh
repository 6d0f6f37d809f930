#!/usr/bin/env bash
# Says whether this machine runs 32-bit x86 programs, without any i386
# package: it writes a 96-byte static ELF32 program that only calls exit(42)
# through int 0x80 and starts it. Exit status 0 when it ran; otherwise 1, with
# the reason on standard output.
# QUARNEL_NO_32BIT=1 answers "no" on any machine (tests, or to skip wine32).
set -uo pipefail
if [ "${QUARNEL_NO_32BIT:-0}" = 1 ]; then
  echo "QUARNEL_NO_32BIT=1 is set"
  exit 1
fi
case "$(uname -m)" in
  x86_64 | i?86) ;;
  *) echo "this machine is $(uname -m), not x86"; exit 1 ;;
esac
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# ELF header (52 bytes), one loadable segment at 0x08048000 (32 bytes), then
# mov eax,1; mov ebx,42; int 0x80.
printf '%b' \
  '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
  '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
  '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
  '\x00\x00\x00\x00' \
  '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
  '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
  '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$dir/probe32"
chmod +x "$dir/probe32"
out=$("$dir/probe32" 2>&1)
status=$?
if [ $status -eq 42 ]; then
  exit 0
fi
echo "this machine cannot run 32-bit programs (a 32-bit test program exited with $status${out:+: $out})"
exit 1
