# Shared by run.sh and test.sh: package installation and the CMake builds.
# Sourced, not run; expects ROOT to be the checkout's top folder.

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  unixodbc unixodbc-dev odbcinst libsqliteodbc odbc-postgresql postgresql
  zlib1g-dev libssl-dev libisal-dev libpng-dev
  libgsf-1-dev
  man-db dpkg-dev file doxygen abigail-tools
  clang libclang-rt-14-dev
  valgrind
)

# Installs what is missing; does nothing (and needs no network) when all is there.
install_packages() {
  local missing=()
  local p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

njobs() { nproc 2>/dev/null || echo 2; }

# build DIR [cmake options...]: configures (once) and builds everything in DIR.
build() {
  local dir=$1
  shift
  cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  # Progress lines are dropped; warnings, errors and the build's own status stay.
  cmake --build "$dir" -j "$(njobs)" | { grep -v '^\[' || true; }
}
