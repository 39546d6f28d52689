// The page against the command line: for each file, the time from handing it
// to the page's file button to the page being idle again (the worker's one
// thread converting, and the frames handed to the page), against the command
// line converting it on one core; and the page's size as a server sends it
// (gzip). Prints a Markdown table; bench/run.py appends it to RESULTS.md.
//
//   node bench/web.mjs BUILD_WEB_DIR FRAMELOT_CLI FILE...
import { spawnSync } from "node:child_process";
import { createServer } from "node:http";
import { copyFileSync, existsSync, mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { basename, extname, join, resolve } from "node:path";
import { gzipSync } from "node:zlib";
import { createRequire } from "node:module";
import { fileURLToPath } from "node:url";

const require = createRequire(import.meta.url);
const here = fileURLToPath(new URL(".", import.meta.url));
const puppeteer = require(resolve(here, "../tests/web/node_modules/puppeteer-core"));
const [webDir, cli, ...files] = process.argv.slice(2).map((p) => resolve(p));
const Rounds = parseInt(process.env.BENCH_ROUNDS || "3", 10);
const median = (values) => values.sort((a, b) => a - b)[Math.floor(values.length / 2)];

const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm", ".css": "text/css" };
const server = createServer((request, response) => {
  const name = new URL(request.url, "http://x").pathname.slice(1) || "index.html";
  const path = join(webDir, name);
  if (name.includes("..") || !existsSync(path)) return response.writeHead(404).end();
  response.writeHead(200, { "Content-Type": types[extname(name)] || "application/octet-stream" });
  response.end(readFileSync(path));
});
await new Promise((r) => server.listen(0, "127.0.0.1", r));
const browser = await puppeteer.launch({ executablePath: "/usr/bin/chromium", headless: true, args: ["--no-sandbox"] });
const page = await browser.newPage();
await page.goto(`http://127.0.0.1:${server.address().port}/index.html`);
await page.waitForFunction(() => window.FramelotPage && window.FramelotPage.state.extensions.length > 0);

const work = mkdtempSync(join(tmpdir(), "framelot-web-bench-"));
const rows = [];
for (const file of files) {
  const web = [], native = [];
  for (let round = 0; round <= Rounds; ++round) {  // round 0 warms up
    const input = await page.$("#files");
    const started = Date.now();
    await input.uploadFile(file);
    await page.waitForFunction(() => window.FramelotPage.state.busy, { polling: 5 }).catch(() => {});
    await page.waitForFunction(() => !window.FramelotPage.state.busy, { polling: 5, timeout: 600000 });
    const webSeconds = (Date.now() - started) / 1000;
    const out = mkdtempSync(join(work, "out-"));
    const copy = join(out, basename(file));
    copyFileSync(file, copy);
    const t = process.hrtime.bigint();
    spawnSync("taskset", ["-c", "0", cli, "--folder", copy], { stdio: "ignore" });
    const nativeSeconds = Number(process.hrtime.bigint() - t) / 1e9;
    rmSync(out, { recursive: true, force: true });
    if (round > 0) {
      web.push(webSeconds);
      native.push(nativeSeconds);
    }
  }
  rows.push([basename(file), median(web), median(native)]);
}
await browser.close();
server.close();
rmSync(work, { recursive: true, force: true });

const size = (names) => names.reduce((sum, n) => sum + gzipSync(readFileSync(join(webDir, n))).length, 0);
const site = size(["index.html", "style.css", "zip.js", "app.js", "worker.js", "framelot.js", "framelot.wasm"]);
const single = size(["framelot.html"]);
console.log("| file | page s | command line s (one core) | page / command line |");
console.log("|---|---:|---:|---:|");
for (const [name, web, native] of rows) {
  console.log(`| ${name} | ${web.toFixed(2)} | ${native.toFixed(2)} | ${(web / native).toFixed(2)} |`);
}
console.log(`\nThe page as a server sends it (gzip): ${(site / 1048576).toFixed(2)} MiB for the site, ` +
  `${(single / 1048576).toFixed(2)} MiB for framelot.html.`);
