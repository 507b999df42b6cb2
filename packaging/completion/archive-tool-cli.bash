# bash completion for archive-tool-cli: commands, options, archives (by
# extension, and by their first bytes when a folder is small enough to look
# into), and --key values read from the archive named on the line.

# A word as the shell will pass it: quotes and backslash escapes removed,
# a leading ~/ made the home folder.
_archive_tool_cli_dequote()
{
    local word=$1 out="" i c
    case $word in
    \'*) out=${word#\'}; out=${out%\'} ;;
    \"*) out=${word#\"}; out=${out%\"} ;;
    *)
        for ((i = 0; i < ${#word}; i++)); do
            c=${word:i:1}
            if [[ $c == \\ ]]; then
                ((i++))
                c=${word:i:1}
            fi
            out+=$c
        done
        ;;
    esac
    [[ $out == "~/"* ]] && out=$HOME/${out#"~/"}
    printf '%s' "$out"
}

# Folders, files named .sga, .big or .grm in any letter case, and files
# that begin as an SGA or RBF archive does.
_archive_tool_cli_archives()
{
    local cur=$1 file first LC_ALL=C
    local IFS=$'\n'
    local -a files
    files=($(compgen -f -- "$cur"))
    for file in "${files[@]}"; do
        if [[ -d $file ]]; then
            COMPREPLY+=("$file/")
            continue
        fi
        case ${file,,} in
        *.sga | *.big | *.grm)
            COMPREPLY+=("$file")
            continue
            ;;
        esac
        # Only regular files (a FIFO would wait for a writer), and not in a huge folder.
        if ((${#files[@]} <= 500)) && [[ -f $file && -r $file ]]; then
            first=""
            IFS= read -r -N 8 first <"$file" 2>/dev/null
            case $first in
            _ARCHIVE* | RBF1.23*) COMPREPLY+=("$file") ;;
            esac
        fi
    done
    compopt -o filenames -o nospace 2>/dev/null
    # A lone file gets its space back; a folder keeps the cursor after "/".
    if ((${#COMPREPLY[@]} == 1)) && [[ ${COMPREPLY[0]} != */ ]]; then
        compopt +o nospace 2>/dev/null
    fi
}

_archive_tool_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local program=${COMP_WORDS[0]} command="" archive="" word i
    COMPREPLY=()
    [[ -x $program ]] || program=$(type -P archive-tool-cli) || program=archive-tool-cli

    # The command, and the archive: the first word after it that is neither
    # an option nor an option's value.
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -z $command ]]; then
            [[ $word != -* ]] && command=$word
            continue
        fi
        case $word in
        -C | --to | --key) ((i++)) ;;
        -*) ;;
        *) [[ -z $archive ]] && archive=$(_archive_tool_cli_dequote "$word") ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--debug --help --version' -- "$cur"))
        else
            COMPREPLY=($(compgen -W 'info list extract test' -- "$cur"))
        fi
        return
    fi

    case $prev in
    -C | --to)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur"))
        return
        ;;
    --key)
        [[ -n $archive && -f $archive ]] || return
        local want key
        want=$(_archive_tool_cli_dequote "$cur")
        local IFS=$'\n'
        for key in $("$program" list --tsv "$archive" 2>/dev/null | cut -f 2); do
            [[ $key == "$want"* ]] && COMPREPLY+=("$(printf '%q' "$key")")
        done
        return
        ;;
    esac

    if [[ $cur == -* ]]; then
        local options='--help'
        case $command in
        list) options+=' --tsv --long --json' ;;
        extract) options+=' -C --to --key' ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    # The archive; after it, extract takes archive paths, which the archive
    # knows and the file system does not.
    [[ -z $archive ]] && _archive_tool_cli_archives "$cur"
}

complete -F _archive_tool_cli archive-tool-cli
