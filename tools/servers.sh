# Sourced by the test and benchmark scripts: the real servers from Debian that the network tests
# and benchmarks talk to, each on a free port and in a private folder, in the foreground so that
# the caller can end it by its process id.
#
#   servers_start_nginx DIR      a static site from DIR/www (the feed goes in DIR/www/xml/index.xml),
#                                gzip on, ETag and Last-Modified as nginx gives them, every request
#                                logged to DIR/access.log (the validators it brought and the
#                                Last-Modified it got); sets NGINX_PORT and NGINX_PID
#   servers_start_tinyproxy DIR  a proxy that logs every request to DIR/tinyproxy.log; sets
#                                TINYPROXY_PORT and TINYPROXY_PID
#   servers_export NGINX_DIR [TINYPROXY_DIR]
#                                the servers' addresses and files for the Windows programs
#                                (PELIKANT_NGINX, PELIKANT_NGINX_ROOT, PELIKANT_NGINX_LOG,
#                                PELIKANT_TINYPROXY, PELIKANT_TINYPROXY_LOG)

servers_free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Waits until something listens on the port.
servers_wait_port() {
    local i
    for i in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        sleep 0.05
    done
    echo "nothing listens on port $1" >&2
    return 1
}

# The folder as Wine's programs see it (drive Z: is the Linux root).
servers_windows_path() {
    echo "Z:$1" | tr '/' '\\'
}

servers_start_nginx() {
    local dir=$1
    mkdir -p "$dir/www/xml" "$dir/temp"
    NGINX_PORT=$(servers_free_port)
    cat >"$dir/nginx.conf" <<EOF
daemon off;
master_process off;
pid $dir/nginx.pid;
error_log $dir/error.log;
events { worker_connections 64; }
http {
    log_format poll '\$status \$body_bytes_sent \$bytes_sent \$request_length "\$http_if_none_match" '
                    '"\$http_if_modified_since" "\$sent_http_last_modified" "\$http_accept_encoding" '
                    '"\$http_user_agent" \$request_uri';
    access_log $dir/access.log poll;
    client_body_temp_path $dir/temp/body;
    proxy_temp_path $dir/temp/proxy;
    fastcgi_temp_path $dir/temp/fastcgi;
    uwsgi_temp_path $dir/temp/uwsgi;
    scgi_temp_path $dir/temp/scgi;
    types { application/xml xml; application/x-ns-proxy-autoconfig pac; }
    default_type application/octet-stream;
    gzip on;
    gzip_types application/xml;
    # Requests that came through the test proxy are compressed too.
    gzip_proxied any;
    server {
        listen 127.0.0.1:$NGINX_PORT;
        root $dir/www;
        index index.xml;
    }
}
EOF
    nginx -c "$dir/nginx.conf" -p "$dir" 2>"$dir/start.log" &
    NGINX_PID=$!
    servers_wait_port "$NGINX_PORT"
}

servers_start_tinyproxy() {
    local dir=$1
    mkdir -p "$dir"
    TINYPROXY_PORT=$(servers_free_port)
    cat >"$dir/tinyproxy.conf" <<EOF
Port $TINYPROXY_PORT
Listen 127.0.0.1
Allow 127.0.0.1
Timeout 60
MaxClients 20
LogFile "$dir/tinyproxy.log"
LogLevel Info
EOF
    : >"$dir/tinyproxy.log"
    tinyproxy -d -c "$dir/tinyproxy.conf" >"$dir/start.log" 2>&1 &
    TINYPROXY_PID=$!
    servers_wait_port "$TINYPROXY_PORT"
}

servers_export() {
    export PELIKANT_NGINX="http://127.0.0.1:$NGINX_PORT"
    PELIKANT_NGINX_ROOT=$(servers_windows_path "$1/www")
    PELIKANT_NGINX_LOG=$(servers_windows_path "$1/access.log")
    export PELIKANT_NGINX_ROOT PELIKANT_NGINX_LOG
    if [ -n "${2:-}" ]; then
        export PELIKANT_TINYPROXY="127.0.0.1:$TINYPROXY_PORT"
        PELIKANT_TINYPROXY_LOG=$(servers_windows_path "$2/tinyproxy.log")
        export PELIKANT_TINYPROXY_LOG
    fi
}
