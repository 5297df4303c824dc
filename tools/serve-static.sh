#!/usr/bin/env bash
# serve-static.sh ROOT STATE_DIR
#
# Serves the folder ROOT with nginx on a free loopback port, with a
# configuration, logs and pid of its own in STATE_DIR, as an update server
# would (any static web server will do). Prints the port once nginx answers.
# The access log (STATE_DIR/logs/access.log) has one line per request:
# "<connection number> <uri> <status>". Stop it with: kill "$(cat STATE_DIR/nginx.pid)".
set -euo pipefail
root=$(cd "$1" && pwd)
state=$(mkdir -p "$2" && cd "$2" && pwd)
mkdir -p "$state/logs"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat > "$state/nginx.conf" <<CONF
# Workers run as the caller, so that a private temporary folder is readable.
user $(id -un);
daemon off;
worker_processes 1;
pid $state/nginx.pid;
error_log $state/logs/error.log;
events { worker_connections 64; }
http {
  log_format conn '\$connection \$request_uri \$status';
  access_log $state/logs/access.log conn;
  client_body_temp_path $state/body;
  proxy_temp_path $state/proxy;
  fastcgi_temp_path $state/fastcgi;
  uwsgi_temp_path $state/uwsgi;
  scgi_temp_path $state/scgi;
  sendfile on;
  keepalive_requests 100000;
  keepalive_timeout 300s;
  server {
    listen 127.0.0.1:$port;
    root $root;
  }
}
CONF
nginx -p "$state" -c "$state/nginx.conf" </dev/null >/dev/null 2>&1 &
for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && { echo "$port"; exit 0; }
  sleep 0.05
done
echo "serve-static: nginx did not start (see $state/logs/error.log)" >&2
exit 1
