# bash completion for gridtally                              -*- shell-script -*-

# Every option of "gridtally --help", one word each, values spelled out. A
# second word says what the option's argument is: a file extension, or
# "file" for any file, "dir" for a folder.
_gridtally_options=(
    "--cst cst"
    --cst-auto
    "-o file"
    -osame
    --force
    --format=txt
    --format=semikv
    --format=json
    --format=csv
    --format=html
    "--season file"
    "--site dir"
    --teams
    --no-header
    --convert=yes
    --convert=no
    --laps
    --archive
    "-j number"
    "--files-from file"
    --help
    --version
)

_gridtally()
{
    local cur prev words cword split
    _init_completion -s || return

    local entry option argument
    # The argument of an option that takes a file.
    for entry in "${_gridtally_options[@]}"; do
        read -r option argument <<<"$entry"
        [[ -n $argument && $prev == "$option" ]] || continue
        if [[ $argument == number ]]; then
            COMPREPLY=()
        elif [[ $argument == dir ]]; then
            _filedir -d
        elif [[ $argument == file ]]; then
            _filedir
        else
            _filedir "$argument"
        fi
        return
    done

    # The value after "--option=": the values of that option in the list.
    if [[ $split == true ]]; then
        local values=()
        for entry in "${_gridtally_options[@]}"; do
            [[ $entry == "$prev"=* ]] && values+=("${entry#"$prev"=}")
        done
        COMPREPLY=($(compgen -W '${values[@]}' -- "$cur"))
        return
    fi

    if [[ $cur == -* ]]; then
        local names=()
        for entry in "${_gridtally_options[@]}"; do
            names+=("${entry%% *}")
        done
        COMPREPLY=($(compgen -W '${names[@]}' -- "$cur"))
        return
    fi

    _filedir rpy
} &&
    complete -F _gridtally gridtally gridtally.exe

# ex: filetype=sh
