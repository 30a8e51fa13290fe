#!/usr/bin/env bash
# Runs a freedesktop validator on a file: desktop-file-validate on a desktop entry,
# appstreamcli on a metainfo file (offline: its URLs are not fetched). Hints and pedantic
# notes pass; warnings and errors fail. Skipped (77) with a message where the validator is
# not installed (scripts/install-deps.sh installs both).
set -uo pipefail
tool=$1 file=$2
if ! command -v "$tool" >/dev/null; then
  echo "validate: SKIPPED: $tool is not installed (Debian: desktop-file-utils, appstream)"
  exit 77
fi
case $tool in
  desktop-file-validate) out=$("$tool" "$file" 2>&1); status=$?
    # It exits 0 on warnings too; only hints may remain.
    if [[ $status -eq 0 ]] && grep -qE ': (warning|error):' <<<"$out"; then status=1; fi ;;
  appstreamcli) out=$("$tool" validate --no-net --explain "$file" 2>&1); status=$? ;;
  *) echo "validate: unknown validator $tool" >&2; exit 2 ;;
esac
echo "$out"
if [[ $status -ne 0 ]]; then
  echo "validate: FAIL: $tool found problems in $file"
  exit 1
fi
echo "validate: $tool: $file is valid"
