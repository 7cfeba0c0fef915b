#!/usr/bin/env bash
# ZentrikWin.exe with vorn_KovReport.dll under Wine against the real
# zentrik-service: starts the service on loopback with a fresh database, the
# user marie and her catalogue, runs the Windows scenario, then checks that
# the service's journal holds what happened.
# Usage: service_e2e.sh <zentrik-service> <wine> <service_e2e_tests.exe> <ZentrikWin.exe> <vorn_KovReport.dll>
set -euo pipefail
service=$1 wine=$2 tests=$3 program=$4 plugin=$5
[ -x "$service" ] || { echo "no $service: build the native preset first"; exit 77; }
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
db="$work/zentrik.db"
printf 'mot de passe \xc3\xa9\n' | "$service" user add marie --display "Marie Dupont" --database "$db" --password-cost minimal
"$service" catalogue add marie "Réunion équipe" "Projet A" --database "$db"
"$service" --port 0 --listen 127.0.0.1 --database "$db" --password-cost minimal > "$work/out" &
pid=$!
for _ in $(seq 100); do grep -q "listening on port" "$work/out" && break; sleep 0.1; done
port=$(sed -n 's/.*listening on port \([0-9]*\),.*/\1/p' "$work/out")
[ -n "$port" ] || { echo "the service did not start"; exit 1; }

"$wine" "$tests" "$program" "$plugin" "$port"

# The journal, in order: what the service saw of the day.
kinds=$(sqlite3 "$db" "SELECT group_concat(kind || ':' || task, ' | ') FROM (SELECT kind, task FROM journal ORDER BY id)")
echo "journal: $kinds"
for event in "2:Réunion équipe" "0:Réunion équipe" "4:" "1:Réunion équipe"; do
    case " | $kinds | " in *" | $event | "*) ;; *) echo "missing journal entry $event"; exit 1 ;; esac
done
kill -TERM "$pid"
wait "$pid"
