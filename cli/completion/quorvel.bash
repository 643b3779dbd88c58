# Bash completion for quorvel: the commands, each command's options, and files or folders for
# the options that take them. Needs nothing but bash (bash-completion loads it on demand).

_quorvel() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} command= options word i
    # Bash splits "--db=club.db" at the '=': complete the value of the option before it.
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = && $COMP_CWORD -ge 2 ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        import-licences | update-iuf | init-db | info | restore)
            command=${COMP_WORDS[i]}
            break
            ;;
        esac
    done

    case $prev in
    --db | --trace | --report | --html | --reference)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --source | --work | --backup)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
        ;;
    --today)
        mapfile -t COMPREPLY < <(compgen -W "$(date +%F)" -- "$cur")
        return
        ;;
    --club)
        COMPREPLY=()
        return
        ;;
    esac

    case $command in
    import-licences) options="--db --source --work --trace --today --dry-run --report --html --quiet --backup --no-backup --help" ;;
    update-iuf) options="--db --source --trace --club --today --dry-run --report --html --quiet --backup --no-backup --help" ;;
    info) options="--db --help" ;;
    restore) options="--db --backup --force --yes --help" ;;
    init-db)
        options="--no-reference --reference --help"
        if [[ $cur != -* ]]; then # the database file to create
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return
        fi
        ;;
    *)
        mapfile -t COMPREPLY < <(compgen -W "import-licences update-iuf init-db info restore --help -V --version" -- "$cur")
        return
        ;;
    esac
    # An option already given is not offered again.
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        [[ $word == --* ]] && options=" $options " && options=${options/ $word / }
    done
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
} &&
    complete -F _quorvel quorvel
