// What the browser tests and bench scripts share: Chromium's path and flags,
// and the program serving an archive from the console, started and stopped
// with every wait bounded.
import { spawn } from "node:child_process";
import { existsSync } from "node:fs";

export const browserFlags = [
  "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
  "--disable-background-networking", "--disable-component-update", "--disable-sync",
];

export function chromiumPath() {
  for (const path of ["/usr/bin/chromium", "/usr/lib/chromium/chromium"]) {
    if (existsSync(path)) return path;
  }
  throw new Error("chromium is not installed (scripts/install-deps.sh test)");
}

// Starts `program` serving `archive` with `options`; `listening` settles once
// it prints its start page (rejected when it exits or startMs pass first).
export function startServer(program, archive, options = [],
                            { env = process.env, startMs = 15000 } = {}) {
  const child = spawn(program, ["--console", ...options, "--browse-archive", archive, "--browse"],
                      { env });
  let output = "";
  let errors = "";
  child.stdout.on("data", (chunk) => (output += chunk));
  child.stderr.on("data", (chunk) => (errors += chunk));
  const exited = new Promise((resolve) => child.on("exit", (code) => resolve(code)));
  const listening = new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`server did not start: ${output}${errors}`)),
                             startMs);
    child.stdout.on("data", () => {
      if (output.includes("Start page: ")) {
        clearTimeout(timer);
        resolve();
      }
    });
    exited.then((code) => {
      clearTimeout(timer);
      reject(new Error(`server exited with ${code}: ${errors}`));
    });
  });
  listening.catch(() => {});  // reported by whoever awaits it
  return { child, exited, listening };
}

// Stops a server started above with SIGTERM: its exit status, "still running"
// after stopMs, or null when it had already ended (its end is reported where
// it was awaited).
export async function stopServer(server, stopMs = 10000) {
  if (server.child.exitCode !== null || server.child.signalCode !== null) return null;
  server.child.kill("SIGTERM");
  return Promise.race([
    server.exited,
    new Promise((resolve) => setTimeout(() => resolve("still running"), stopMs)),
  ]);
}

// Stops the server as above, noting among `problems` an end other than exit 0.
export async function stopServing(server, problems) {
  const code = await stopServer(server);
  if (code !== null && code !== 0) problems.push(`server ended with ${code} after SIGTERM`);
}

// Ends a test: each problem on standard error, the tally, and the exit status.
export function reportAndExit(problems) {
  for (const problem of problems) console.error(`FAIL: ${problem}`);
  console.log(problems.length === 0 ? "1 passed, 0 failed" : "0 passed, 1 failed");
  process.exit(problems.length === 0 ? 0 : 1);
}
