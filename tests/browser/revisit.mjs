// Visits pages of a served archive twice in one headless Chromium profile and
// counts the full 200 responses the server sent on each visit, through a
// small proxy that reads the status line of every response. With
// --browse-validators (or --browse-modern) the second visit should fetch
// almost nothing again whole.
//
// Usage: node revisit.mjs PROGRAM ARCHIVE OPTIONS PAGE...
// OPTIONS: the server's options, space-separated ("" for none). Prints one
// line per visit and a JSON summary line.
import { mkdtempSync, rmSync } from "node:fs";
import { createServer, connect } from "node:net";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { chromium } from "playwright-core";
import { browserFlags, chromiumPath, startServer, stopServer } from "./program.mjs";

const [program, archive, optionText, ...pages] = process.argv.slice(2);
const options = optionText.split(" ").filter((option) => option !== "");
const proxyPort = 18090;
const pageLoadMs = 30000;
// Between the visits: long enough that what the browser keeps fresh for a
// tenth of the time since Last-Modified has to be asked about again.
const pauseBetweenVisitsMs = 2000;

// Every connection forwarded to the server; the status of each response on it
// counted. A persistent connection carries several, one after the other: each
// head is read for its status and Content-Length, and that many body bytes
// skipped (none after a 304 or a HEAD, which this visit never sends).
const statuses = [];
const proxy = createServer((client) => {
  const upstream = connect(8078, "127.0.0.1");
  let pending = Buffer.alloc(0);
  let bodyLeft = 0;
  upstream.on("data", (chunk) => {
    pending = Buffer.concat([pending, chunk]);
    for (;;) {
      if (bodyLeft > 0) {
        const skipped = Math.min(bodyLeft, pending.length);
        pending = pending.subarray(skipped);
        bodyLeft -= skipped;
        if (bodyLeft > 0) return;
      }
      const end = pending.indexOf("\r\n\r\n");
      if (end < 0) return;
      const head = pending.subarray(0, end).toString("latin1");
      pending = pending.subarray(end + 4);
      const status = head.slice(0, head.indexOf("\r\n")).split(" ")[1];
      statuses.push(status);
      const length = /\r\ncontent-length: *(\d+)/i.exec(head);
      bodyLeft = status === "304" || !length ? 0 : Number(length[1]);
    }
  });
  client.pipe(upstream).pipe(client);
  client.on("error", () => upstream.destroy());
  upstream.on("error", () => client.destroy());
});

const server = startServer(program, archive, options);
const profile = mkdtempSync(join(tmpdir(), "pelorine-revisit-"));
let browser;
let failed = false;
try {
  await server.listening;
  await new Promise((resolve) => proxy.listen(proxyPort, "127.0.0.1", resolve));
  browser = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath(), headless: true, args: browserFlags,
  });
  const page = browser.pages()[0] ?? (await browser.newPage());
  const counts = [];
  for (const visit of [1, 2]) {
    statuses.length = 0;
    for (const path of pages) {
      await page.goto(`http://127.0.0.1:${proxyPort}/${path}`, { waitUntil: "load",
                                                                  timeout: pageLoadMs });
      await page.waitForLoadState("networkidle", { timeout: pageLoadMs });
    }
    const tally = {};
    for (const status of statuses) tally[status] = (tally[status] ?? 0) + 1;
    counts.push(tally["200"] ?? 0);
    console.log(`visit ${visit}: ${statuses.length} responses, by status ${JSON.stringify(tally)}`);
    await new Promise((resolve) => setTimeout(resolve, pauseBetweenVisitsMs));
  }
  const fewer = counts[0] === 0 ? 0 : 1 - counts[1] / counts[0];
  console.log(`summary: ${JSON.stringify({ options, pages: pages.length, first200: counts[0],
                                           second200: counts[1],
                                           fewerPercent: +(fewer * 100).toFixed(1) })}`);
} catch (error) {
  console.error(`FAIL: ${error?.stack ?? error}`);
  failed = true;
} finally {
  if (browser) await browser.close().catch(() => {});
  proxy.close();
  await stopServer(server);
  rmSync(profile, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
