# bash completion for melvir: commands, the options of each command, and
# their values. Installed as share/bash-completion/completions/melvir.

# The commands, then the options of command $1, one word each (as melvir's
# command table has them; a test compares the two).
_melvir_commands() {
  echo "list info extract check domain mount probe catalog library help"
}

_melvir_options() {
  local tracing="--trace --trace-file" rescuing="--rescue --copy --mapfile --header"
  local options=""
  case $1 in
    list) options="-l --json --charset $tracing --quiet $rescuing" ;;
    info) options="--json --charset $tracing --quiet --mapfile --header" ;;
    extract) options="-n --all --name --slot --cluster --lost --all-lost -o -d --force --ignore-space --name-format --container --subtitles --trim --charset $rescuing --report $tracing --quiet" ;;
    check) options="--json --charset --mapfile --header --find-header $tracing" ;;
    domain) options="--metadata --lost -n --all --slot --cluster $rescuing $tracing --quiet" ;;
    probe) options="-n --all --name --slot --cluster --json --full --rescue --mapfile --header --charset $tracing" ;;
    catalog) options="-n --all --name --slot --cluster -d --full --rescue --mapfile --header --charset" ;;
    library) options="-n --all --name --slot -d --container --as $rescuing --charset $tracing --quiet" ;;
    mount) options="--rescue --mapfile --header --charset --background --allow-other $tracing --quiet" ;;
  esac
  echo "$options --help --version"
}

# Whether option $1 takes the next word as its value.
# Whether option $2 of command $1 takes a value: domain's --lost is a flag.
_melvir_takes_value() {
  case $2 in
    --lost)
      [[ $1 == extract ]]
      return
      ;;
    -n | --name | -o | -d | --charset | --trace-file | --copy | --mapfile | --report | --header | --name-format | --slot | --cluster | --container | --subtitles | --as)
      return 0
      ;;
  esac
  return 1
}

# Files, or with $1 = -d folders only, as completions.
_melvir_files() {
  compopt -o filenames 2> /dev/null
  if [[ $1 == -d ]]; then
    mapfile -t COMPREPLY < <(compgen -d -- "$cur")
  else
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  fi
}

# A word as typed, for test -f: a leading ~/, quotes around it, backslashes.
_melvir_dequote() {
  local w=$1
  # shellcheck disable=SC2088  # the word as typed holds a literal ~
  [[ $w == "~/"* ]] && w=$HOME/${w#"~/"}
  if [[ $w == \'*\' || $w == \"*\" ]]; then
    w=${w:1:${#w}-2}
  else
    w=${w//\\/}
  fi
  printf '%s' "$w"
}

# Recording numbers for -n. Only an image file is listed: running list on a
# device would read a disk (perhaps a failing one) at every Tab.
_melvir_numbers() {
  local -a sources=()
  local i word options_end=0
  # Every word but the one being completed: a SOURCE may follow the options.
  for ((i = 2; i < ${#COMP_WORDS[@]}; i++)); do
    ((i == COMP_CWORD)) && continue
    word=${COMP_WORDS[i]}
    if ((options_end)) || [[ $word != -?* ]]; then
      sources+=("$(_melvir_dequote "$word")")
    elif [[ $word == -- ]]; then
      options_end=1
    elif _melvir_takes_value "${COMP_WORDS[1]}" "$word"; then
      ((i++))
    fi
  done
  ((${#sources[@]})) || return 0
  local source
  for source in "${sources[@]}"; do
    [[ -f $source ]] || return 0
  done
  local numbers
  numbers=$("${COMP_WORDS[0]}" list --json -- "${sources[@]}" 2> /dev/null |
    sed -n 's/.*"index": *\([0-9][0-9]*\).*/\1/p')
  # After a comma or a dash the list goes on: complete the last number only.
  local head=""
  [[ $cur == *[,-]* ]] && head=${cur%"${cur##*[,-]}"}
  mapfile -t COMPREPLY < <(compgen -P "$head" -W "$numbers" -- "${cur#"$head"}")
}

_melvir() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()

  if ((COMP_CWORD == 1)); then
    mapfile -t COMPREPLY < <(compgen -W "$(_melvir_commands) --help --version" -- "$cur")
    return 0
  fi
  local command=${COMP_WORDS[1]}
  if [[ $command == help ]]; then
    ((COMP_CWORD == 2)) && mapfile -t COMPREPLY < <(compgen -W "$(_melvir_commands)" -- "$cur")
    return 0
  fi

  # An option's value.
  case $prev in
    -n)
      _melvir_numbers
      return 0
      ;;
    --charset)
      mapfile -t COMPREPLY < <(compgen -W "ISO-8859-1 ISO-8859-15 CP1252 UTF-8 dvb" -- "$cur")
      return 0
      ;;
    -o)
      _melvir_files
      [[ -z $cur ]] && COMPREPLY+=(-)
      return 0
      ;;
    -d)
      _melvir_files -d
      return 0
      ;;
    --trace-file | --mapfile | --report)
      _melvir_files
      return 0
      ;;
    --copy)
      mapfile -t COMPREPLY < <(compgen -W "2" -- "$cur")
      return 0
      ;;
    --container)
      mapfile -t COMPREPLY < <(compgen -W "ts mkv" -- "$cur")
      return 0
      ;;
    --subtitles)
      mapfile -t COMPREPLY < <(compgen -W "embed srt none" -- "$cur")
      return 0
      ;;
    --as)
      mapfile -t COMPREPLY < <(compgen -W "film show" -- "$cur")
      return 0
      ;;
  esac
  _melvir_takes_value "$command" "$prev" && return 0  # a value nothing can guess

  # An option, unless "--" came before; otherwise a SOURCE.
  local i
  for ((i = 2; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == -- ]] && { _melvir_files; return 0; }
  done
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(_melvir_options "$command")" -- "$cur")
    return 0
  fi
  _melvir_files
}

complete -F _melvir melvir melvir-cli melvir-cli.exe
