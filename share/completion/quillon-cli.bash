# bash completion for quillon-cli

_quillon_cli() {
  local cur prev words cword
  _init_completion || return

  case $prev in
    --format)
      COMPREPLY=($(compgen -W 'text csv json' -- "$cur"))
      return
      ;;
    --folder | --temp-dir)
      _filedir -d
      return
      ;;
    -o | --output | --exclude-from | --digest-cache | --sign | --verify-with)
      _filedir
      return
      ;;
    --readers | --exclude | --memory)
      return
      ;;
  esac

  if ((cword == 1)); then
    COMPREPLY=($(compgen -W 'list compare keygen --help --version' -- "$cur"))
    return
  fi

  local command=${words[1]}
  if [[ $cur == -* ]]; then
    local options='--md5 --sha256 --reuse-digests --digest-cache --readers --format --exclude --exclude-from --temp-dir -o --output --'
    [[ $command == list ]] && options+=' --sign'
    [[ $command == compare ]] && options+=' --moves --folder --memory --verify-with'
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
