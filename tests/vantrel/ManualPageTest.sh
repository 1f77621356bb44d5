#!/usr/bin/env bash
# The manual page against the program, so the two cannot drift apart: every
# option `--help` prints must be in the page's SYNOPSIS and have an entry of
# its own in OPTIONS, and every entry in OPTIONS must be an option `--help`
# prints. Reads the page's roff source (as written, or installed and gzipped).
#   ManualPageTest.sh <Vantrel> <vantrel.6[.in|.gz]>
# Needs no display: --help ends the program before any window opens.
set -uo pipefail

game=$1 page=$2
fail() { echo "FAIL: $*"; exit 1; }

help=$("$game" --help) || fail "--help exit status $?"
# The options as --help lists them: "  --name [ARGUMENT]  what it does".
mapfile -t options < <(grep -oE '^  --[a-z][a-z0-9-]*' <<<"$help" | sed 's/^ *//')
((${#options[@]} > 0)) || fail "--help listed no option in the form '  --name': $help"

[[ -r $page ]] || fail "no manual page at $page"
if [[ $page == *.gz ]]; then source=$(gzip -dc "$page") || fail "cannot unpack $page"
else source=$(cat "$page"); fi
# Plain text of the roff: "\-" is a minus, "\%" and font changes ("\fB") go.
text=$(sed -e 's/\\-/-/g' -e 's/\\%//g' -e 's/\\f[BIRP]//g' <<<"$source")
# The lines of one section, from ".SH NAME" to the next ".SH".
section() { awk -v name="$1" '/^\.SH/ { inside = ($2 == name); next } inside' <<<"$text"; }
synopsis=$(section SYNOPSIS)
# The entries of OPTIONS: the line after each ".TP" is the entry's head.
entries=$(section OPTIONS | awk 'head { print; head = 0 } /^\.TP/ { head = 1 }' |
          grep -oE -- '--[a-z][a-z0-9-]*' | sort -u)
[[ -n $synopsis ]] || fail "the manual page has no SYNOPSIS section"
[[ -n $entries ]] || fail "the manual page's OPTIONS section has no entry for an option"

missing=0
for option in "${options[@]}"; do
    grep -qE -- "(^|[^a-z-])$option([^a-z0-9-]|\$)" <<<"$synopsis" ||
        { echo "--help prints $option, the manual's SYNOPSIS does not name it"; missing=1; }
    grep -qxF -- "$option" <<<"$entries" ||
        { echo "--help prints $option, the manual's OPTIONS has no entry for it"; missing=1; }
done
for entry in $entries; do
    printf '%s\n' "${options[@]}" | grep -qxF -- "$entry" ||
        { echo "the manual's OPTIONS describes $entry, which --help does not print"; missing=1; }
done
((missing == 0)) || fail "the manual page $page and --help disagree"
echo "PASS: ${#options[@]} options in --help and in the manual page: ${options[*]}"
