# What every script of scripts/ and bench/ does the same way: its failure message, its
# root check, configuring and building a build folder, and starting the simulator.
# Source it (scripts/lib/netns.sh does); $root is the checkout.

zl_die() { echo "${zl_name:-netns}: $*" >&2; exit 1; }

# Namespaces, packages and apt need root; a fresh root shell has no sudo, so the message
# names both ways.
zl_require_root() {
  [ "$(id -u)" = 0 ] || zl_die "$1 needs root: run it as root (or with sudo)"
}

# zl_build DIR [cmake option...] [-- build option...]: configures DIR (Ninja,
# RelWithDebInfo) with the options, then builds it on two cores. ccache keys on paths
# below the checkout, so work trees of one machine share their objects.
zl_build() {
  local dir=$1 configure=() build=()
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do configure+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  build=("$@")
  export CCACHE_BASEDIR="$root"
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${configure[@]}" >/dev/null &&
    cmake --build "$dir" -j2 "${build[@]}"
}

# zl_sim_start NS OUT LOG [simulator option...]: starts $build/bin/zephyrlock-sim in
# namespace NS, its events to OUT and its log to LOG (the same file is fine), and waits
# up to a minute for its "ready" event; a simulator that ends or never gets ready fails
# the script with its log. The simulator's pid is in $zl_sim_pid.
zl_sim_start() {
  local ns=$1 out=$2 log=$3 i
  shift 3
  if [ "$out" = "$log" ]; then
    ip netns exec "$ns" "$build/bin/zephyrlock-sim" "$@" >"$out" 2>&1 &
  else
    ip netns exec "$ns" "$build/bin/zephyrlock-sim" "$@" >"$out" 2>"$log" &
  fi
  zl_sim_pid=$!
  for i in $(seq 1 600); do
    grep -q '"event":"ready"' "$out" 2>/dev/null && return 0
    kill -0 "$zl_sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$log" >&2
  zl_die "the simulator did not start"
}
