-- For bench/library: wrk fetches one page of an archive that is recompiled
-- meanwhile. Each whole body ends with "BENCH-VERSION <n> END"; a body
-- without it (short, or another page) is counted as wrong.
local threads = {}

setup = function(thread)
    table.insert(threads, thread)
end

init = function()
    wrong = 0
    right = 0
end

response = function(status, headers, body)
    if status == 200 and body:find("BENCH%-VERSION %d+ END%s*$") then
        right = right + 1
    else
        wrong = wrong + 1
    end
end

done = function(summary, latency, requests)
    local right, wrong = 0, 0
    for _, thread in ipairs(threads) do
        right = right + thread:get("right")
        wrong = wrong + thread:get("wrong")
    end
    local errors = summary.errors
    io.write(string.format(
        'WRK-JSON {"requests": %d, "whole_bodies": %d, "wrong_bodies": %d, "connect_errors": %d, ' ..
        '"read_errors": %d, "write_errors": %d, "status_errors": %d, "timeouts": %d}\n',
        summary.requests, right, wrong, errors.connect, errors.read, errors.write, errors.status,
        errors.timeout))
end
