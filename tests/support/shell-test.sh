# Sourced by the shell tests: a scratch folder that goes at exit, failures
# counted as they are found, and one verdict at the end.

scratch="$(readlink -f "$(mktemp -d)")"
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

expect_contains() {  # name haystack needle
  case "$2" in
    *"$3"*) ;;
    *) fail "$1: expected '$3' in: $2" ;;
  esac
}

# Ends the test: status 1 after any failure, else prints "$1".
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
  fi
  echo "$1"
}
