-- Makes wrk end with one JSON line (prefixed "WRK-JSON ") that bench/serve reads.
done = function(summary, latency, requests)
    local errors = summary.errors
    io.write(string.format(
        'WRK-JSON {"requests": %d, "duration_us": %d, "bytes": %d, "connect_errors": %d, ' ..
        '"read_errors": %d, "write_errors": %d, "status_errors": %d, "timeouts": %d, ' ..
        '"latency_mean_us": %.1f, "latency_p50_us": %d, "latency_p99_us": %d, "latency_max_us": %d}\n',
        summary.requests, summary.duration, summary.bytes, errors.connect, errors.read,
        errors.write, errors.status, errors.timeout, latency.mean, latency:percentile(50),
        latency:percentile(99), latency.max))
end
