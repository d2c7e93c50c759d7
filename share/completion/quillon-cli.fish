# fish completion for quillon-cli: quillon-cli itself says what Tab offers,
# from the table of its options (list, compare, keygen; text csv json for
# --format).

function __quillon_cli_complete
    set -l words (commandline -opc)
    set -l reply ($words[1] __complete $words[2..-1] (commandline -ct) 2>/dev/null)
    switch "$reply[1]"
        case file
            __fish_complete_path (commandline -ct)
        case folder
            __fish_complete_directories (commandline -ct)
        case words
            printf '%s\n' $reply[2..-1]
    end
end

complete -c quillon-cli -f -a '(__quillon_cli_complete)'
