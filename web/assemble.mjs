// Puts the site together in the web build folder: index.html and its files
// beside the module (framelot.js, framelot.wasm), which the worker loads, and
// the drop state's small module (framelot-state.js), which the page loads; and
// framelot.html, one file with all of it inside (the worker and the module as
// text), which works opened from disk, offline.
//
//   node web/assemble.mjs SOURCE_DIR BUILD_DIR
import { readFileSync, writeFileSync, copyFileSync } from "node:fs";
import { join } from "node:path";

const [source, build] = process.argv.slice(2);
const read = (folder, name) => readFileSync(join(folder, name), "utf8");

for (const name of ["index.html", "app.js", "zip.js", "style.css"]) copyFileSync(join(source, name), join(build, name));
writeFileSync(join(build, "worker.js"), 'importScripts("framelot.js");\n' + read(source, "worker.js"));

// The one file: no origin to load from, so its policy allows nothing but
// what is inside it.
const worker = read(build, "framelot-single.js") + "\n" + read(source, "worker.js");
const policy = "default-src 'none'; script-src 'unsafe-inline' 'wasm-unsafe-eval'; worker-src blob:; " +
  "img-src blob:; style-src 'unsafe-inline'";
let html = read(source, "index.html")
  .replace(/<meta http-equiv="Content-Security-Policy" content="[^"]*">/, `<meta http-equiv="Content-Security-Policy" content="${policy}">`)
  .replace('<link rel="stylesheet" href="style.css">', () => `<style>\n${read(source, "style.css")}</style>`)
  .replace('<script src="zip.js"></script>', () => `<script>\n${read(source, "zip.js")}</script>`)
  .replace('<script src="framelot-state.js"></script>', () => `<script>\n${read(build, "framelot-state.js")}</script>`)
  .replace('<script src="app.js"></script>', () =>
    `<script type="text/plain" id="worker-source">${Buffer.from(worker).toString("base64")}</script>\n` +
    `<script>\n${read(source, "app.js")}</script>`);
writeFileSync(join(build, "framelot.html"), html);
