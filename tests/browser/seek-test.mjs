// Seeks in a large stored video through the program's server in headless
// Chromium: with --browse-modern, setting currentTime to 80 % of the video's
// length must fire "seeked" and land there in every round, while the
// server's resident memory stays under its bound. With an nginx port, each
// round also seeks on nginx serving the same files, rounds interleaved, and
// the medians are printed for bench/seek.
//
// Usage: node seek-test.mjs PROGRAM CACHE_FOLDER [ROUNDS] [NGINX_PORT]
// The video (made with ffmpeg) and its archive are kept in CACHE_FOLDER and
// made only when missing.
import { spawnSync } from "node:child_process";
import { existsSync, mkdirSync, readFileSync, renameSync, rmSync, statSync, writeFileSync }
  from "node:fs";
import { join } from "node:path";
import { chromium } from "playwright-core";
import { browserFlags, chromiumPath, reportAndExit, startServer, stopServing }
  from "./program.mjs";

const [program, cache, roundsText = "3", nginxPort] = process.argv.slice(2);
const rounds = Number(roundsText);
const pelorineBase = "http://localhost:8078";
const options = ["--browse-modern"];
// The video: noise, so that nothing compresses it and the archive stores it
// as it is; a keyframe every second. Six seconds are encoded and repeated, so
// that making it takes seconds, not minutes.
const video = "noise-180s.webm";
const seconds = 180;
const segmentSeconds = 6;
const smallestVideoBytes = 150 * 1024 * 1024;
const seekFraction = 0.8;
// Where the seek may land: Chromium puts currentTime exactly where asked.
const landingToleranceSeconds = 0.1;
const residentLimitBytes = 100 * 1024 * 1024;
const residentSampleMs = 20;
const seekWaitMs = 30000;
const pageLoadMs = 30000;

const problems = [];
let server;
let browser;

function run(command, args) {
  const result = spawnSync(command, args, { stdio: ["ignore", "ignore", "pipe"] });
  if (result.error) throw new Error(`${command}: ${result.error.message}`);
  if (result.status !== 0) throw new Error(`${command} ${args.join(" ")}: ${result.stderr}`);
}

// The site (one page and the video) and its archive, made once per cache folder.
function siteAndArchive() {
  const site = join(cache, "site");
  const archive = join(cache, "site.pel");
  if (existsSync(archive)) return { site, archive };
  mkdirSync(site, { recursive: true });
  writeFileSync(join(site, "seek.html"), `<!DOCTYPE html>\n<title>Seek</title>\n` +
                `<video id="video" src="${video}" preload="metadata" muted></video>\n`);
  const segment = join(cache, "segment.webm");
  run("ffmpeg", ["-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                 "color=c=gray:s=320x180:r=25,noise=alls=100:allf=t+u", "-t", `${segmentSeconds}`,
                 "-c:v", "libvpx", "-deadline", "realtime", "-cpu-used", "16", "-b:v", "8M",
                 "-g", "25", "-an", segment]);
  run("ffmpeg", ["-hide_banner", "-loglevel", "error", "-y", "-stream_loop",
                 `${seconds / segmentSeconds - 1}`, "-i", segment, "-c", "copy",
                 join(site, video)]);
  rmSync(segment);
  const size = statSync(join(site, video)).size;
  if (size < smallestVideoBytes) throw new Error(`the video has only ${size} bytes`);
  run(program, ["--console", "--compile-source", site, "--compile-archive", `${archive}.new`,
                "--compile"]);
  renameSync(`${archive}.new`, archive);
  return { site, archive };
}

function residentBytes(pid) {
  try {
    const status = readFileSync(`/proc/${pid}/status`, "latin1");
    return Number(/VmRSS:\s+(\d+) kB/.exec(status)?.[1] ?? 0) * 1024;
  } catch {
    return 0;
  }
}

// Opens the page in a fresh context (nothing cached), waits for the video's
// length, seeks to the fraction and times it until "seeked".
async function seekOnce(base) {
  const context = await browser.newContext();
  try {
    const page = await context.newPage();
    await page.goto(`${base}/seek.html`, { waitUntil: "load", timeout: pageLoadMs });
    return await page.evaluate(async ({ fraction, waitMs }) => {
      const element = document.getElementById("video");
      const event = (name) => new Promise((resolve, reject) => {
        element.addEventListener(name, resolve, { once: true });
        element.addEventListener("error", () => reject(new Error(`video error ${element.error?.code}`)),
                                 { once: true });
        setTimeout(() => reject(new Error(`no ${name} within ${waitMs} ms`)), waitMs);
      });
      if (element.readyState < 1) await event("loadedmetadata");
      const target = element.duration * fraction;
      const seeked = event("seeked");
      const start = performance.now();
      element.currentTime = target;
      await seeked;
      return { duration: element.duration, target, landed: element.currentTime,
               ms: performance.now() - start };
    }, { fraction: seekFraction, waitMs: seekWaitMs });
  } finally {
    await context.close();
  }
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

let sampler;
let mostResident = 0;
try {
  const { archive } = siteAndArchive();
  server = startServer(program, archive, options);
  await server.listening;
  sampler = setInterval(() => {
    mostResident = Math.max(mostResident, residentBytes(server.child.pid));
  }, residentSampleMs);
  browser = await chromium.launch({ executablePath: chromiumPath(), headless: true,
                                    args: [...browserFlags, "--mute-audio"] });

  const servers = [["pelorine", pelorineBase]];
  if (nginxPort) servers.push(["nginx", `http://127.0.0.1:${nginxPort}`]);
  const times = Object.fromEntries(servers.map(([name]) => [name, []]));
  for (let round = 1; round <= rounds; ++round) {
    for (const [name, base] of servers) {
      try {
        const seek = await seekOnce(base);
        const landed = Math.abs(seek.landed - seek.target) <= landingToleranceSeconds;
        console.log(`round ${round} ${name}: duration ${seek.duration} s, asked ` +
                    `${seek.target.toFixed(2)} s, landed ${seek.landed.toFixed(2)} s in ` +
                    `${seek.ms.toFixed(0)} ms`);
        if (Math.abs(seek.duration - seconds) > 1) {
          problems.push(`${name}: the video lasts ${seek.duration} s`);
        }
        if (!landed) problems.push(`round ${round} ${name}: landed at ${seek.landed} s`);
        times[name].push(seek.ms);
      } catch (error) {
        problems.push(`round ${round} ${name}: ${error?.message ?? error}`);
      }
    }
  }
  mostResident = Math.max(mostResident, residentBytes(server.child.pid));
  const summary = { rounds, residentMiB: +(mostResident / 1048576).toFixed(1) };
  for (const [name] of servers) {
    summary[`${name}MedianMs`] = +median(times[name]).toFixed(0);
    summary[`${name}Ms`] = times[name].map((ms) => +ms.toFixed(0));
  }
  if (nginxPort) summary.ratio = +(summary.pelorineMedianMs / summary.nginxMedianMs).toFixed(2);
  console.log(`summary: ${JSON.stringify(summary)}`);
  if (mostResident >= residentLimitBytes) {
    problems.push(`the server's resident memory reached ${summary.residentMiB} MiB`);
  }
} catch (error) {
  problems.push(String(error?.stack ?? error));
} finally {
  clearInterval(sampler);
  if (browser) await browser.close().catch(() => {});
  if (server) await stopServing(server, problems);
}

reportAndExit(problems);
