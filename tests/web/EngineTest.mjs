// Sprite sheets in the engines that load them, in Debian's Chromium: the
// command line splits a walking sprite into frame files and into sheets of
// several layouts; Phaser 3 (atlas from the array and hash forms, its
// multi-atlas for a spilled sheet, its Aseprite loader and animation) and
// PixiJS (its spritesheet loader) draw every frame, and the pixels read back
// equal the frame files. The stylesheet is applied and its boxes and
// keyframes read back; the Godot resource is read by a strict reader and its
// regions, margins and durations checked against the hash atlas of the same
// layout.
//
//   node tests/web/EngineTest.mjs FRAMELOT_CLI
import { spawnSync } from "node:child_process";
import { createServer } from "node:http";
import { existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, extname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";
import puppeteer from "puppeteer-core";
import { WriteGif } from "./GifWriter.mjs";
import { ReadGodotResource } from "./GodotResource.mjs";

const here = dirname(fileURLToPath(import.meta.url));
const cli = resolve(process.argv[2]);
const Timeout = 60000;

let passed = 0, failed = 0;
function check(ok, what) {
  if (ok) ++passed;
  else {
    ++failed;
    console.log("FAILED: " + what);
  }
}

// ---- the walk: 48 x 32, a figure stepping right with its legs apart and
// together, a held frame, an empty frame, delays of 60 to 200 ms ----
const Width = 48, Height = 32;
const palette = [[0, 0, 0], [230, 60, 40], [40, 160, 70], [30, 60, 200], [250, 220, 60]];
const frames = [];
for (let i = 0; i < 12; ++i) {
  const indices = new Uint8Array(Width * Height);
  const x0 = 2 + i * 3;
  const paint = (x, y, w, h, c) => {
    for (let yy = y; yy < y + h; ++yy) for (let xx = x; xx < x + w; ++xx) indices[yy * Width + xx] = c;
  };
  if (i !== 7) {
    paint(x0 + 3, 2, 6, 6, 4);                    // head
    paint(x0 + 2, 8, 8, 12, 1 + (i % 3));         // body
    paint(x0 + (i % 2 ? 1 : 3), 20, 3, 10, 3);    // legs
    paint(x0 + (i % 2 ? 8 : 6), 20, 3, 10, 3);
  }
  const held = i === 4;  // shows frame 3 again
  frames.push({ indices: held ? frames[3].indices : indices, delay: [6, 10, 20, 8][i % 4], disposal: 2, transparent: 0 });
}
const delaysMs = frames.map((f) => f.delay * 10);

const work = mkdtempSync(join(tmpdir(), "framelot-engines-"));
writeFileSync(join(work, "walk.gif"), WriteGif(Width, Height, palette, frames));
function cliRun(label, args) {
  const run = spawnSync(cli, ["-o", join(work, "out", label), ...args, join(work, "walk.gif")], { encoding: "utf8" });
  check(run.status === 0, `${label}: framelot-cli ${args.join(" ")}: ${run.stdout}${run.stderr}`);
  return run.stdout;
}
cliRun("frames", []);
const layouts = {
  done: ["--sheet", "--trim", "--padding", "2", "--extrude", "1", "--max-size", "1024x1024", "--atlas", "hash"],
  grid: ["--sheet", "--padding", "1", "--extrude", "2", "--columns", "5"],
  arrayTrim: ["--sheet", "--trim", "--pot", "--margin", "1"],
  spill: ["--sheet", "--trim", "--padding", "1", "--max-size", "40x40", "--atlas", "hash"],
  aseprite: ["--sheet", "--trim", "--padding", "1", "--atlas", "aseprite"],
  godot: ["--sheet", "--trim", "--padding", "1", "--atlas", "godot"],
  css: ["--sheet", "--trim", "--padding", "1", "--atlas", "css"],
  sameAsGodot: ["--sheet", "--trim", "--padding", "1", "--atlas", "hash"],
};
const lines = {};
for (const [label, args] of Object.entries(layouts)) lines[label] = cliRun(label, args);
// The held frame, and frames showing the same figure elsewhere, share cells.
check(/\d+ repeated frames share a cell \(\d+ cells for 12 frames\)/.test(lines.done), "repeats share cells: " + lines.done);
const spillSheets = readdirSync(join(work, "out/spill/walk")).filter((n) => n.endsWith(".png"));
check(spillSheets.length >= 2 && spillSheets.includes("walk_sheet-1.png"), "the 40 x 40 maximum spills: " + spillSheets);
const frameNames = frames.map((_, i) => `walk_${String(i).padStart(4, "0")}.png`);
const frameUrl = (name) => "/out/frames/walk/" + name;

// ---- the page: the engines from the npm registry, the outputs, and a harness ----
const modules = join(here, "node_modules");
const files = {
  "lib/phaser.js": join(modules, "phaser/dist/phaser.min.js"),
  "lib/pixi.js": join(modules, "pixi.js/dist/pixi.min.js"),
};
const harness = `<!doctype html><meta charset="utf-8"><body>
<script src="lib/phaser.js"></script><script src="lib/pixi.js"></script>
<script>
// Straight RGBA of an image file, as the browser decodes it.
async function filePixels(url) {
  const image = await createImageBitmap(await (await fetch(url)).blob(),
    { premultiplyAlpha: "none", colorSpaceConversion: "none" });
  const canvas = new OffscreenCanvas(image.width, image.height);
  const g = canvas.getContext("2d");
  g.drawImage(image, 0, 0);
  return { width: image.width, height: image.height, data: g.getImageData(0, 0, image.width, image.height).data };
}
// Where two ${Width} x ${Height} pictures differ first (transparent pixels are
// equal whatever their colour), or null.
function firstDifference(a, b) {
  for (let i = 0; i < a.length; i += 4) {
    if (a[i + 3] === 0 && b[i + 3] === 0) continue;
    if (a[i] !== b[i] || a[i + 1] !== b[i + 1] || a[i + 2] !== b[i + 2] || a[i + 3] !== b[i + 3]) {
      return "pixel " + (i / 4 % ${Width}) + "," + Math.floor(i / 4 / ${Width}) + ": " + [...a.slice(i, i + 4)] + " vs " + [...b.slice(i, i + 4)];
    }
  }
  return null;
}
// Phaser draws each named frame at (0, 0) with its origin at the top left
// (a trimmed frame lands at its offset); each drawing is compared with its file.
function phaserCheck(load, pairs) {
  return new Promise((done, failed) => {
    const problems = [];
    let durations = null;
    const game = new Phaser.Game({
      type: Phaser.CANVAS, width: ${Width}, height: ${Height}, transparent: true, banner: false,
      // Drawn 1:1 at whole pixels: no smoothing, and no rounding (which widens each drawing by half a pixel).
      antialias: false, roundPixels: false,
      audio: { noAudio: true },
      scene: {
        preload() {
          if (load.kind === "atlas") this.load.atlas("walk", load.image, load.json);
          if (load.kind === "multiatlas") this.load.multiatlas("walk", load.json, load.path);
          if (load.kind === "aseprite") this.load.aseprite("walk", load.image, load.json);
          this.load.on("loaderror", (file) => failed("cannot load " + file.src));
        },
        create() {
          if (load.kind === "aseprite") {
            const anims = this.anims.createFromAseprite("walk");
            durations = anims.length === 1 ? anims[0].frames.map((f) => f.duration) : "tags: " + anims.length;
          }
          const texture = this.textures.get("walk");
          const missing = pairs.filter((p) => !texture.has(p.frame)).map((p) => p.frame);
          if (missing.length > 0) problems.push("frames missing: " + missing);
          const image = this.add.image(0, 0, "walk", pairs[0].frame).setOrigin(0, 0);
          let i = 0;
          this.game.events.on("postrender", async () => {
            if (i >= pairs.length) return;
            const drawn = this.game.canvas.getContext("2d").getImageData(0, 0, ${Width}, ${Height}).data.slice();
            const pair = pairs[i++];
            if (i < pairs.length) image.setFrame(pairs[i].frame);
            const expected = await filePixels(pair.file);
            const difference = firstDifference(drawn, expected.data);
            if (difference) problems.push(pair.frame + ": " + difference);
            if (i === pairs.length) setTimeout(() => { game.destroy(true); done({ problems, durations }); }, 0);
          });
        },
      },
    });
  });
}
// PixiJS draws each frame of its spritesheet into a ${Width} x ${Height} texture.
async function pixiCheck(json, pairs) {
  const app = new PIXI.Application();
  await app.init({ width: ${Width}, height: ${Height}, backgroundAlpha: 0, preference: "webgl", antialias: false, autoStart: false });
  const sheet = await PIXI.Assets.load(json);
  sheet.textureSource.scaleMode = "nearest";
  const problems = [];
  for (const pair of pairs) {
    const texture = sheet.textures[pair.frame];
    if (!texture) { problems.push(pair.frame + " is missing"); continue; }
    const sprite = new PIXI.Sprite(texture);
    const target = PIXI.RenderTexture.create({ width: ${Width}, height: ${Height} });
    app.renderer.render({ container: sprite, target, clear: true, clearColor: [0, 0, 0, 0] });
    const { pixels } = app.renderer.extract.pixels(target);
    const expected = await filePixels(pair.file);
    const difference = firstDifference(pixels, expected.data);
    if (difference) problems.push(pair.frame + ": " + difference);
  }
  app.destroy();
  return { problems, renderer: app.renderer ? app.renderer.name : "webgl" };
}
// The stylesheet's box for each frame class, and the animation's keyframes.
async function cssCheck(sheet, entries) {
  const link = document.createElement("link");
  link.rel = "stylesheet";
  link.href = sheet;
  await new Promise((loaded, failed) => { link.onload = loaded; link.onerror = failed; document.head.append(link); });
  const boxes = {};
  for (const name of Object.keys(entries)) {
    const box = document.createElement("div");
    box.className = "walk " + name.replace(/\\.png$/, "");
    document.body.append(box);
    const s = getComputedStyle(box);
    const pad = (side) => parseFloat(s["padding" + side]);
    boxes[name] = { x: pad("Left"), y: pad("Top"), w: box.clientWidth - pad("Left") - pad("Right"),
      h: box.clientHeight - pad("Top") - pad("Bottom"), width: box.offsetWidth, height: box.offsetHeight,
      position: s.backgroundPosition, clip: s.backgroundClip };
    box.remove();
  }
  const player = document.createElement("div");
  player.className = "walk walk-play";
  document.body.append(player);
  const animation = player.getAnimations()[0];
  const timing = animation ? animation.effect.getComputedTiming() : {};
  const keyframes = animation ? animation.effect.getKeyframes().map((k) => Math.round(k.computedOffset * 1e4) / 1e4) : [];
  return { boxes, duration: timing.duration, iterations: String(timing.iterations), keyframes };
}
</script>`;

const served = [];
const server = createServer((request, response) => {
  const name = decodeURIComponent(new URL(request.url, "http://x").pathname).slice(1);
  served.push(name);
  if (name === "engine.html") {
    response.writeHead(200, { "Content-Type": "text/html" });
    response.end(harness);
    return;
  }
  const path = files[name] || (name.startsWith("out/") ? join(work, name) : null);
  if (!path || !existsSync(path)) {
    response.writeHead(404);
    response.end();
    return;
  }
  const types = { ".js": "text/javascript", ".png": "image/png", ".json": "application/json", ".css": "text/css" };
  response.writeHead(200, { "Content-Type": types[extname(path)] || "application/octet-stream" });
  response.end(readFileSync(path));
});
await new Promise((ready) => server.listen(0, "127.0.0.1", ready));
const origin = `http://127.0.0.1:${server.address().port}`;

const browser = await puppeteer.launch({
  executablePath: process.env.FRAMELOT_CHROMIUM || "/usr/bin/chromium",
  headless: true,
  // WebGL for PixiJS from the software renderer; no other host is reachable.
  args: ["--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
    "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"],
});
try {
  const page = await browser.newPage();
  page.setDefaultTimeout(Timeout);
  const errors = [];
  page.on("pageerror", (error) => errors.push(String(error)));
  await page.goto(origin + "/engine.html");
  await page.waitForFunction(() => window.Phaser && window.PIXI);

  const pairs = (prefix, names) => frameNames.map((file, i) => ({ frame: names ? names[i] : file, file: frameUrl(file) }));
  const phaser = async (label, load, names) => {
    const result = await page.evaluate((l, p) => phaserCheck(l, p), load, pairs(label, names));
    check(result.problems.length === 0, `Phaser ${label}: ` + result.problems.slice(0, 3).join("; "));
    return result;
  };
  const atlas = (label) => ({ kind: "atlas", image: `/out/${label}/walk/walk_sheet.png`, json: `/out/${label}/walk/walk_sheet.json` });
  await phaser("done", atlas("done"));
  await phaser("grid", atlas("grid"));
  await phaser("arrayTrim", atlas("arrayTrim"));
  await phaser("spill", { kind: "multiatlas", json: "/out/spill/walk/walk_sheet.json", path: "/out/spill/walk/" });
  const aseprite = await phaser("aseprite", { kind: "aseprite", image: "/out/aseprite/walk/walk_sheet.png",
    json: "/out/aseprite/walk/walk_sheet.json" }, frameNames.map((_, i) => String(i)));
  check(JSON.stringify(aseprite.durations) === JSON.stringify(delaysMs),
    "Phaser's Aseprite animation has the file's delays: " + JSON.stringify(aseprite.durations));

  // PixiJS reads the hash form.
  for (const label of ["done", "sameAsGodot"]) {
    const result = await page.evaluate((json, p) => pixiCheck(json, p), `/out/${label}/walk/walk_sheet.json`, pairs(label));
    check(result.problems.length === 0, `PixiJS ${label}: ` + result.problems.slice(0, 3).join("; "));
  }

  // The stylesheet: each frame's content box is where its pixels sit in the
  // frame, showing the sheet from the cell's corner; the keyframes change at
  // the frames' times.
  const cssHash = JSON.parse(readFileSync(join(work, "out/sameAsGodot/walk/walk_sheet.json"), "utf8")).frames;
  const css = await page.evaluate((sheet, entries) => cssCheck(sheet, entries), "/out/css/walk/walk_sheet.css", cssHash);
  for (const [name, entry] of Object.entries(cssHash)) {
    const box = css.boxes[name], s = entry.spriteSourceSize, f = entry.frame;
    const px = (n) => (n === 0 ? "0px" : `${-n}px`);
    check(box && box.x === s.x && box.y === s.y && box.w === s.w && box.h === s.h && box.width === Width &&
      box.height === Height && box.position === `${px(f.x)} ${px(f.y)}` && box.clip === "content-box",
      `CSS box of ${name}: ${JSON.stringify(box)} for ${JSON.stringify(entry)}`);
  }
  const total = delaysMs.reduce((a, b) => a + b, 0);
  let at = 0;
  const offsets = delaysMs.map((d) => { const o = at / total; at += d; return Math.round(o * 1e4) / 1e4; });
  check(css.duration === total && css.iterations === "Infinity" &&
    JSON.stringify(css.keyframes) === JSON.stringify([...offsets, 1]),
    `CSS animation: ${css.duration} ms x ${css.iterations}, keyframes ${css.keyframes} (expected ${offsets})`);

  // The Godot resource, read strictly, against the hash atlas of the same layout.
  const sections = ReadGodotResource(readFileSync(join(work, "out/godot/walk/walk_sheet.tres"), "utf8"));
  const head = sections[0], resource = sections[sections.length - 1];
  const externals = sections.filter((s) => s.tag === "ext_resource");
  const cells = Object.fromEntries(sections.filter((s) => s.tag === "sub_resource").map((s) => [s.attributes.id, s]));
  check(head.tag === "gd_resource" && head.attributes.type === "SpriteFrames" && head.attributes.format === 3 &&
    head.attributes.load_steps === sections.length - 1, "Godot heading: " + JSON.stringify(head));
  check(externals.length === 1 && externals[0].attributes.path === "walk_sheet.png" &&
    existsSync(join(work, "out/godot/walk/walk_sheet.png")), "Godot texture: " + JSON.stringify(externals));
  const animation = resource.tag === "resource" && resource.properties.animations[0];
  check(animation && animation.loop === true && animation.name.stringName === "default" && animation.speed.float &&
    animation.frames.length === frames.length, "Godot animation: " + JSON.stringify(animation).slice(0, 200));
  for (let i = 0; animation && i < animation.frames.length; ++i) {
    const frame = animation.frames[i], cell = cells[frame.texture.sub], entry = cssHash[frameNames[i]];
    const region = cell && cell.properties.region.rect2, margin = cell && cell.properties.margin?.rect2;
    const s = entry.spriteSourceSize, f = entry.frame, trimmed = s.w !== Width || s.h !== Height || s.x || s.y;
    check(cell && cell.attributes.type === "AtlasTexture" && cell.properties.atlas.ext === externals[0].attributes.id &&
      JSON.stringify(region) === JSON.stringify([f.x, f.y, f.w, f.h]) &&
      JSON.stringify(margin || null) === JSON.stringify(trimmed ? [s.x, s.y, Width - s.w, Height - s.h] : null) &&
      Math.abs(frame.duration.value * 1000 / animation.speed.value - delaysMs[i]) < 1e-6,
      `Godot frame ${i}: ${JSON.stringify({ region, margin, duration: frame.duration })} for ${JSON.stringify(entry)}`);
  }
  check(errors.length === 0, "page errors: " + errors.join("; "));
} finally {
  await browser.close();
  server.close();
}
check(served.every((n) => n === "engine.html" || n in files || n.startsWith("out/") || n === "favicon.ico"),
  "only the harness, the engines and the outputs were asked for: " + [...new Set(served)].join(", "));
if (failed === 0) rmSync(work, { recursive: true, force: true });
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
