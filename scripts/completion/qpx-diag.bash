# bash completion for qpx-diag: its commands, each command's options, run's operations, COM numbers
# of the ports present and file names where an option takes a file.

_qpx_diag_ports()
{
    qpx-diag ports 2>/dev/null | sed -n 's/^COM\([0-9]*\) .*/\1/p'
}

_qpx_diag()
{
    local cur prev words cword
    _init_completion || return

    local commands="ports info plugins run doctor"
    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi

    case $prev in
        --port)
            COMPREPLY=($(compgen -W "$(_qpx_diag_ports)" -- "$cur"))
            return
            ;;
        --plugin)
            _filedir so
            return
            ;;
        --folder)
            _filedir -d
            return
            ;;
        --file | --bin | --script | --eri | --prl | --csv)
            _filedir
            return
            ;;
        --nam)
            COMPREPLY=($(compgen -W "0 1 2" -- "$cur"))
            return
            ;;
        --category | --rows | --mask)
            return
            ;;
    esac

    local options
    case ${words[1]} in
        ports | doctor) options="--json --help" ;;
        info) options="--port --json --help" ;;
        plugins) options="--folder --json --help" ;;
        run)
            options="--plugin --port --all-handsets --nam --file --bin --script --eri --prl --csv
                     --category --rows --mask --read --write --backup --restore --json --help"
            if [[ $cur != -* ]]; then
                COMPREPLY=($(compgen -W "prl eri bin script upgrade refurbish phonebook settings transfer" -- "$cur"))
                return
            fi
            ;;
        *) return ;;
    esac
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
}

complete -F _qpx_diag qpx-diag
