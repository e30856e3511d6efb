# Private network namespaces for everything that sends a packet.
#
# The scanner broadcasts and multicasts the moment it starts, so no socket of ours may
# live in the machine's own namespace. zl_netns_up creates two namespaces joined by a
# veth pair that is created directly inside them (it never exists in the host's
# namespace):
#   scan side  $ZL_SCAN_NS  10.99.0.1/16 on zlscan0  - the scanner and the tests run here
#   site side  $ZL_SITE_NS  10.99.0.2/16 on zlsite0  - responders and the simulator run here
# Both sides route multicast and the limited broadcast over the pair, so a Probe sent on
# the scan side reaches the site side and replies come back. Nothing else is routed.
# Source this file; call zl_netns_up, then zl_scan/zl_site to run commands on a side.
#
# zl_netns_routed_up (after zl_netns_up) adds a routed subnet for the unicast range
# probing: a router namespace and a far site namespace behind it.
#   scan side  zlroute0 10.97.0.1/30 -- zlrtr0 10.97.0.2/30  router    $ZL_ROUTER_NS
#   router     zlrtr1   10.97.0.5/30 -- zlfar0 10.97.0.6/30  far site  $ZL_FAR_NS
# The far site's devices take addresses in $ZL_FAR_NET (10.98.0.0/16) on zlfar0. The
# router forwards unicast only: no multicast routing, and a broadcast is never
# forwarded, so the far site hears no discovery multicast or broadcast. The far subnet is
# routed to the far site's transfer address rather than put on a link, so the router
# never has to resolve the addresses nobody holds.

ZL_SCAN_ADDR=10.99.0.1
ZL_SITE_ADDR=10.99.0.2
ZL_NET_PREFIX=16
ZL_FAR_NET=10.98.0.0/16
ZL_FAR_BASE=10.98.1.1

. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

zl_netns_up() {
  zl_require_root "creating network namespaces"
  command -v ip >/dev/null || zl_die "the ip command (iproute2) is missing"
  local tag=${1:-$$}
  export ZL_SCAN_NS="zlscan-$tag" ZL_SITE_NS="zlsite-$tag"
  export ZL_SCAN_ADDR ZL_SITE_ADDR ZL_NET_PREFIX
  ZL_NETNS_CREATED=1
  ip netns add "$ZL_SCAN_NS" || zl_die "cannot create namespace $ZL_SCAN_NS"
  ip netns add "$ZL_SITE_NS" || zl_die "cannot create namespace $ZL_SITE_NS"
  ip link add zlscan0 netns "$ZL_SCAN_NS" type veth peer name zlsite0 netns "$ZL_SITE_NS" \
    || zl_die "cannot create the veth pair between $ZL_SCAN_NS and $ZL_SITE_NS"
  local ns dev addr
  for ns in "$ZL_SCAN_NS" "$ZL_SITE_NS"; do
    if [ "$ns" = "$ZL_SCAN_NS" ]; then dev=zlscan0 addr=$ZL_SCAN_ADDR; else dev=zlsite0 addr=$ZL_SITE_ADDR; fi
    ip -n "$ns" link set lo up &&
    ip -n "$ns" addr add "$addr/$ZL_NET_PREFIX" broadcast + dev "$dev" &&
    ip -n "$ns" link set "$dev" up multicast on &&
    # multicast and 255.255.255.255 leave through the pair; there is no other route out
    ip -n "$ns" route add 224.0.0.0/4 dev "$dev" &&
    ip -n "$ns" route add default dev "$dev" ||
      zl_die "cannot configure $dev in $ns"
  done
  # A burst of replies from thousands of simulated devices must not be dropped by the
  # socket's default receive buffer; allow the discovery sockets to ask for more.
  ip netns exec "$ZL_SCAN_NS" sysctl -qw net.core.rmem_max=16777216 2>/dev/null || true
  ip netns exec "$ZL_SITE_NS" sysctl -qw net.core.rmem_max=16777216 2>/dev/null || true
  zl_wait_link || zl_die "the veth pair did not come up"
}

# The carrier takes a moment after "link up".
zl_wait_link() {
  local i
  for i in $(seq 1 50); do
    if ip -n "$ZL_SCAN_NS" -br link show zlscan0 | grep -q ' UP ' &&
       ip -n "$ZL_SITE_NS" -br link show zlsite0 | grep -q ' UP '; then return 0; fi
    sleep 0.1
  done
  return 1
}

zl_netns_routed_up() {
  [ -n "${ZL_NETNS_CREATED:-}" ] || zl_die "zl_netns_routed_up needs zl_netns_up first"
  local tag=${ZL_SCAN_NS#zlscan-}
  export ZL_ROUTER_NS="zlrtr-$tag" ZL_FAR_NS="zlfar-$tag" ZL_FAR_NET ZL_FAR_BASE
  ip netns add "$ZL_ROUTER_NS" || zl_die "cannot create namespace $ZL_ROUTER_NS"
  ip netns add "$ZL_FAR_NS" || zl_die "cannot create namespace $ZL_FAR_NS"
  ip link add zlroute0 netns "$ZL_SCAN_NS" type veth peer name zlrtr0 netns "$ZL_ROUTER_NS" &&
  ip link add zlrtr1 netns "$ZL_ROUTER_NS" type veth peer name zlfar0 netns "$ZL_FAR_NS" ||
    zl_die "cannot create the veth pairs of the routed subnet"
  local ns dev addr ns_dev_addr
  for ns_dev_addr in "$ZL_SCAN_NS zlroute0 10.97.0.1" "$ZL_ROUTER_NS zlrtr0 10.97.0.2" \
                     "$ZL_ROUTER_NS zlrtr1 10.97.0.5" "$ZL_FAR_NS zlfar0 10.97.0.6"; do
    read -r ns dev addr <<<"$ns_dev_addr"
    ip -n "$ns" link set lo up &&
    ip -n "$ns" addr add "$addr/30" dev "$dev" &&
    ip -n "$ns" link set "$dev" up || zl_die "cannot configure $dev in $ns"
  done
  ip netns exec "$ZL_ROUTER_NS" sysctl -qw net.ipv4.ip_forward=1 &&
  ip -n "$ZL_SCAN_NS" route add "$ZL_FAR_NET" via 10.97.0.2 &&
  ip -n "$ZL_ROUTER_NS" route add "$ZL_FAR_NET" via 10.97.0.6 &&
  ip -n "$ZL_ROUTER_NS" route add "${ZL_SCAN_ADDR%.*.*}.0.0/$ZL_NET_PREFIX" via 10.97.0.1 &&
  ip -n "$ZL_FAR_NS" route add default via 10.97.0.5 || zl_die "cannot set the routes of the routed subnet"
  ip netns exec "$ZL_FAR_NS" sysctl -qw net.core.rmem_max=16777216 2>/dev/null || true
  # The far devices' addresses are the only ones of their subnet on zlfar0: removing the
  # first must not take the others with it.
  ip netns exec "$ZL_FAR_NS" sysctl -qw net.ipv4.conf.zlfar0.promote_secondaries=1 ||
    zl_die "cannot keep secondary addresses on zlfar0"
  local i
  for i in $(seq 1 50); do
    ip -n "$ZL_SCAN_NS" -br link show zlroute0 | grep -q ' UP ' &&
      ip -n "$ZL_FAR_NS" -br link show zlfar0 | grep -q ' UP ' && return 0
    sleep 0.1
  done
  zl_die "the routed subnet's links did not come up"
}

zl_netns_down() {
  [ -n "${ZL_NETNS_CREATED:-}" ] || return 0
  local ns pid
  for ns in "$ZL_SCAN_NS" "$ZL_SITE_NS" ${ZL_ROUTER_NS:-} ${ZL_FAR_NS:-}; do
    # end whatever still runs inside before the namespace goes away
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill "$pid" 2>/dev/null; done
  done
  sleep 0.2
  for ns in "$ZL_SCAN_NS" "$ZL_SITE_NS" ${ZL_ROUTER_NS:-} ${ZL_FAR_NS:-}; do
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$pid" 2>/dev/null; done
    ip netns del "$ns" 2>/dev/null
  done
  unset ZL_NETNS_CREATED ZL_ROUTER_NS ZL_FAR_NS
}

zl_scan() { ip netns exec "$ZL_SCAN_NS" "$@"; }
zl_site() { ip netns exec "$ZL_SITE_NS" "$@"; }
