#!/usr/bin/env bash
# Completes command lines with the bash completion script given as $1, in a
# folder of a few files, and compares the words offered with the expected ones.
set -u
source "$1" || exit 1
root=$(mktemp -d) && errors=$(mktemp) && cd "$root" || exit 1
trap 'rm -rf "$root" "$errors"' EXIT
mkdir sub && touch a.lvl b.LVL notes.txt tiles.bmp x=y.bmp
failures=0

# check EXPECTED WORD...: the last WORD is the one being completed.
check() {
  local expected=$1; shift
  # In a subshell, since a glob that fails under failglob ends the command.
  local got=$(
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMPREPLY=()
    "$(complete -p "$1" | sed 's/.* -F \([^ ]*\) .*/\1/')" 2>"$errors"
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' ')
  if [[ -s $errors ]]; then
    echo "FAIL: '$*' prints '$(<"$errors")'"
    failures=$((failures + 1))
  elif [[ $got != "$expected" ]]; then
    echo "FAIL: '$*' offers '$got', not '$expected'"
    failures=$((failures + 1))
  fi
}

check '--help -h' mapgraft -
check 'a.lvl b.LVL sub' mapgraft ''
check '' mapgraft a.lvl ''
check 'a.lvl b.LVL notes.txt sub tiles.bmp x=y.bmp' mapgraft a.lvl ATTR ''
check '--get' mapgraft-inspect --g
check '' mapgraft-inspect --get ''
check 'a.lvl b.LVL sub' mapgraft-inspect --get NAME ''
check 'a.lvl b.LVL notes.txt sub tiles.bmp x=y.bmp' mapgraft-inspect --json -o ''
check '--verbose --version' mapgraft-edit --ver
check '--recursive --remove --remove-type --replace' mapgraft-edit --re
check 'notes.txt' mapgraft-edit --import n
check '--backup' mapgraft-edit --ba
check 'notes.txt' mapgraft-edit --copy-from n
check '--csv' mapgraft-inspect --cs
check '' mapgraft-edit --add ''
check 'notes.txt' mapgraft-edit --add ATTR n
check 'a.lvl b.LVL sub' mapgraft-edit --add ATTR notes.txt ''
check 'a.lvl b.LVL sub' mapgraft-edit --set NAME=Arena -nv ''
check 'tiles.bmp' mapgraft-edit -no t
check 'tiles.bmp' mapgraft-edit --output = t
check 'y.bmp' mapgraft-edit --output = x = ''
check 'a.lvl b.LVL sub' mapgraft-edit --output = out.lvl ''
check 'a.lvl b.LVL sub' mapgraft-edit --replace 0 notes.txt --set = K = V -- ''
check '' mapgraft-edit --set NAME = ''
check 'y.bmp' mapgraft-edit --tileset x = ''
check '' mapgraft-edit -- --v

# Names that are globs or need quoting are offered as they are, never
# expanded, whatever the shell's glob options; the word being completed is
# taken as typed, quotes and all.
mkdir "$root/odd" && cd "$root/odd" || exit 1
touch '[x].lvl' x.lvl '[z].lvl' 'q*.lvl' q1.lvl 'a b.lvl' "it's.lvl" 'say"hi".lvl' 't*.bmp'
for option in '' nullglob failglob; do
  [[ -n $option ]] && shopt -s $option
  check '[x].lvl [z].lvl' mapgraft '['
  check 'q*.lvl q1.lvl' mapgraft q
  check 'q*.lvl' mapgraft-inspect 'q*'
  check 'a b.lvl' mapgraft-edit 'a\ '
  check 'a b.lvl' mapgraft-edit "'a "
  check "it's.lvl" mapgraft "it\\'"
  check 'say"hi".lvl' mapgraft '"say\"'
  check 't*.bmp' mapgraft-edit --tileset 't'
  [[ -n $option ]] && shopt -u $option
done
exit $((failures > 0))
