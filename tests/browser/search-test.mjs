// The search page in headless Chromium: the example site served with
// --browse-search and an empty cache folder; a word typed into the search box
// gives results (once the index is built: the page refreshes itself until
// then), and the first result opens its page.
//
// Usage: node search-test.mjs PROGRAM SITE_FOLDER ARTIFACT_FOLDER
import { spawn, spawnSync } from "node:child_process";
import { existsSync, mkdirSync, mkdtempSync, readdirSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { chromium } from "playwright-core";

const [program, site, artifacts] = process.argv.slice(2);
const searchPage = "http://localhost:8078/.pelorine/search";
const word = "nautical";
const expectedTitle = "Lighthouses";
const expectedPath = "/docs/guide/lighthouses.html";
// Where each wait gives up, so that the test always ends.
const serverStartMs = 15000;
const pageLoadMs = 30000;
const resultsMs = 30000;
const serverStopMs = 10000;
const browserFlags = [
  "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
  "--disable-background-networking", "--disable-component-update", "--disable-sync",
];

const problems = [];
const scratch = mkdtempSync(join(tmpdir(), "pelorine-search-"));
let server;
let browser;

function chromiumPath() {
  for (const path of ["/usr/bin/chromium", "/usr/lib/chromium/chromium"]) {
    if (existsSync(path)) return path;
  }
  throw new Error("chromium is not installed (scripts/install-deps.sh test)");
}

function startServer(archive) {
  const child = spawn(program, ["--console", "--browse-search", "--browse-archive", archive,
                                "--browse"],
                      { env: { ...process.env, XDG_CACHE_HOME: join(scratch, "cache") } });
  let output = "";
  let errors = "";
  child.stdout.on("data", (chunk) => (output += chunk));
  child.stderr.on("data", (chunk) => (errors += chunk));
  const exited = new Promise((resolve) => child.on("exit", (code) => resolve(code)));
  const listening = new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`server did not start: ${output}${errors}`)),
                             serverStartMs);
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
  return { child, exited, listening };
}

async function stopServer() {
  if (server.child.exitCode !== null) return;
  server.child.kill("SIGTERM");
  const code = await Promise.race([
    server.exited,
    new Promise((resolve) => setTimeout(() => resolve("still running"), serverStopMs)),
  ]);
  if (code !== 0) problems.push(`server ended with ${code} after SIGTERM`);
}

try {
  const archive = join(scratch, "site.pel");
  const compile = spawnSync(program, ["--console", "--compile-source", site,
                                      "--compile-archive", archive, "--compile"]);
  if (compile.status !== 0) throw new Error(`compile failed: ${compile.stderr}`);
  server = startServer(archive);
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
  if (server) await stopServer();
  rmSync(scratch, { recursive: true, force: true });
}

for (const problem of problems) console.error(`FAIL: ${problem}`);
console.log(problems.length === 0 ? "1 passed, 0 failed" : "0 passed, 1 failed");
process.exit(problems.length === 0 ? 0 : 1);
