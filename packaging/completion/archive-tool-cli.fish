# fish completion for archive-tool-cli: commands, options, archives, and
# --key values read from the archive named on the line.

function __archive_tool_cli_archive
    # The first word after the command that is neither an option nor an option's value.
    set -l words (commandline -opc)
    set -l command ""
    set -l skip 0
    for word in $words[2..-1]
        if test $skip -eq 1
            set skip 0
            continue
        end
        if test -z "$command"
            string match -q -- '-*' $word; or set command $word
            continue
        end
        switch $word
            case -C --to --key
                set skip 1
            case '-*'
            case '*'
                echo $word
                return 0
        end
    end
    return 1
end

function __archive_tool_cli_keys
    set -l archive (__archive_tool_cli_archive); or return
    set -l program (commandline -opc)[1]
    command -q $program; or set program archive-tool-cli
    $program list --tsv $archive 2>/dev/null | cut -f 2
end

# Folders, files named .sga, .big or .grm in any letter case, and regular
# files that begin as an SGA or RBF archive does (a FIFO is never opened).
function __archive_tool_cli_archives
    set -l token (commandline -ct)
    for file in $token*
        if test -d $file
            echo $file/
        else if string match -qir '\.(sga|big|grm)$' -- $file
            echo $file
        else if test -f $file -a -r $file
            head -c 8 -- $file 2>/dev/null | string match -qr '^(_ARCHIVE|RBF1\.23)'; and echo $file
        end
    end
end

function __archive_tool_cli_needs_archive
    __fish_seen_subcommand_from info list extract test; or return 1
    not __archive_tool_cli_archive >/dev/null
end

set -l commands info list extract test
complete -c archive-tool-cli -f
complete -c archive-tool-cli -n "not __fish_seen_subcommand_from $commands" -l debug -d 'Write the debug files next to the archive'
complete -c archive-tool-cli -n "not __fish_seen_subcommand_from $commands" -l version -d 'Print the version'
complete -c archive-tool-cli -s h -l help -d 'Print the commands and options'
complete -c archive-tool-cli -n "not __fish_seen_subcommand_from $commands" -a info -d 'Print the header lines of the load'
complete -c archive-tool-cli -n "not __fish_seen_subcommand_from $commands" -a list -d 'Print the catalogue tree'
complete -c archive-tool-cli -n "not __fish_seen_subcommand_from $commands" -a extract -d 'Extract every file or the selected ones'
complete -c archive-tool-cli -n "not __fish_seen_subcommand_from $commands" -a test -d 'Read and inflate every entry, writing nothing'
complete -c archive-tool-cli -n '__fish_seen_subcommand_from list' -l tsv -d 'One line per node, TAB-separated'
complete -c archive-tool-cli -n '__fish_seen_subcommand_from list' -l long -d 'One line per file with its sizes'
complete -c archive-tool-cli -n '__fish_seen_subcommand_from list' -l json -d 'One JSON document'
complete -c archive-tool-cli -n '__fish_seen_subcommand_from extract' -s C -r -a '(__fish_complete_directories)' -d 'Make the output root below DIR'
complete -c archive-tool-cli -n '__fish_seen_subcommand_from extract' -l to -r -a '(__fish_complete_directories)' -d 'Extract straight below DEST'
complete -c archive-tool-cli -n '__fish_seen_subcommand_from extract' -l key -x -a '(__archive_tool_cli_keys)' -d 'Select the tree node with this key'
complete -c archive-tool-cli -n __archive_tool_cli_needs_archive -a '(__archive_tool_cli_archives)'
