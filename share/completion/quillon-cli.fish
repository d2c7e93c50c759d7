# fish completion for quillon-cli

complete -c quillon-cli -f
complete -c quillon-cli -n __fish_use_subcommand -a list -d 'List a folder tree'
complete -c quillon-cli -n __fish_use_subcommand -a compare -d 'Compare listings'
complete -c quillon-cli -n __fish_use_subcommand -a keygen -d 'Make a key pair for signed listings'
complete -c quillon-cli -n __fish_use_subcommand -s h -l help -d 'Show the usage'
complete -c quillon-cli -n __fish_use_subcommand -l version -d 'Show the version'

set -l listing '__fish_seen_subcommand_from list compare'
complete -c quillon-cli -n $listing -l md5 -d 'Add the MD5 digest of each file'
complete -c quillon-cli -n $listing -l sha256 -d 'Add the SHA-256 digest of each file'
complete -c quillon-cli -n $listing -l reuse-digests -d 'Take unchanged files\' digests from the cache'
complete -c quillon-cli -n $listing -l digest-cache -r -F -d 'The digest cache to use'
complete -c quillon-cli -n $listing -l readers -x -d 'Reads of files kept under way, 1 to 1024'
complete -c quillon-cli -n $listing -l exclude -x -d 'Leave out what matches'
complete -c quillon-cli -n $listing -l exclude-from -r -F -d 'The patterns of a file'
complete -c quillon-cli -n $listing -l format -x -a 'text csv json' -d 'How records are written'
complete -c quillon-cli -n $listing -s o -l output -r -F -d 'Write to a file'
complete -c quillon-cli -n '__fish_seen_subcommand_from keygen' -s o -l output -r -F -d 'The private key file to make'
complete -c quillon-cli -n '__fish_seen_subcommand_from list' -l sign -r -F -d 'Sign the listing with a private key'
complete -c quillon-cli -n '__fish_seen_subcommand_from compare' -l verify-with -r -F -d 'Check the loaded listing\'s signature with a public key'
complete -c quillon-cli -n $listing -l temp-dir -x -a '(__fish_complete_directories)' -d 'The folder for temporary files'
complete -c quillon-cli -n '__fish_seen_subcommand_from compare' -l memory -x -d 'The memory budget, such as 512M or 4G'
complete -c quillon-cli -n '__fish_seen_subcommand_from compare' -l moves -d 'Report a moved file as one Moved line'
complete -c quillon-cli -n '__fish_seen_subcommand_from compare' -l folder -x -a '(__fish_complete_directories)' -d 'List a folder and compare that listing'
# list takes a folder, compare its listing files.
complete -c quillon-cli -n '__fish_seen_subcommand_from list' -a '(__fish_complete_directories)'
complete -c quillon-cli -n '__fish_seen_subcommand_from compare' -F
