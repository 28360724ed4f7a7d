#!/usr/bin/env bash
# A throwaway PostgreSQL 15 cluster for the database tests.
#
#   throwaway-pg.sh start DIR   create and start a cluster under DIR on 127.0.0.1 (free
#                               port), with a login role and a database; prints the
#                               shell lines to eval (connect string, control script)
#   throwaway-pg.sh stop DIR    stop the cluster and remove DIR (harmless when none runs)
#
# PostgreSQL refuses to run as root: as root the cluster runs as the `postgres` account
# (created when missing); as any other user it runs as that user. Everything but the
# final export lines goes to standard error.
set -euo pipefail

die() { echo "throwaway-pg: $*" >&2; exit 1; }

[ $# -eq 2 ] || die "usage: $0 start|stop DIR"
action=$1
dir=$2

pgbin=${ORVANE_PG_BINDIR:-}
if [ -z "$pgbin" ]; then
  for candidate in /usr/lib/postgresql/15/bin /usr/lib/postgresql/*/bin; do
    [ -x "$candidate/initdb" ] && { pgbin=$candidate; break; }
  done
fi

# The cluster's files may live outside DIR when the service account cannot reach DIR
# (a checkout under /root, say); DIR/cluster then names where they are.
cluster_of() {
  if [ -f "$1/cluster" ]; then cat "$1/cluster"; else echo "$1/cluster.d"; fi
}

stop_cluster() {
  local d=$1
  [ -d "$d" ] || return 0
  local c
  c=$(cluster_of "$d")
  if [ -x "$d/ctl" ] && [ -f "$c/data/postmaster.pid" ]; then
    "$d/ctl" stop >/dev/null 2>&1 || true
  fi
  # A server whose control script went missing: stop it by the pid it wrote.
  if [ -f "$c/data/postmaster.pid" ]; then
    local pid
    pid=$(head -n 1 "$c/data/postmaster.pid" 2>/dev/null || true)
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      kill -INT "$pid" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
  fi
  case "$c" in "$d"/*) ;; *) rm -rf -- "$c" ;; esac
  rm -rf -- "$d"
}

free_port() {
  local port
  for _ in $(seq 100); do
    port=$(( 20000 + RANDOM % 40000 ))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
  return 1
}

case "$action" in
  stop)
    stop_cluster "$dir"
    exit 0
    ;;
  start) ;;
  *) die "unknown action '$action' (start or stop)" ;;
esac

[ -n "$pgbin" ] || die "PostgreSQL server binaries not found (package postgresql)"
stop_cluster "$dir"
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

run_as=()
owner=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  owner=postgres
  if ! id postgres >/dev/null 2>&1; then
    useradd --system --home-dir /var/lib/postgresql --shell /bin/sh postgres >&2
  fi
  run_as=(runuser -u postgres --)
fi

cluster="$dir/cluster.d"
if [ ${#run_as[@]} -gt 0 ] && ! "${run_as[@]}" test -x "$dir"; then
  cluster=$(mktemp -d /tmp/orvane-pg.XXXXXX)
  echo "$cluster" >"$dir/cluster"
fi
mkdir -p "$cluster"
[ ${#run_as[@]} -eq 0 ] || chown "$owner" "$cluster"

password=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
pwfile="$cluster/superuser.pw"
"${run_as[@]}" sh -c "umask 077; printf '%s\n' '$password' >'$pwfile'"
"${run_as[@]}" "$pgbin/initdb" -D "$cluster/data" -U postgres -E UTF8 --locale=C.UTF-8 \
  --auth-local=trust --auth-host=scram-sha-256 --pwfile="$pwfile" >"$cluster/initdb.log" 2>&1 \
  || { cat "$cluster/initdb.log" >&2; die "initdb failed"; }

# The control script: `ctl start`, `ctl stop`, as the right account, with the settings
# kept in the cluster's own configuration so that a restart finds the same port.
cat >"$dir/ctl" <<EOF
#!/bin/sh
exec ${run_as[*]} "$pgbin/pg_ctl" -D "$cluster/data" -l "$cluster/server.log" -w -t 30 "\$@"
EOF
chmod 755 "$dir/ctl"

started=
for _ in 1 2 3 4 5; do
  port=$(free_port) || die "no free port"
  "${run_as[@]}" sh -c "cat >>'$cluster/data/postgresql.conf'" <<EOF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$cluster'
fsync = off
EOF
  if "$dir/ctl" start >/dev/null 2>&1; then started=1; break; fi
done
[ -n "$started" ] || { cat "$cluster/server.log" >&2 || true; die "the server did not start"; }

user=orvane
database=orvane_test
psql=("${run_as[@]}" "$pgbin/psql" -X -q -v ON_ERROR_STOP=1 -h "$cluster" -p "$port" -U postgres -d postgres)
"${psql[@]}" -c "CREATE ROLE $user LOGIN PASSWORD '$password';" >&2
"${psql[@]}" -c "CREATE DATABASE $database OWNER $user;" >&2

echo "export ORVANE_TEST_PG_CONNECT='DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=$port;DATABASE=$database;UID=$user;PWD=$password;'"
echo "export ORVANE_TEST_PG_CTL='$dir/ctl'"
