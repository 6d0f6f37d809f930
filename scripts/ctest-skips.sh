#!/usr/bin/env bash
# Reads the JUnit file of a ctest run (ctest --output-junit FILE) and prints
# one line per test that did not run: "NAME: REASON". The reason is what the
# test said of it: the line after GoogleTest's "Skipped" (GTEST_SKIP() << ...),
# or a line of its own beginning "Skipped:" or "SKIPPED:"; else ctest's note.
# Usage: scripts/ctest-skips.sh FILE
set -euo pipefail
[ -f "$1" ] || exit 0
awk '
  function unxml(s) {
    gsub(/&lt;/, "<", s); gsub(/&gt;/, ">", s); gsub(/&quot;/, "\"", s)
    gsub(/&apos;/, "\047", s); gsub(/&amp;/, "\\&", s); return s
  }
  function flush() {
    if (name != "" && skipped) {
      if (reason == "") reason = note
      print name ": " reason
    }
    name = ""; skipped = 0; reason = ""; note = ""; out = 0; next_is_reason = 0
  }
  /<testcase / {
    flush()
    if (match($0, /name="[^"]*"/)) name = unxml(substr($0, RSTART + 6, RLENGTH - 7))
    skipped = ($0 ~ /status="notrun"/ || $0 ~ /status="disabled"/)
  }
  /<skipped message="/ {
    if (match($0, /message="[^"]*"/)) note = unxml(substr($0, RSTART + 9, RLENGTH - 10))
  }
  /<system-out>/ { out = 1; sub(/.*<system-out>/, "") }
  out {
    line = $0
    if (line ~ /<\/system-out>/) { sub(/<\/system-out>.*/, "", line); out = 0 }
    line = unxml(line)
    if (reason == "") {
      if (next_is_reason && line != "") reason = line
      else if (line ~ /: Skipped$/) next_is_reason = 1
      else if (line ~ /^([Ss]kipped|SKIPPED): /) { sub(/^([Ss]kipped|SKIPPED): /, "", line); reason = line }
    }
  }
  /<\/testcase>/ { flush() }
  END { flush() }
' "$1"
