// Loads the example site through the program's own server in headless
// Chromium, with several kilobytes of cookies on every request, and fails if
// any page, style sheet, script or image does not arrive whole. Then serves
// it again with the opt-in options for today's browsers, under which an SVG
// image must show and a link to a page whose name holds a space must open.
//
// Usage: node site-test.mjs PROGRAM SITE_FOLDER ARTIFACT_FOLDER
import { spawnSync } from "node:child_process";
import { cpSync, existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync }
  from "node:fs";
import { tmpdir } from "node:os";
import { connect } from "node:net";
import { join } from "node:path";
import { chromium } from "playwright-core";
import { browserFlags, chromiumPath, reportAndExit, startServer, stopServing }
  from "./program.mjs";

const [program, site, artifacts] = process.argv.slice(2);
const startPage = "http://localhost:8078/index.html";
// Where each wait gives up, so that the test always ends.
const pageLoadMs = 30000;
// Two cookies near the usual per-cookie limit: the request then holds more
// header bytes than the server reads in one receive.
const cookieBytes = 3500;
const checkedTypes = new Set(["document", "stylesheet", "script", "image"]);
// A page added to a copy of the site, large enough that its tail is still on
// its way when the server closes the connection.
const longPage = "long-page.html";
const longPageParagraphs = 4000;
// Browsers open connections before they need them and may leave them unused
// for up to about ten seconds; a request sent on one must still be answered.
const preconnected = 4;
const preconnectIdleMs = 5000;
// Added to the copy of the site for the opt-in options.
const optInOptions = ["--browse-standard-types", "--browse-decode-paths"];
const optInPage = "today/logo-page.html";
const spacedTitle = "A page with a space";
const optInFiles = {
  "today/logo-page.html": `<!DOCTYPE html>\n<title>Logo</title>\n` +
    `<img id="logo" src="logo.svg" alt="logo">\n<a id="spaced" href="a page.html">next</a>\n`,
  "today/logo.svg": `<svg xmlns="http://www.w3.org/2000/svg" width="120" height="40">` +
    `<rect width="120" height="40" fill="teal"/></svg>\n`,
  "today/a page.html": `<!DOCTYPE html>\n<title>${spacedTitle}</title>\n<p>Arrived.</p>\n`,
};

const problems = [];
const scratch = mkdtempSync(join(tmpdir(), "pelorine-browser-"));
let server;
let browser;

// A connection opened now and used later, as a browser's preconnection:
// send(request) gives everything the server sent before closing.
function preconnect() {
  const socket = connect(8078, "127.0.0.1");
  const opened = new Promise((resolve, reject) => {
    socket.once("connect", resolve);
    socket.once("error", reject);
  });
  const chunks = [];
  socket.on("data", (chunk) => chunks.push(chunk));
  const ended = new Promise((resolve) => socket.once("close", () => resolve(Buffer.concat(chunks))));
  socket.on("error", () => {});
  return {
    opened,
    async send(request) {
      socket.write(request);
      return ended;
    },
  };
}

try {
  const tree = join(scratch, "site");
  cpSync(site, tree, { recursive: true });
  const paragraphs = Array.from({ length: longPageParagraphs },
                                (_, n) => `<p id="p${n}">Paragraph ${n} of the long page.</p>`);
  writeFileSync(join(tree, longPage),
                `<!DOCTYPE html>\n<title>Long page</title>\n${paragraphs.join("\n")}\n`);
  mkdirSync(join(tree, "today"));
  for (const [name, text] of Object.entries(optInFiles)) writeFileSync(join(tree, name), text);
  const archive = join(scratch, "site.pel");
  const compile = spawnSync(program, ["--console", "--compile-source", tree,
                                      "--compile-archive", archive, "--compile"]);
  if (compile.status !== 0) throw new Error(`compile failed: ${compile.stderr}`);

  server = startServer(program, archive);
  await server.listening;
  const idleSockets = Array.from({ length: preconnected }, preconnect);
  await Promise.all(idleSockets.map((socket) => socket.opened));
  const idleSince = Date.now();

  browser = await chromium.launchPersistentContext(join(scratch, "profile"), {
    executablePath: chromiumPath(),
    headless: true,
    args: browserFlags,
    viewport: { width: 1000, height: 900 },
  });
  await browser.addCookies([1, 2].map((n) => ({
    name: `notes${n}`, value: "c".repeat(cookieBytes), url: "http://localhost:8078",
  })));

  const seen = [];
  browser.on("requestfailed", (request) => {
    if (checkedTypes.has(request.resourceType())) {
      problems.push(`${request.url()} failed: ${request.failure()?.errorText}`);
    }
  });
  // Bodies are taken as they arrive: a page's resources are gone once the
  // browser has moved on to the next page.
  browser.on("response", (response) => seen.push({
    response, body: response.body().catch((error) => Buffer.from(`unreadable: ${error}`)),
  }));

  const page = browser.pages()[0] ?? (await browser.newPage());
  await page.goto(startPage, { waitUntil: "load", timeout: pageLoadMs });
  await page.waitForLoadState("networkidle", { timeout: pageLoadMs });

  const title = await page.title();
  if (title !== "Harbour Lights Field Notes") problems.push(`title is "${title}"`);
  if ((await page.getAttribute("#menu", "class")) !== "open") problems.push("the script did not run");
  const broken = await page.$$eval("img", (images) =>
    images.filter((image) => !image.complete || image.naturalWidth === 0).map((image) => image.src));
  for (const src of broken) problems.push(`image not shown: ${src}`);

  mkdirSync(artifacts, { recursive: true });
  await page.screenshot({ path: join(artifacts, "example-site.png"), fullPage: true });
  console.log(`screenshot: ${join(artifacts, "example-site.png")}`);

  await page.goto(`http://localhost:8078/${longPage}`, { waitUntil: "load", timeout: pageLoadMs });
  if (!(await page.$(`#p${longPageParagraphs - 1}`))) {
    problems.push(`${longPage}: its last paragraph did not arrive`);
  }

  // Every page, style sheet, script and image: status 200, sent with the
  // cookies, and byte for byte the file it was compiled from.
  const types = new Set();
  for (const { response, body: bodyPromise } of seen) {
    const request = response.request();
    if (!checkedTypes.has(request.resourceType())) continue;
    types.add(request.resourceType());
    const path = decodeURIComponent(new URL(response.url()).pathname).replace(/^\/+/, "");
    const cookie = (await request.allHeaders()).cookie ?? "";
    if (cookie.length < 2 * cookieBytes) problems.push(`${path}: sent without the large cookie`);
    if (response.status() !== 200) problems.push(`${path}: status ${response.status()}`);
    const file = join(tree, path);
    if (!existsSync(file)) {
      problems.push(`${path}: no such file in the site`);
      continue;
    }
    const body = await bodyPromise;
    if (!body.equals(readFileSync(file))) problems.push(`${path}: body differs from the file`);
  }
  for (const type of checkedTypes) {
    if (!types.has(type)) problems.push(`no ${type} was loaded`);
  }
  console.log(`checked ${seen.length} responses of types ${[...types].join(", ")}`);

  // The connections opened before the page loaded, idle since: each still
  // answers a request for one of the page's resources, whole.
  await new Promise((resolve) => setTimeout(resolve, idleSince + preconnectIdleMs - Date.now()));
  const resources = ["index.html", ...new Set(seen.map(({ response }) => response.url()))
    .values()].map((url) => url.replace(/^http:\/\/localhost:8078\//, ""))
    .filter((path) => existsSync(join(tree, decodeURIComponent(path))));
  for (let i = 0; i < preconnected; ++i) {
    const path = resources[i % resources.length];
    const received = await idleSockets[i].send(`GET /${path} HTTP/1.1\r\nHost: localhost\r\n\r\n`);
    const body = received.subarray(received.indexOf("\r\n\r\n") + 4);
    if (!received.toString("latin1").startsWith("HTTP/1.1 200 OK") ||
        !body.equals(readFileSync(join(tree, decodeURIComponent(path))))) {
      problems.push(`${path} on a connection idle for ${preconnectIdleMs} ms: ` +
                    `${received.length} bytes received`);
    }
  }
  // The same archive served with the opt-in options.
  await stopServing(server, problems);
  server = startServer(program, archive, optInOptions);
  await server.listening;
  await page.goto(`http://localhost:8078/${optInPage}`, { waitUntil: "load", timeout: pageLoadMs });
  const logoWidth = await page.$eval("#logo", (image) => image.complete ? image.naturalWidth : 0);
  if (!(logoWidth > 0)) problems.push(`${optInPage}: the SVG image is not shown`);
  await Promise.all([page.waitForNavigation({ waitUntil: "load", timeout: pageLoadMs }),
                     page.click("#spaced")]);
  const spacedPage = await page.title();
  if (spacedPage !== spacedTitle) problems.push(`the link to "a page.html" led to "${spacedPage}"`);
  console.log(`with ${optInOptions.join(" ")}: SVG image ${logoWidth} pixels wide, ` +
              `linked page "${spacedPage}"`);
} catch (error) {
  problems.push(String(error?.stack ?? error));
} finally {
  if (browser) await browser.close().catch(() => {});
  if (server) await stopServing(server, problems);
  rmSync(scratch, { recursive: true, force: true });
}

reportAndExit(problems);
