# bash completion for vesperon-cli: commands, each command's options and the
# files it reads. The commands and options come from the program's own help,
# so they never disagree with it.
_vesperon_cli()
{
    local cur prev words cword
    _init_completion -s || return

    local cmd="" i
    for ((i = 1; i < cword; i++)); do
        case "${words[i]}" in
            -*) ;;
            *) cmd="${words[i]}"; break ;;
        esac
    done

    if [[ -z $cmd ]]; then
        local commands
        commands=$(vesperon-cli --help 2>/dev/null | awk '/^  [a-z][a-z-]+ /{print $1}')
        COMPREPLY=($(compgen -W "$commands --help --version --man" -- "$cur"))
        return
    fi

    # Commands with actions (project init, marks export, classify train):
    # the words after the command name in its usage lines.
    local actions
    actions=$(vesperon-cli "$cmd" --help 2>/dev/null |
        awk -v c="$cmd" '/^(Usage:)? *vesperon-cli /{for (i = 1; i < NF; i++) if ($i == c && $(i + 1) ~ /^[a-z][a-z-]*$/) print $(i + 1)}' | sort -u)
    if [[ -n $actions && $cur != -* ]]; then
        local have="" j
        for ((j = i + 1; j < cword; j++)); do
            [[ " $actions " == *" ${words[j]} "* ]] && have=1
        done
        if [[ -z $have ]]; then
            COMPREPLY=($(compgen -W "$actions" -- "$cur"))
            return
        fi
    fi

    if [[ $cur == -* ]]; then
        local options
        options=$(vesperon-cli "$cmd" --help 2>/dev/null | grep -oE -- '--[a-z0-9][a-z0-9-]*' | sort -u)
        COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi

    case "$prev" in
        -o | --output)
            _filedir
            return
            ;;
    esac
    # Recordings, zero-crossing files, projects, models, tables and folders.
    _filedir '@(wav|WAV|vprd|vprdp|w64|rf64|flac|mp3|ogg|opus|m4a|zc|vproj|vcls|txt|csv|flt)'
} &&
    complete -F _vesperon_cli vesperon-cli

_vesperon()
{
    local cur prev words cword
    _init_completion || return
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--help --version" -- "$cur"))
        return
    fi
    _filedir '@(wav|WAV|vprd|vprdp|w64|rf64|flac|mp3|ogg|opus|m4a|zc|vproj)'
} &&
    complete -F _vesperon vesperon
