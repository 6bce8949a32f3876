# bash completion for tovik
_tovik() {
    local cur=${COMP_WORDS[COMP_CWORD]} command="" word
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case $word in -*) ;; *) command=$word ;; esac
    done
    case $command in
        "") COMPREPLY=($(compgen -W "capture show settings stop copy copy-prompt paste status quit --help --version" -- "$cur")) ;;
        copy) COMPREPLY=($(compgen -W "--contact-sheet" -- "$cur")) ;;
        status) COMPREPLY=($(compgen -W "--json" -- "$cur")) ;;
        *) COMPREPLY=() ;;
    esac
}
complete -F _tovik tovik
