// Loads pages in headless Chromium from several servers, each in a fresh
// profile (nothing cached, no connection open), and prints the median time
// to the load event per server and its ratio to the last server's. One
// round first warms the servers (the system's file cache, the compressed
// bodies) and is not counted.
//
// Usage: node bench/pageload.mjs LOADS NAME=PORT... -- PAGE...
// Every page is loaded LOADS times from each server, the servers taking turns
// within each round so that a change of load on the machine touches all alike.
import { existsSync } from "node:fs";
import { createRequire } from "node:module";

const require = createRequire(new URL("../tests/browser/package.json", import.meta.url));
const { chromium } = require("playwright-core");

const args = process.argv.slice(2);
const loads = Number(args[0]);
const split = args.indexOf("--");
const servers = args.slice(1, split).map((text) => {
  const [name, port] = text.split("=");
  return { name, port: Number(port), times: [] };
});
const pages = args.slice(split + 1);
const pageLoadMs = 60000;

function chromiumPath() {
  for (const path of ["/usr/bin/chromium", "/usr/lib/chromium/chromium"]) {
    if (existsSync(path)) return path;
  }
  throw new Error("chromium is not installed (scripts/install-deps.sh test)");
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

const browser = await chromium.launch({
  executablePath: chromiumPath(),
  args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run"],
});
try {
  for (let round = -1; round < loads; ++round) {
    for (const page of pages) {
      const order = round % 2 !== 0 ? [...servers].reverse() : servers;
      for (const server of order) {
        const context = await browser.newContext();
        const tab = await context.newPage();
        await tab.goto(`http://127.0.0.1:${server.port}/${page}`, { waitUntil: "load", timeout: pageLoadMs });
        const ms = await tab.evaluate(() => {
          const [entry] = performance.getEntriesByType("navigation");
          return entry.loadEventEnd - entry.startTime;
        });
        if (round >= 0) server.times.push({ page, ms });
        await context.close();
      }
    }
  }
} finally {
  await browser.close();
}

const last = servers[servers.length - 1];
for (const page of pages) {
  const line = servers.map((server) => {
    const ms = median(server.times.filter((t) => t.page === page).map((t) => t.ms));
    return `${server.name} ${ms.toFixed(0)} ms`;
  });
  console.log(`${page}: ${line.join("  ")}`);
}
for (const server of servers) {
  const all = median(server.times.map((t) => t.ms));
  const reference = median(last.times.map((t) => t.ms));
  // The ratio of medians per page, then their median: every page counts alike.
  const ratios = pages.map((page) =>
    median(server.times.filter((t) => t.page === page).map((t) => t.ms)) /
    median(last.times.filter((t) => t.page === page).map((t) => t.ms)));
  console.log(`${server.name}: median load ${all.toFixed(0)} ms, ` +
              `median per-page ratio to ${last.name} ${median(ratios).toFixed(2)}`);
}
