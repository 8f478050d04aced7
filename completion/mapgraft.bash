# bash completion for mapgraft, mapgraft-inspect and mapgraft-edit.
# Installed once under each program's name, so whichever of the three is
# completed first defines all of them. It needs nothing but bash itself.

# The kinds of the arguments an option takes, one word each, or nothing for
# an option without arguments.
_mapgraft_inspect_arguments() {
  case $1 in
    --get) echo key ;;
    -o | --output) echo file ;;
  esac
}
_mapgraft_edit_arguments() {
  case $1 in
    --add) echo type file ;;
    --set) echo key=value ;;
    --unset) echo key ;;
    --remove) echo index ;;
    --remove-type) echo type ;;
    --replace) echo index file ;;
    --tileset | -o | --output | --import | --copy-from) echo file ;;
  esac
}

# The command line's words after the program's name, up to the one being
# completed, as typed: bash splits --output=x.lvl into three words at '='.
# Fills the caller's array "words".
_mapgraft_words() {
  local i word glue=
  words=()
  for ((i = 1; i <= COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ ($word == = || -n $glue) && ${#words[@]} -gt 0 ]]; then
      words[-1]+=$word
    else
      words+=("$word")
    fi
    [[ $word == = ]] && glue=1 || glue=
  done
}

# The word as the shell will pass it, for a word typed with backslashes or
# quotes, open or closed, as "a\ b" or "'a b": sets REPLY.
_mapgraft_dequote() {
  local word=$1 quote= c i
  REPLY=
  for ((i = 0; i < ${#word}; i++)); do
    c=${word:i:1}
    if [[ $quote == "'" ]]; then
      [[ $c == "'" ]] && quote= || REPLY+=$c
    elif [[ $c == '\' && ( -z $quote || ${word:i+1:1} == [\$\`\"\\] ) ]]; then
      ((++i)); REPLY+=${word:i:1}
    elif [[ $c == "$quote" ]]; then
      quote=
    elif [[ -z $quote && ( $c == "'" || $c == '"' ) ]]; then
      quote=$c
    else
      REPLY+=$c
    fi
  done
}

# Fills COMPREPLY with the words of a kind that begin with $2. Readline
# replaces only what follows the last '=', so that much is offered. File
# names are read line by line rather than split from a command's output, so
# that no name is taken as a glob; readline quotes them as it inserts them.
_mapgraft_offer() {
  local IFS=$'\n' text=$2 REPLY
  case $1 in
    map)
      # Folders to descend into, and maps, whatever the case of .lvl.
      _mapgraft_dequote "$text"; text=$REPLY
      mapfile -t COMPREPLY < <(compgen -d -- "$text"; compgen -f -X '!*.[lL][vV][lL]' -- "$text")
      compopt -o filenames 2>/dev/null ;;
    file)
      _mapgraft_dequote "$text"; text=$REPLY
      mapfile -t COMPREPLY < <(compgen -f -- "$text")
      compopt -o filenames 2>/dev/null ;;
    option) mapfile -t COMPREPLY < <(compgen -W "${3// /$'\n'}" -- "$text") ;;
    *) COMPREPLY=() ;;
  esac
  [[ $text == *=* ]] && COMPREPLY=("${COMPREPLY[@]#"${text%=*}="}")
}

# GNU conventions: options anywhere until "--", --opt=value, grouped short
# options whose last one may take the next word. Words that are neither
# options nor their arguments are maps.
# $1: the function that names an option's arguments; $2: the options.
_mapgraft_complete_options() {
  local arguments_of=$1 options=$2 word letter i j ended=
  local -a words kinds pending=()
  _mapgraft_words
  local cur=${words[-1]}
  for word in "${words[@]:0:${#words[@]}-1}"; do
    if ((${#pending[@]})); then pending=("${pending[@]:1}"); continue; fi
    [[ -n $ended || $word != -?* ]] && continue
    if [[ $word == -- ]]; then ended=1; continue; fi
    if [[ $word == --* ]]; then
      kinds=($($arguments_of "${word%%=*}"))
      [[ $word == *=* ]] && kinds=("${kinds[@]:1}")
      pending=("${kinds[@]}")
      continue
    fi
    for ((j = 1; j < ${#word}; j++)); do
      kinds=($($arguments_of "-${word:j:1}"))
      if ((${#kinds[@]})); then
        # The rest of the group, if any, is the first argument.
        ((j + 1 < ${#word})) && kinds=("${kinds[@]:1}")
        pending=("${kinds[@]}")
        break
      fi
    done
  done
  if ((${#pending[@]})); then
    _mapgraft_offer "${pending[0]}" "$cur"
  elif [[ -n $ended || $cur != -* ]]; then
    _mapgraft_offer map "$cur"
  elif [[ $cur == --*=* ]]; then
    kinds=($($arguments_of "${cur%%=*}"))
    _mapgraft_offer "${kinds[0]:-none}" "${cur#*=}"
  else
    _mapgraft_offer option "$cur" "$options"
  fi
}

_mapgraft_inspect() {
  _mapgraft_complete_options _mapgraft_inspect_arguments \
    "--json --csv --tileset --get --keys -r --recursive --progress --no-progress -o --output -h --help --version"
}
_mapgraft_edit() {
  _mapgraft_complete_options _mapgraft_edit_arguments \
    "--add --set --unset --remove --remove-type --replace --tileset --copy-from --import -r --recursive --progress --no-progress -n --dry-run -o --output -b --backup --force -v --verbose -q --quiet -h --help --version"
}

# mapgraft takes a map, then a chunk type and the file of its data; an
# option is only ever its first argument.
_mapgraft() {
  local -a words
  _mapgraft_words
  local cur=${words[-1]}
  case ${#words[@]} in
    1) if [[ $cur == -* ]]; then _mapgraft_offer option "$cur" "-h --help"; else _mapgraft_offer map "$cur"; fi ;;
    3) _mapgraft_offer file "$cur" ;;
    *) COMPREPLY=() ;;
  esac
}

complete -F _mapgraft mapgraft
complete -F _mapgraft_inspect mapgraft-inspect
complete -F _mapgraft_edit mapgraft-edit
