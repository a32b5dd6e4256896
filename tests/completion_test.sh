#!/usr/bin/env bash
# The bash completion offers every option that build/slidemill -usage lists,
# so a new option cannot be left out, and completes the values it knows.
source "$(dirname "$0")/shell_checks.sh"
source "$root/build/slidemill-completion"
mkdir "$s/photos" && touch "$s/photo.log"
# offered WORDS...: what completing the last word offers, sorted, one line.
offered() {
  COMP_WORDS=(slidemill "$@") && COMP_CWORD=$#
  _slidemill
  ((${#COMPREPLY[@]})) && printf '%s ' $(printf '%s\n' "${COMPREPLY[@]}" | sort)
}

usage=$("$root/build/slidemill" -usage | grep -o '^-[a-z0-9-]*')
[ "$(wc -l <<<"$usage")" -ge 20 ] || fail "the usage lists too few options"
for option in $usage; do
  [[ " $(offered '') " == *" $option "* ]] || fail "$option is not offered"
done
while IFS='|' read -r want words; do
  got=$(offered $words)
  [ "$got" = "$want" ] || fail "slidemill $words: offered '$got'"
done <<END
-encoder |-enc
mencoder |-encoder m
$s/photos |-dir $s/p
$s/photo.log $s/photos |-log-path $s/p
|-video-filename $s/p
END
finish "completion"
