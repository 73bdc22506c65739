# Sourced first by every script here, with the script's arguments: -h or
# --help prints the script's header comment (what it does, its usage) and
# ends it with status 0. A script that takes no argument then calls
# `no_arguments "$@"`, which ends it with status 2 and its usage line for
# anything else.
script_usage() { sed -n '2,/^[^#]/{/^#/{s/^# \{0,1\}//;p}}' "$0"; }
case "${1:-}" in
  -h | --help)
    script_usage
    exit 0
    ;;
esac
no_arguments() {
  [ "$#" -eq 0 ] && return 0
  echo "$(basename "$0"): unexpected argument '$1'" >&2
  script_usage | grep '^Usage:' >&2
  echo "Try '$0 --help' for more information." >&2
  exit 2
}
