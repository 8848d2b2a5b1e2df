# Shared by bench/serve and bench/serve-variants: the nginx they compare
# against, the load, and the servers' CPU time. Sourced, not run.

# Writes DIR/nginx.conf: nginx serving ROOT on 127.0.0.1:PORT in the
# foreground, `sendfile on`, no access log, its files kept under DIR; EXTRA,
# when given, is added to its http block (say, gzip on).
write_nginx_conf() { # dir port root [extra]
    local dir=$1 port=$2 root=$3 extra=${4:-}
    mkdir -p "$dir"
    cat >"$dir/nginx.conf" <<CONF
daemon off;
master_process on;
worker_processes auto;
pid $dir/nginx.pid;
error_log $dir/error.log warn;
events { worker_connections 4096; }
http {
    include /etc/nginx/mime.types;
    default_type application/octet-stream;
    access_log off;
    sendfile on;
    client_body_temp_path $dir/body;
    proxy_temp_path $dir/proxy;
    fastcgi_temp_path $dir/fastcgi;
    uwsgi_temp_path $dir/uwsgi;
    scgi_temp_path $dir/scgi;
    $extra
    server {
        listen 127.0.0.1:$port;
        root $root;
    }
}
CONF
}

# One wrk load of URL, one request per connection, with the JSON summary line
# of bench/wrk-report.lua at the end of its output.
run_wrk() { # url connections threads duration
    wrk -t"$3" -c"$2" -d"$4" --latency -H 'Connection: close' \
        -s "$(dirname "${BASH_SOURCE[0]}")/wrk-report.lua" "$1"
}

# User plus system time of PIDS so far, in clock ticks.
cpu_ticks() { # pid...
    local pid total=0 fields
    for pid in "$@"; do
        # Fields after the command name: utime and stime are the 14th and 15th.
        fields=$(sed 's/^.*) //' "/proc/$pid/stat" 2>/dev/null) || continue
        # shellcheck disable=SC2086
        set -- $fields
        total=$((total + ${12} + ${13}))
    done
    echo "$total"
}
