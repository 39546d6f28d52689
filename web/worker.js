// The page's worker: it loads the module and converts the page's drops with
// it, one file after another, telling the page what the runner's events say:
// a drop started, a file's progress, each output file (sent once, then its
// memory freed in the module), a file's line, the drop done. A cancel message
// is read between files: the file being converted finishes, no other starts.
// A drop whose options do not stand (in the command line's words) is
// refused whole, before anything is converted.
//
// Messages in:  {kind: "drop", files: [{name, file: File}], emptyFolders: [name], options}
//               {kind: "cancel"}
// Messages out: {kind: "ready", extensions} | {kind: "failed", reason}
//               {kind: "dropStarted", files} | {kind: "progress", file, done, total}
//               {kind: "output", file, path, bytes, crc} | {kind: "info", file, info}
//               {kind: "fileDone", file, line, status} | {kind: "dropDone", resultText, converted, lines}
//               {kind: "aborted"} (the drops given up) | {kind: "idle"} (no drop left)
"use strict";

const InputRoot = "/in";
const OutputRoot = "/out";

let module = null;
let cancelRequested = false;
let running = false;
const drops = [];
let currentFile = -1;

self.FramelotProgress = (done, total) => postMessage({ kind: "progress", file: currentFile, done, total });

function call(name, types, args) {
  const returns = name === "FramelotFileCrc32" ? "number" : "string";
  return module.ccall(name, returns, types, args);
}

// Every file below `folder`, as paths relative to it.
function filesBelow(folder, prefix = "") {
  const found = [];
  for (const name of module.FS.readdir(folder)) {
    if (name === "." || name === "..") continue;
    const path = folder + "/" + name;
    const relative = prefix ? prefix + "/" + name : name;
    if (module.FS.isDir(module.FS.stat(path).mode)) found.push(...filesBelow(path, relative));
    else found.push(relative);
  }
  return found;
}

function removeTree(folder) {
  if (!module.FS.analyzePath(folder).exists) return;
  for (const name of module.FS.readdir(folder)) {
    if (name === "." || name === "..") continue;
    const path = folder + "/" + name;
    if (module.FS.isDir(module.FS.stat(path).mode)) removeTree(path);
    else module.FS.unlink(path);
  }
  module.FS.rmdir(folder);
}

// The outputs a file's conversion made, sent to the page; each is then
// emptied (its name stays, so that a later file of the drop with the same
// output is skipped, as on the desktop).
function sendOutputs(file) {
  for (const relative of filesBelow(OutputRoot)) {
    const path = OutputRoot + "/" + relative;
    if (module.FS.stat(path).size === 0) continue;
    const crc = call("FramelotFileCrc32", ["string"], [path]) >>> 0;
    const bytes = module.FS.readFile(path);
    postMessage({ kind: "output", file, path: relative, bytes, crc }, [bytes.buffer]);
    module.FS.writeFile(path, new Uint8Array(0));
  }
}

const betweenFiles = () => new Promise((resolve) => setTimeout(resolve, 0));

async function convertDrop(drop) {
  removeTree(OutputRoot);
  module.FS.mkdir(OutputRoot);
  const o = drop.options;
  // Options that do not stand, or names every file would share: refused
  // before anything is converted, in the command line's words.
  const paths = drop.files.map(({ name }, i) => InputRoot + "/" + i + "/" + name).join("\n");
  const refusal = call("FramelotCheckDrop", ["string", "string", "number", "number", "string"],
    [paths, OutputRoot, o.makeFolder ? 1 : 0, o.sheet ? 1 : 0, o.arguments || ""]);
  if (refusal) {
    postMessage({ kind: "dropStarted", files: 0 });
    postMessage({ kind: "dropDone", resultText: call("FramelotResultText", ["number"], [0]), converted: 0, lines: [refusal] });
    return true;
  }
  postMessage({ kind: "dropStarted", files: drop.files.length });
  const lines = [];
  let converted = 0;
  for (let i = 0; i < drop.files.length; ++i) {
    await betweenFiles();
    if (cancelRequested) return false;
    currentFile = i;
    const { name, file } = drop.files[i];
    const folder = InputRoot + "/" + i;
    removeTree(folder);
    module.FS.mkdirTree(folder);
    const source = folder + "/" + name;
    module.FS.writeFile(source, new Uint8Array(await file.arrayBuffer()));
    const result = JSON.parse(call("FramelotConvert",
      ["string", "string", "number", "number", "string"],
      [source, OutputRoot, o.makeFolder ? 1 : 0, o.sheet ? 1 : 0, o.arguments || ""]));
    if (result.error) {
      postMessage({ kind: "failed", reason: result.error });
      return false;
    }
    if (result.status === "converted" || result.status === "damaged") {
      ++converted;
      postMessage({ kind: "info", file: i, info: JSON.parse(call("FramelotDescribe", ["string"], [source])) });
    }
    sendOutputs(i);
    removeTree(folder);
    lines.push(result.line);
    postMessage({ kind: "fileDone", file: i, line: result.line, status: result.status });
  }
  for (const folder of drop.emptyFolders) lines.push(call("FramelotEmptyFolderText", ["string"], [folder]));
  postMessage({ kind: "dropDone", resultText: call("FramelotResultText", ["number"], [converted]), converted, lines });
  return true;
}

async function runDrops() {
  running = true;
  let aborted = false;
  while (drops.length > 0) {
    const drop = drops.shift();
    if (!(await convertDrop(drop))) {
      drops.length = 0;
      aborted = cancelRequested;
      if (aborted) postMessage({ kind: "aborted" });
    }
  }
  cancelRequested = false;
  running = false;
  if (!aborted) postMessage({ kind: "idle" });
}

onmessage = (event) => {
  const message = event.data;
  if (message.kind === "cancel") {
    if (running) cancelRequested = true;
  } else if (message.kind === "drop") {
    drops.push(message);
    if (!running && module) runDrops();
  }
};

createFramelot({ print() {}, printErr() {}, onAbort: (what) => postMessage({ kind: "failed", reason: String(what) }) })
  .then((loaded) => {
    module = loaded;
    module.FS.mkdirTree(InputRoot);
    postMessage({ kind: "ready", extensions: call("FramelotExtensions", [], []).split(",") });
    if (drops.length > 0) runDrops();
  }, (error) => postMessage({ kind: "failed", reason: "the converter cannot start: " + error }));
