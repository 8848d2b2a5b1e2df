// The search page in headless Chromium: the example site served with
// --browse-search and an empty cache folder; a word typed into the search box
// gives results (once the index is built: the page refreshes itself until
// then), and the first result opens its page.
//
// Usage: node search-test.mjs PROGRAM SITE_FOLDER ARTIFACT_FOLDER
import { spawnSync } from "node:child_process";
import { mkdirSync, mkdtempSync, readdirSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { chromium } from "playwright-core";
import { browserFlags, chromiumPath, reportAndExit, startServer, stopServing }
  from "./program.mjs";

const [program, site, artifacts] = process.argv.slice(2);
const searchPage = "http://localhost:8078/.pelorine/search";
const word = "nautical";
const expectedTitle = "Lighthouses";
const expectedPath = "/docs/guide/lighthouses.html";
// Where each wait gives up, so that the test always ends.
const pageLoadMs = 30000;
const resultsMs = 30000;

const problems = [];
const scratch = mkdtempSync(join(tmpdir(), "pelorine-search-"));
let server;
let browser;

try {
  const archive = join(scratch, "site.pel");
  const compile = spawnSync(program, ["--console", "--compile-source", site,
                                      "--compile-archive", archive, "--compile"]);
  if (compile.status !== 0) throw new Error(`compile failed: ${compile.stderr}`);
  server = startServer(program, archive, ["--browse-search"],
                       { env: { ...process.env, XDG_CACHE_HOME: join(scratch, "cache") } });
  await server.listening;

  browser = await chromium.launchPersistentContext(join(scratch, "profile"), {
    executablePath: chromiumPath(),
    headless: true,
    args: browserFlags,
    viewport: { width: 1000, height: 900 },
  });
  const page = browser.pages()[0] ?? (await browser.newPage());
  await page.goto(searchPage, { waitUntil: "load", timeout: pageLoadMs });
  await page.fill("input[name=q]", word);
  await Promise.all([page.waitForNavigation({ waitUntil: "load", timeout: pageLoadMs }),
                     page.press("input[name=q]", "Enter")]);
  await page.waitForSelector("#results li a", { timeout: resultsMs });
  mkdirSync(artifacts, { recursive: true });
  await page.screenshot({ path: join(artifacts, "search-results.png"), fullPage: true });
  console.log(`screenshot: ${join(artifacts, "search-results.png")}`);
  const marked = await page.$$eval("#results mark", (marks) => marks.map((mark) => mark.textContent));
  if (!marked.some((text) => text.toLowerCase() === word)) {
    problems.push(`"${word}" is not marked in the snippets: ${JSON.stringify(marked)}`);
  }
  await Promise.all([page.waitForNavigation({ waitUntil: "load", timeout: pageLoadMs }),
                     page.click("#results li a")]);
  const opened = new URL(page.url()).pathname;
  if (opened !== expectedPath) problems.push(`the first result opened ${opened}`);
  const title = await page.title();
  if (title !== expectedTitle) problems.push(`the first result's page is titled "${title}"`);
  console.log(`searched "${word}", first result ${opened} "${title}"`);
  const kept = readdirSync(join(scratch, "cache", "pelorine"));
  if (kept.length !== 1 || !kept[0].endsWith(".sqlite")) {
    problems.push(`the cache folder holds ${JSON.stringify(kept)}`);
  }
} catch (error) {
  problems.push(String(error?.stack ?? error));
} finally {
  if (browser) await browser.close().catch(() => {});
  if (server) await stopServing(server, problems);
  rmSync(scratch, { recursive: true, force: true });
}

reportAndExit(problems);
