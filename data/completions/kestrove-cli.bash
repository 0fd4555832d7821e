# bash completion for kestrove-cli. The install-tree test checks it against `kestrove-cli --help`.

_kestrove_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="detect carrier url fetch add list show refresh archive unarchive pin unpin delete import
        export key config"

    if ((COMP_CWORD == 1)); then
        mapfile -t COMPREPLY < <(compgen -W "$commands --help --version" -- "$cur")
        return
    fi

    case $prev in
        --filter)
            mapfile -t COMPREPLY < <(compgen -W "all inTransit delivered exceptions archived" -- "$cur")
            return
            ;;
        --sort)
            mapfile -t COMPREPLY < <(compgen -W "lastUpdated dateAdded status carrier estimatedDelivery" -- "$cur")
            return
            ;;
        --carrier | --label | --notes | --group | --search)
            # Free text: nothing to offer.
            return
            ;;
    esac

    local command=${COMP_WORDS[1]} options=""
    case $command in
        detect | carrier | show) options="--json" ;;
        url) options="--carrier" ;;
        fetch) options="--carrier --json" ;;
        add) options="--carrier --label --notes" ;;
        list) options="--filter --group --search --sort --json" ;;
        import | export)
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            compopt -o filenames 2>/dev/null
            return
            ;;
        key)
            ((COMP_CWORD == 2)) && mapfile -t COMPREPLY < <(compgen -W "set status" -- "$cur")
            return
            ;;
        config)
            if ((COMP_CWORD == 2)); then
                mapfile -t COMPREPLY < <(compgen -W "get set" -- "$cur")
            elif ((COMP_CWORD == 3)); then
                mapfile -t COMPREPLY < <(compgen -W "hasCompletedOnboarding selectedProvider refreshInterval
                    clipboardMonitoringEnabled autoArchiveDelivered autoDeleteEnabled autoDeleteDelay launchAtLogin
                    notificationsEnabled notifyOnStatusChange soundNotifications quietHoursEnabled quietHoursStart
                    quietHoursEnd lastUpdateCheck" -- "$cur")
            fi
            return
            ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    fi
}

complete -F _kestrove_cli kestrove-cli
