#!/usr/bin/env bash
# Prints the rows of docs/corners.md's table from the corner corpus and the table its test prints:
#   build/bin/veltora_tests --gtest_filter='EdgesCorpus.*' | scripts/corners-table.sh
set -euo pipefail

corpus=${1:-$(dirname "$0")/../tests/data/corners/corpus.json}
readings=$(mktemp)
trap 'rm -f "$readings"' EXIT
grep -E '^\[ corpus x[0-9.]+ \] ' >"$readings" || true
if [[ ! -s "$readings" ]]; then
  echo "veltora: no corpus readings on standard input (pipe the EdgesCorpus test's output in)" >&2
  exit 1
fi

jq -r '.cases[] | [.id, (.photo | sub("^[^:]*:"; "")), (.kind // ""), (if .refuse then "" else "\(.truth) \(.u)" end)] | @tsv' \
  "$corpus" |
  awk -F'\t' -v readings="$readings" '
    BEGIN {
      # The finder says why it refused by number; the page says it in words.
      why[1] = "no corner"; why[2] = "corner too far"; why[3] = "edge bends"
      why[4] = "edge too short"; why[5] = "edge too faint"; why[6] = "two corners"
      while ((getline line < readings) > 0) {
        scale = line; sub(/^\[ corpus x/, "", scale); sub(/ .*/, "", scale)
        rest = line; sub(/^\[ corpus x[0-9.]+ \] /, "", rest)
        id = rest; sub(/ .*/, "", id)
        rest = substr(rest, length(id) + 1); sub(/^ +/, "", rest)
        if (rest ~ /^refuse /) {
          cell = (rest ~ /READ/) ? "read (WRONG)" : "refused"
        } else {
          sub(/^[0-9.]+ ± [0-9.]+ +/, "", rest)
          if (rest ~ /^refused \(/) {
            n = rest; sub(/^refused \(/, "", n); sub(/,.*/, "", n)
            cell = "refused: " ((n in why) ? why[n] : "reason " n)
          } else {
            wrong = rest ~ /WRONG/
            sub(/ +WRONG$/, "", rest); sub(/ +$/, "", rest)
            cell = rest (wrong ? " **wrong**" : "")
          }
        }
        at[id, scale] = cell
        scales[scale] = 1
      }
    }
    {
      id = $1
      if ($4 == "") {
        truth = "beside a corner"
      } else {
        split($4, t, " ")
        truth = sprintf("%.2f ± %.2f", t[1], t[2])
      }
      row = "| " id " | " $2 " | " $3 " | " truth
      for (s = 1; s <= 3; s++) {
        scale = (s == 1) ? "1.0" : (s == 2) ? "1.7" : "2.5"
        row = row " | " (((id, scale) in at) ? at[id, scale] : "not run")
      }
      print row " |"
    }'
