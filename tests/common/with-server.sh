#!/usr/bin/env bash
# Runs a test program inside a throwaway PostgreSQL cluster of its own: made
# in a temporary folder by pg_virtualenv (which works as root with -t), on a
# port nobody listens on, and dropped afterwards. The program finds it through
# PGHOST, PGPORT, PGUSER, PGPASSWORD and PGDATABASE; PGVERSION and
# PG_CLUSTER_CONF_ROOT let it stop and start the cluster ("regress").
set -u
port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
for _ in 1 2 3 4 5 6 7 8; do
    port=$((20000 + RANDOM % 40000))
    port_in_use "$port" || break
done
# The cluster's log says why a server did not start.
PGPORT="$port" exec pg_virtualenv -t "$@"
