# Sourced by the scripts that install what they need on Debian and its
# derivatives: which packages are missing, and installing them with apt-get
# as root or through sudo. The caller's `script` (its name) starts each
# message.

# Prints the packages among the arguments that are not installed, a line
# each.
missing_debian_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

# Installs the packages named as arguments (none: nothing to do); ends the
# script with status 1 when they cannot be installed from here.
install_debian_packages() {
  [ "$#" -eq 0 ] && return 0
  if ! command -v apt-get >/dev/null 2>&1; then
    echo "$script: needs the Debian packages $* (no apt-get here)" >&2
    exit 1
  fi
  local as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "$script: need root or sudo to install: $*" >&2
      exit 1
    fi
    as_root=(sudo)
  fi
  echo "$script: installing $*" >&2
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}
