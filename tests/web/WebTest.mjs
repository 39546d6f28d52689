// The page in Debian's Chromium, served from 127.0.0.1 and opened as the one
// file from disk. Files go in as a person puts them in: a drop on the drop
// area (files, and a folder) through the browser's own drag data, and the file
// button. Checked: the zip the page downloads holds, for each format and a
// Unicode name, frames byte for byte equal to the Linux command line's; a
// still and a damaged file give the command line's lines; a cancelled drop
// keeps the finished files whole and has nothing of the rest; "Save to
// folder" writes the same tree (on the origin-private file system, through
// the same API) and a second save skips every file; no request leaves the
// page. A screenshot of the page after a drop is kept beside the build.
//
//   node tests/web/WebTest.mjs BUILD_WEB_DIR FRAMELOT_CLI
import { spawnSync } from "node:child_process";
import { createServer } from "node:http";
import { copyFileSync, existsSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, extname, join, relative, resolve } from "node:path";
import { fileURLToPath } from "node:url";
import puppeteer from "puppeteer-core";

const here = dirname(fileURLToPath(import.meta.url));
const [webDir, cli] = process.argv.slice(2).map((p) => resolve(p));
const corpus = resolve(process.env.FRAMELOT_CORPUS || join(here, "../../../shared/corpus"));
const samples = join(here, "../samples");
const Timeout = 60000;

let passed = 0, failed = 0;
function check(ok, what) {
  if (ok) ++passed;
  else {
    ++failed;
    console.log("FAILED: " + what);
  }
}

// ---- inputs, copied out of the suites, and the command line's frames ----
const work = mkdtempSync(join(tmpdir(), "framelot-web-"));
const inputs = join(work, "in");
mkdirSync(inputs);
const picks = [
  ["anim.gif", join(corpus, "gif-peterdn/gifs/animated_loop_variable_delay.gif")],
  ["ball.png", join(corpus, "image-rs-image/apng/ball.png")],
  ["anim.webp", join(corpus, "sdwebimage-webpcoder/images/TestImageAnimated.webp")],
  ["two.avif", join(samples, "two-frames-8x8.avif")],
  ["three.jxl", join(samples, "three-frames-4x4.jxl")],
  ["アニメ é.gif", join(corpus, "gif-peterdn/gifs/animated_loop_variable_delay.gif")],
];
const names = [];
for (const [name, from] of picks) {
  if (!existsSync(from)) {
    console.log("skipping " + name + ": " + from + " is not here");
    continue;
  }
  copyFileSync(from, join(inputs, name));
  names.push(name);
}
// A still PNG (one pixel) and a GIF cut in the middle.
writeFileSync(join(inputs, "still.png"), Buffer.from(
  "89504e470d0a1a0a0000000d4948445200000001000000010806000000" +
  "1f15c4890000000d49444154789c6360f8cfc0000003010100c9fe92ef0000000049454e44ae426082", "hex"));
const gif = readFileSync(join(inputs, names.find((n) => n.endsWith(".gif")) || names[0]));
writeFileSync(join(inputs, "cut.gif"), gif.subarray(0, Math.floor(gif.length * 0.6)));
// A GIF that declares two frames of 65535 x 65535: over the pixel limit, said
// in the command line's words, never a crashed tab.
const frameOf = (x) => [0x2c, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0, 2, 2, 0x4c, x, 0];
writeFileSync(join(inputs, "huge.gif"), Buffer.from([...Buffer.from("GIF89a"), 0xff, 0xff, 0xff, 0xff, 0x80, 0, 0,
  0, 0, 0, 255, 255, 255, ...frameOf(1), ...frameOf(1), 0x3b]));
const dropped = [...names, "still.png", "cut.gif", "huge.gif"];

function cliRun(args) {
  const run = spawnSync(cli, args, { encoding: "utf8" });
  return { status: run.status, lines: run.stdout.trim().split("\n"), stderr: run.stderr };
}
const reference = join(work, "reference");
const expected = cliRun(["--folder", "-o", reference, ...dropped.map((n) => join(inputs, n))]);

function tree(folder) {
  const files = new Map();
  const walk = (f) => {
    for (const name of readdirSync(f)) {
      const path = join(f, name);
      if (statSync(path).isDirectory()) walk(path);
      else files.set(relative(folder, path), readFileSync(path));
    }
  };
  if (existsSync(folder)) walk(folder);
  return files;
}
const referenceTree = tree(reference);
function sameTree(got, what) {
  const same = got.size === referenceTree.size &&
    [...referenceTree].every(([name, bytes]) => got.has(name) && Buffer.compare(got.get(name), bytes) === 0);
  check(same, what + ": " + [...got.keys()].sort().join(" ") + " against " + [...referenceTree.keys()].sort().join(" "));
}

// ---- the page's own server ----
const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm", ".css": "text/css" };
const served = [];
const server = createServer((request, response) => {
  const name = decodeURIComponent(new URL(request.url, "http://x").pathname).slice(1) || "index.html";
  served.push(name);
  const path = join(webDir, name);
  if (name.includes("..") || !existsSync(path)) {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, { "Content-Type": types[extname(name)] || "application/octet-stream" });
  response.end(readFileSync(path));
});
await new Promise((r) => server.listen(0, "127.0.0.1", r));
const origin = `http://127.0.0.1:${server.address().port}`;

const browser = await puppeteer.launch({
  executablePath: process.env.FRAMELOT_CHROMIUM || "/usr/bin/chromium",
  headless: true,
  args: ["--no-sandbox", "--disable-gpu", "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"],
});

async function openPage(url) {
  const page = await browser.newPage();
  const requests = [];
  page.on("request", (r) => requests.push(r.url()));
  page.on("dialog", (d) => d.accept());
  page.on("pageerror", (e) => console.log("page error: " + e.message));
  const downloads = mkdtempSync(join(work, "downloads-"));
  const session = await page.createCDPSession();
  await session.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: downloads });
  await page.goto(url, { waitUntil: "load" });
  await page.waitForFunction(() => window.FramelotPage && window.FramelotPage.state.extensions.length > 0, { timeout: Timeout });
  return { page, requests, downloads, session };
}

// Files dropped as the system's drag and drop hands them over: paths, which
// the browser turns into its own drag data (folders become folder entries).
async function drop(session, page, paths) {
  const box = await (await page.$("#drop")).boundingBox();
  const x = box.x + box.width / 2, y = box.y + box.height / 2;
  const data = { items: [], files: paths, dragOperationsMask: 1 };
  for (const type of ["dragEnter", "dragOver", "drop"]) await session.send("Input.dispatchDragEvent", { type, x, y, data });
}

const resultText = (page) => page.$eval("#result", (e) => e.textContent);
const lines = (page) => page.$$eval("#lines li", (items) => items.map((i) => i.textContent));
async function waitIdle(page) {
  await page.waitForFunction(() => !window.FramelotPage.state.busy, { timeout: Timeout });
}

async function downloadZip(page, downloads) {
  await page.click("#zip");
  const zip = join(downloads, "frames.zip");
  for (let i = 0; i < 600 && !(existsSync(zip) && !existsSync(zip + ".crdownload")); ++i) await new Promise((r) => setTimeout(r, 100));
  const out = join(downloads, "unzipped");
  rmSync(out, { recursive: true, force: true });
  const unzip = spawnSync("unzip", ["-q", "-o", zip, "-d", out], { env: { ...process.env, LC_ALL: "C.UTF-8" } });
  check(unzip.status === 0, "the zip unpacks: " + unzip.stderr);
  rmSync(zip, { force: true });
  return tree(out);
}

async function exercise(url, label, canSaveToFolder) {
  const { page, requests, downloads, session } = await openPage(url);
  const loaded = requests.length;

  // A drop of every file: the command line's lines and count, its frames.
  await drop(session, page, dropped.map((n) => join(inputs, n)));
  await waitIdle(page);
  const expectedLines = expected.lines.slice(0, -1).map((l) => l.replace(inputs + "/", "").replace(reference + "/", ""));
  check(JSON.stringify(await lines(page)) === JSON.stringify(expectedLines),
    `${label}: the lines are the command line's:\n${(await lines(page)).join("\n")}\nagainst\n${expectedLines.join("\n")}`);
  check(await resultText(page) === expected.lines.at(-1), `${label}: result text ${await resultText(page)}`);
  const thumbnails = await page.$$eval("#frames img", (images) => images.length);
  check(thumbnails === [...referenceTree.keys()].filter((n) => n.endsWith(".png")).length, `${label}: ${thumbnails} thumbnails`);
  mkdirSync(join(webDir, "test-artifacts"), { recursive: true });
  await page.screenshot({ path: join(webDir, "test-artifacts", label.replace(/\W+/g, "-") + ".png"), fullPage: true });
  sameTree(await downloadZip(page, downloads), `${label}: the zip holds the command line's frames`);

  // The file button takes the same files.
  const input = await page.$("#files");
  await input.uploadFile(join(inputs, names[0]));
  await waitIdle(page);
  check((await lines(page))[0] === expectedLines[0], `${label}: the file button converts as a drop`);

  // A folder stands for the animations directly inside it; one with none says so.
  const folder = join(work, "folder-" + label.replace(/\W+/g, "-"));
  mkdirSync(join(folder, "sub"), { recursive: true });
  copyFileSync(join(inputs, names[0]), join(folder, "b-" + names[0]));
  copyFileSync(join(inputs, names[0]), join(folder, "sub", names[0]));
  writeFileSync(join(folder, "notes.txt"), "x");
  const empty = join(work, "empty-" + label.replace(/\W+/g, "-"));
  mkdirSync(empty, { recursive: true });
  await drop(session, page, [folder, empty]);
  await new Promise((r) => setTimeout(r, 500));
  await waitIdle(page);
  const folderLines = await lines(page);
  const folderName = folder.split("/").pop();
  if (folderLines.some((l) => l.endsWith(": cannot read the folder") || l === "no animations in " + folderName)) {
    // The protocol's drag data gives folder entries that cannot be listed.
    console.log(`skipped: ${label}: a folder drop (this browser's drag data cannot list the dropped folder)`);
  } else {
    check(folderLines.length === 2 && folderLines[0].startsWith("b-" + names[0] + ": ") &&
      folderLines[1] === "no animations in " + empty.split("/").pop(), `${label}: a folder drop: ${folderLines.join(" | ")}`);
  }

  // Cancel: the first file finishes whole, no other is converted.
  const slow = join(corpus, "jxl-conformance/animation_spline/input.jxl");
  if (existsSync(slow)) {
    copyFileSync(slow, join(work, "slow.jxl"));
    await drop(session, page, [join(work, "slow.jxl"), ...names.slice(0, 3).map((n) => join(inputs, n))]);
    await page.waitForFunction(() => window.FramelotPage.state.converting, { timeout: Timeout });
    await page.click("#cancel");
    await waitIdle(page);
    const done = await lines(page);
    check(done.length >= 1 && done.length < 4 && done.at(-1).startsWith("cancelled"), `${label}: cancel: ${done.join(" | ")}`);
  }

  if (canSaveToFolder) {
    // Save to folder on the origin-private file system: the same tree, then
    // a second save skips every file.
    await drop(session, page, dropped.map((n) => join(inputs, n)));
    await waitIdle(page);
    const saved = await page.evaluate(async () => {
      const root = await navigator.storage.getDirectory();
      const folder = await root.getDirectoryHandle("saved", { create: true });
      const first = await window.FramelotPage.SaveInto(folder);
      const second = await window.FramelotPage.SaveInto(folder);
      const files = {};
      const walk = async (dir, prefix) => {
        for await (const [name, handle] of dir.entries()) {
          if (handle.kind === "directory") await walk(handle, prefix + name + "/");
          else {
            const bytes = new Uint8Array(await (await handle.getFile()).arrayBuffer());
            let text = "";
            for (const b of bytes) text += String.fromCharCode(b);
            files[prefix + name] = btoa(text);
          }
        }
      };
      await walk(folder, "");
      return { first, second, files };
    });
    sameTree(new Map(Object.entries(saved.files).map(([n, b]) => [n, Buffer.from(b, "base64")])),
      `${label}: Save to folder writes the command line's frames`);
    check(saved.second.length > 0 && saved.second.every((l) => l.includes(": skipped, output already exists: ")),
      `${label}: a second save skips every file: ${saved.second.join(" | ")}`);
  }

  if (canSaveToFolder) {
    // The sheet options of the panel reach the module through the command
    // line's own reader: the zip holds the command line's sheet and atlas.
    const sheetArguments = ["--sheet", "--trim", "--padding", "2", "--extrude", "1", "--max-size", "1024x1024", "--atlas", "hash"];
    const sheetReference = join(work, "sheet-reference");
    cliRun(["-o", sheetReference, ...sheetArguments, join(inputs, names[0])]);
    await page.click("#sheet");
    await page.click("#trim");
    await page.type("#padding", "2");
    await page.type("#extrude", "1");
    await page.type("#max-size", "1024x1024");
    await page.select("#atlas", "hash");
    await drop(session, page, [join(inputs, names[0])]);
    await waitIdle(page);
    const sheetZip = await downloadZip(page, downloads);
    const sheetTree = tree(sheetReference);
    check(sheetZip.size === sheetTree.size && [...sheetTree].every(([n, b]) => sheetZip.get(n)?.equals(b)),
      `${label}: the page's sheet is the command line's: ${[...sheetZip.keys()].join(" ")}`);
    // A combination the command line refuses is refused in its words, with
    // nothing converted: a sheet with WebP frames.
    await page.select("#format", "webp");
    await drop(session, page, [join(inputs, names[0])]);
    await waitIdle(page);
    const refusedSheet = cliRun(["--sheet", "--format", "webp", join(inputs, names[0])]);
    check(JSON.stringify(await lines(page)) === JSON.stringify(["--format sets the frame files' format: a sheet is PNG, an array is NumPy's"]) &&
      refusedSheet.status === 2 && refusedSheet.stderr.includes("--format sets the frame files' format") &&
      await resultText(page) === "0 file complete!", `${label}: a sheet of WebP frames is refused: ${(await lines(page)).join(" | ")}`);
    await page.select("#format", "png");
    await page.click("#sheet");
    await page.click("#trim");

    // Names without {name}, no folder a file: two files would share every
    // name, so the drop is refused before anything is written.
    await page.click("#make-folder");
    await page.type("#name", "f{index}");
    await drop(session, page, [join(inputs, names[0]), join(inputs, names[1])]);
    await waitIdle(page);
    const shared = await lines(page);
    check(shared.length === 1 && shared[0].startsWith("--name without {name} gives every file the same frame names, and ") &&
      await resultText(page) === "0 file complete!", `${label}: names every file shares are refused: ${shared.join(" | ")}`);
    await page.click("#make-folder");
    await page.$eval("#name", (e) => { e.value = ""; e.dispatchEvent(new Event("change")); });

    // Frames picked by time, named by a template and written as JPEG over a
    // background, as the command line does (the page's libjpeg-turbo,
    // without SIMD, encodes the system's bytes).
    const pickReference = join(work, "pick-reference");
    cliRun(["-o", pickReference, "--at", "0,0.5", "--name", "{name} {index:02}", "--start", "1", "--merge-held",
      "--timings", "csv", "--format", "jpeg", "--quality", "80", "--background", "#204080", join(inputs, names[0])]);
    await page.select("#format", "jpeg");
    await page.type("#quality", "80");
    await page.$eval("#background", (e) => { e.value = "#204080"; e.dispatchEvent(new Event("change")); });
    await page.select("#pick", "at");
    await page.type("#pick-value", "0,0.5");
    await page.type("#name", "{name} {index:02}");
    await page.type("#start", "1");
    await page.click("#merge-held");
    await page.select("#timings", "csv");
    await drop(session, page, [join(inputs, names[0])]);
    await waitIdle(page);
    const pickZip = await downloadZip(page, downloads);
    const pickTree = tree(pickReference);
    check(pickTree.size > 1 && [...pickTree.keys()].some((n) => n.endsWith("_timings.csv")) && [...pickTree.keys()].some((n) => n.endsWith(".jpg")) && pickZip.size === pickTree.size && [...pickTree].every(([n, b]) => pickZip.get(n)?.equals(b)),
      `${label}: the page picks and names frames as the command line does: ${[...pickZip.keys()].join(" ")} against ${[...pickTree.keys()].join(" ")}`);
    await page.select("#pick", "");
    await page.select("#timings", "");
    await page.select("#format", "png");
    await page.click("#merge-held");
    for (const field of ["#pick-value", "#name", "#start", "#quality"]) await page.$eval(field, (e) => { e.value = ""; e.dispatchEvent(new Event("change")); });
  }

  // Nothing but the page's own files was ever asked for, and nothing after
  // they had loaded.
  // Blob and data URLs are the page's own memory (thumbnails, the zip), not requests.
  const network = requests.filter((u) => !u.startsWith("blob:") && !u.startsWith("data:"));
  const own = (u) => u.startsWith(origin + "/") || u === url;
  check(network.every(own), `${label}: only the page's own files are loaded: ${network.filter((u) => !own(u)).join(" ")}`);
  check(network.length === requests.slice(0, loaded).filter((u) => !u.startsWith("blob:")).length,
    `${label}: no request after loading: ${network.join(" ")}`);
  await page.close();
}

try {
  await exercise(origin + "/index.html", "served", true);
  await exercise("file://" + join(webDir, "framelot.html"), "single file", false);
  const allowed = new Set(["index.html", "style.css", "zip.js", "framelot-state.js", "app.js", "worker.js", "framelot.js",
    "framelot.wasm", "favicon.ico"]);
  check(served.every((n) => allowed.has(n)), "the server was asked only for the page's files: " + served.join(" "));
} finally {
  await browser.close();
  server.close();
  if (!process.env.FRAMELOT_KEEP) rmSync(work, { recursive: true, force: true });
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
