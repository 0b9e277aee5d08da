# bash completion for velmora-cli
_velmora_cli() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
        -o|--output|--keep-tree)
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            return ;;
        --files-from)
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return ;;
        --if-exists)
            mapfile -t COMPREPLY < <(compgen -W "rename skip" -- "$cur")
            return ;;
        -j|--jobs)
            mapfile -t COMPREPLY < <(compgen -W "1 2 3 4 6 8 12 16" -- "$cur")
            return ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "-o --output -q --quiet -v --verbose --probe --json \
            --files-from -0 --if-exists --keep-tree -j --jobs -n --dry-run -h --help --version" -- "$cur")
        return
    fi
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}
complete -o filenames -F _velmora_cli velmora-cli
