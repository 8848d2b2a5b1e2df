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

// Every connection forwarded to the server; the first line of its answer counted.
const statuses = [];
const proxy = createServer((client) => {
  const upstream = connect(8078, "127.0.0.1");
  let head = "";
  upstream.on("data", (chunk) => {
    if (head !== null) {
      head += chunk.toString("latin1");
      const end = head.indexOf("\r\n");
      if (end >= 0) {
        statuses.push(head.slice(0, end).split(" ")[1]);
        head = null;
      }
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
