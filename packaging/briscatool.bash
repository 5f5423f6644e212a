# bash completion for briscatool: the subcommands, and each subcommand's options as its own
# --help lists them, so the completion never falls behind the program.
_briscatool() {
  local cur prev words cword
  _init_completion || return
  local cmd="" i
  for ((i = 1; i < cword; i++)); do
    if [[ ${words[i]} != -* ]]; then
      cmd=${words[i]}
      break
    fi
  done
  local commands
  commands=$("${words[0]}" --help 2>/dev/null | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p')
  if [[ -z $cmd ]]; then
    if [[ $cur == -* ]]; then
      COMPREPLY=($(compgen -W '--help --version' -- "$cur"))
    else
      COMPREPLY=($(compgen -W "$commands" -- "$cur"))
      _filedir
    fi
    return
  fi
  case $prev in
    -o | --output | --template)
      _filedir
      return
      ;;
    -d | --dir)
      _filedir -d
      return
      ;;
    --midi-in | --midi-out | --audio-out | --seconds | --count | --name | --type | --rate)
      return
      ;;
  esac
  if [[ $cur == -* ]]; then
    local options
    options=$("${words[0]}" "$cmd" --help 2>/dev/null | grep -oE -- '(^|[ ,])--?[a-zA-Z][a-zA-Z-]*' | tr -d ' ,' | sort -u)
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  else
    _filedir
  fi
} && complete -F _briscatool briscatool
