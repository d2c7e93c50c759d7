# bash completion for quillon-cli

_quillon_cli() {
  local cur prev words cword
  _init_completion || return

  case $prev in
    --format)
      COMPREPLY=($(compgen -W 'text csv json' -- "$cur"))
      return
      ;;
    --folder)
      _filedir -d
      return
      ;;
    -o | --output | --exclude-from | --digest-cache | --sign | --verify-with)
      _filedir
      return
      ;;
    --readers | --exclude)
      return
      ;;
  esac

  if ((cword == 1)); then
    COMPREPLY=($(compgen -W 'list compare keygen --help --version' -- "$cur"))
    return
  fi

  local command=${words[1]}
  if [[ $cur == -* ]]; then
    local options='--md5 --sha256 --reuse-digests --digest-cache --readers --format --exclude --exclude-from -o --output --'
    [[ $command == list ]] && options+=' --sign'
    [[ $command == compare ]] && options+=' --moves --folder --verify-with'
    [[ $command == keygen ]] && options='-o --output'
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  # list takes a folder, compare its listing files.
  case $command in
    list) _filedir -d ;;
    compare) _filedir ;;
    keygen) ;;
  esac
} &&
  complete -F _quillon_cli quillon-cli
