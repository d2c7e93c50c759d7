# bash completion for quillon-cli: quillon-cli itself says what Tab offers,
# from the table of its options.

_quillon_cli() {
  local cur prev words cword
  _init_completion || return

  local kind candidates
  candidates=$("${words[0]}" __complete "${words[@]:1:cword}" 2>/dev/null) || return
  kind=${candidates%%$'\n'*}
  case $kind in
    file) _filedir ;;
    folder) _filedir -d ;;
    words)
      candidates=$(printf '%s\n' "$candidates" | sed -e 1d -e 's/\t.*//')
      COMPREPLY=($(compgen -W "$candidates" -- "$cur"))
      ;;
  esac
} &&
  complete -F _quillon_cli quillon-cli
