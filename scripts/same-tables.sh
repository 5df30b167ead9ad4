# Sourced by the Windows checks (scripts/windows-check.sh, scripts/windows-window-check.sh).
# Tables of two folders equal byte for byte, the header dates aside (.DBF bytes 1-3; .MDX bytes 1-3
# and 44-46). Extra files of either side count as a difference.
same_tables() {
  local a=$1 b=$2 name offsets
  diff <(cd "$a" && ls -A | LC_ALL=C sort) <(cd "$b" && ls -A | LC_ALL=C sort) || return 1
  for name in $(cd "$a" && ls -A); do
    case "${name^^}" in
    *.DBF) allowed=" 2 3 4 " ;;
    *.MDX) allowed=" 2 3 4 45 46 47 " ;;
    *) allowed=" " ;;
    esac
    offsets=$(cmp -l "$a/$name" "$b/$name" 2>&1 | awk '{print $1}') || true
    for o in $offsets; do
      [[ "$allowed" == *" $o "* ]] || { echo "$name difiere en el byte $o" >&2; return 1; }
    done
  done
}
