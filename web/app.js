// The page: the window in a browser. It takes drops (files and folders) and
// the file button's choice, hands them to the worker (worker.js), and draws
// what the worker tells: the bar across the drop, the result text and each
// file's line, every frame as a thumbnail. It saves the last drop's frames
// as a zip or, where the browser can write folders, into a folder the user
// picks, never over a file that is there. It converts nothing itself, and
// nothing it does sends a request.
"use strict";

const ProgressStepsPerFile = 1000;
const ForceExitQuestion = "Now processing...\nForce exit?";
const SettingsKey = "framelot.options";

const page = {
  dropArea: document.getElementById("drop"),
  text: document.getElementById("result"),
  bar: document.getElementById("progress"),
  lines: document.getElementById("lines"),
  frames: document.getElementById("frames"),
  choose: document.getElementById("choose"),
  input: document.getElementById("files"),
  cancel: document.getElementById("cancel"),
  zip: document.getElementById("zip"),
  save: document.getElementById("save"),
  makeFolder: document.getElementById("make-folder"),
  framesList: document.getElementById("frame-list"),
  declared: document.getElementById("declared"),
  sheet: document.getElementById("sheet"),
  columns: document.getElementById("columns"),
  trim: document.getElementById("trim"),
  padding: document.getElementById("padding"),
  extrude: document.getElementById("extrude"),
  maxSize: document.getElementById("max-size"),
  atlas: document.getElementById("atlas"),
  pick: document.getElementById("pick"),
  pickValue: document.getElementById("pick-value"),
  name: document.getElementById("name"),
  start: document.getElementById("start"),
  mergeHeld: document.getElementById("merge-held"),
  timings: document.getElementById("timings"),
  npy: document.getElementById("npy"),
  scale: document.getElementById("scale"),
  format: document.getElementById("format"),
  quality: document.getElementById("quality"),
  background: document.getElementById("background"),
};

const state = {
  worker: null,
  extensions: [],
  busy: false,
  files: 0, filesDone: 0, fileSteps: 0,
  outputs: [],         // the last drop's files: {path, blob, crc, source}
  results: [],         // the last drop's files: {line, status, file}
};

// ---- options, kept between visits in this browser only ----
function readOptions() {
  let saved = {};
  try { saved = JSON.parse(localStorage.getItem(SettingsKey) || "{}"); } catch (e) { saved = {}; }
  page.makeFolder.checked = saved.makeFolder !== false;
  page.framesList.value = saved.frames || "";
  page.declared.checked = !!saved.declaredCanvas;
  page.sheet.checked = !!saved.sheet;
  page.columns.value = saved.columns || "";
  page.trim.checked = !!saved.trim;
  page.padding.value = saved.padding || "";
  page.extrude.value = saved.extrude || "";
  page.maxSize.value = saved.maxSize || "";
  page.atlas.value = saved.atlas || "array";
  page.pick.value = saved.pick || "";
  page.pickValue.value = saved.pickValue || "";
  page.name.value = saved.name || "";
  page.start.value = saved.start || "";
  page.mergeHeld.checked = !!saved.mergeHeld;
  page.timings.value = saved.timings || "";
  page.npy.checked = !!saved.npy;
  page.scale.value = saved.scale || "";
  page.format.value = saved.format || (saved.webp ? "webp" : "png");
  page.quality.value = saved.quality || "";
  page.background.value = saved.background || "#ffffff";
}

function currentOptions() {
  return {
    makeFolder: page.makeFolder.checked,
    frames: page.framesList.value.trim(),
    declaredCanvas: page.declared.checked,
    sheet: page.sheet.checked,
    columns: parseInt(page.columns.value, 10) || 0,
    trim: page.trim.checked,
    padding: parseInt(page.padding.value, 10) || 0,
    extrude: parseInt(page.extrude.value, 10) || 0,
    maxSize: page.maxSize.value.trim(),
    atlas: page.atlas.value,
    pick: page.pick.value,
    pickValue: page.pickValue.value.trim(),
    name: page.name.value,
    start: page.start.value.trim(),
    mergeHeld: page.mergeHeld.checked,
    timings: page.timings.value,
    npy: page.npy.checked,
    scale: page.scale.value.trim(),
    format: page.format.value,
    quality: page.quality.value.trim(),
    background: page.background.value,
  };
}

// The options as the command line takes them, one argument a line; the
// module reads and checks them with the command line's own reader, and
// refuses what the command line refuses, in its words. Only the sheet's own
// options wait for the sheet to be chosen.
function commandArguments(o) {
  const words = [];
  if (o.frames) words.push("--frames", o.frames);
  if (o.declaredCanvas) words.push("--canvas", "declared");
  if (o.pick && o.pickValue) words.push("--" + o.pick, o.pickValue);
  if (o.name) words.push("--name", o.name);
  if (o.start) words.push("--start", o.start);
  if (o.scale && o.scale !== "1") words.push("--scale", o.scale);
  if (o.mergeHeld) words.push("--merge-held");
  if (o.npy) words.push("--npy");
  if (o.format && o.format !== "png") {
    words.push("--format", o.format);
    if (o.quality) words.push("--quality", o.quality);
    // JPEG has no alpha: the colour shown through transparency.
    if (o.format === "jpeg" && o.background && o.background !== "#ffffff") words.push("--background", o.background);
  }
  if (o.timings) words.push("--timings", o.timings);
  if (!o.sheet) return words.join("\n");
  if (o.columns > 0) words.push("--columns", String(o.columns));
  if (o.trim) words.push("--trim");
  if (o.padding > 0) words.push("--padding", String(o.padding));
  if (o.extrude > 0) words.push("--extrude", String(o.extrude));
  if (o.maxSize) words.push("--max-size", o.maxSize.replace(/\s+/g, ""));
  if (o.atlas && o.atlas !== "array") words.push("--atlas", o.atlas);
  return words.join("\n");
}

function keepOptions() {
  try { localStorage.setItem(SettingsKey, JSON.stringify(currentOptions())); } catch (e) { /* private mode */ }
}

// ---- the worker ----
function startWorker() {
  const source = document.getElementById("worker-source");
  const worker = source
    ? new Worker(URL.createObjectURL(new Blob([atob(source.textContent)], { type: "text/javascript" })))
    : new Worker("worker.js");
  worker.onmessage = (event) => onWorkerMessage(event.data);
  worker.onerror = (event) => failAll("the converter stopped: " + (event.message || "out of memory"));
  return worker;
}

function showText(text) {
  page.text.textContent = text;
}

function setBusy(busy) {
  state.busy = busy;
  page.bar.hidden = !busy;
  page.cancel.disabled = !busy;
  document.body.classList.toggle("busy", busy);
}

// ---- the drops and the cancel, as the windows' DropState says ----
// The state lives in a small module of its own (framelot-state.js): the
// same code both windows keep, so the page asks "Force exit?", takes drops
// and ends its busy spell as they do. Each call returns what to do as bits.
const Do = { ShowBusy: 1, Submit: 2, ShowResult: 4, ShowIdle: 8, AskForceExit: 16, Abort: 32, Close: 64 };
let dropState = null;
const dropStateReady = createFramelotState({ print() {}, printErr() {} }).then((loaded) => { dropState = loaded; });

// Does what the state said, in its order; `submit` hands the drop on.
function act(bits, submit) {
  if (bits & Do.ShowBusy) {
    setBusy(true);
    showStep();
  }
  if ((bits & Do.Submit) && submit) submit();
  if (bits & Do.ShowIdle) setBusy(false);
  if (bits & Do.AskForceExit) act(dropState._FramelotStateAnswered(window.confirm(ForceExitQuestion) ? 1 : 0));
  if (bits & Do.Abort) state.worker.postMessage({ kind: "cancel" });
  // The page has no window to close: the drops were given up, and a fresh
  // state takes the next one.
  if (bits & Do.Close) dropState._FramelotStateReset();
}

function failAll(reason) {
  // A module that ran out of memory or met a fault ends with its worker; a new
  // one takes the next drop.
  state.worker.terminate();
  state.worker = startWorker();
  if (dropState) dropState._FramelotStateReset();
  setBusy(false);
  addLine("failed: " + reason);
}

function addLine(text) {
  const item = document.createElement("li");
  item.textContent = text;
  page.lines.append(item);
}

function showStep() {
  const steps = state.filesDone * ProgressStepsPerFile + state.fileSteps;
  page.bar.max = Math.max(1, state.files * ProgressStepsPerFile);
  page.bar.value = steps;
}

// The outputs' types by extension: frames, sheets, and what describes them.
const OutputTypes = { ".png": "image/png", ".webp": "image/webp", ".jpg": "image/jpeg", ".json": "application/json" };
function extensionOf(path) {
  const dot = path.lastIndexOf(".");
  return dot < 0 ? "" : path.slice(dot).toLowerCase();
}

function thumbnail(output, info) {
  // Frames only, not sheets; a frame named by the default template shows its
  // number and time, one named otherwise its file name.
  if (!output.blob.type.startsWith("image/") || /_sheet(-\d+)?\.png$/.test(output.path)) return;
  const match = /_(\d+)\.(png|webp|jpg)$/.exec(output.path);
  const index = match ? parseInt(match[1], 10) : -1;
  const frame = match && info && info.frames ? info.frames[index] : null;
  const figure = document.createElement("figure");
  const image = document.createElement("img");
  image.src = URL.createObjectURL(output.blob);
  image.alt = output.path;
  image.title = "Save " + output.path.split("/").pop();
  image.addEventListener("click", () => downloadBlob(output.blob, output.path.split("/").pop()));
  const caption = document.createElement("figcaption");
  caption.textContent = match ? index + (frame ? " \u00b7 " + frame.delay_ms + " ms" : "") : output.path.split("/").pop();
  figure.append(image, caption);
  page.frames.append(figure);
}

const infos = new Map();

function onWorkerMessage(m) {
  switch (m.kind) {
  case "ready":
    state.extensions = m.extensions;
    page.input.accept = m.extensions.join(",");
    break;
  case "failed":
    failAll(m.reason);
    break;
  case "dropStarted":
    state.files = m.files;
    state.filesDone = 0;
    state.fileSteps = 0;
    state.outputs = [];
    state.results = [];
    infos.clear();
    page.lines.replaceChildren();
    for (const url of [...page.frames.querySelectorAll("img")].map((img) => img.src)) URL.revokeObjectURL(url);
    page.frames.replaceChildren();
    showStep();
    break;
  case "progress":
    state.fileSteps = m.total > 0 ? Math.floor(Math.min(m.done, m.total) * ProgressStepsPerFile / m.total) : 0;
    showStep();
    break;
  case "info":
    infos.set(m.file, m.info);
    break;
  case "output": {
    const type = OutputTypes[extensionOf(m.path)] || "application/octet-stream";
    const output = { path: m.path, blob: new Blob([m.bytes], { type }), crc: m.crc, source: m.file };
    state.outputs.push(output);
    thumbnail(output, infos.get(m.file));
    break;
  }
  case "fileDone":
    state.results.push({ line: m.line, status: m.status, file: m.file });
    addLine(m.line);
    state.filesDone = m.file + 1;
    state.fileSteps = 0;
    showStep();
    break;
  case "dropDone": {
    const bits = dropState._FramelotStateDropDone();
    for (const line of m.lines.slice(state.results.length)) addLine(line);
    if (bits & Do.ShowResult) showText(m.resultText);
    page.zip.disabled = state.outputs.length === 0;
    page.save.disabled = state.outputs.length === 0 || !window.showDirectoryPicker;
    act(bits);
    break;
  }
  case "idle":
    act(dropState._FramelotStateIdle(0));
    break;
  case "aborted":
    // What was converted before the cancel stays whole and can be saved.
    addLine("cancelled: the files after " + (state.results.length ? "these" : "the first") + " were not converted");
    page.zip.disabled = state.outputs.length === 0;
    page.save.disabled = state.outputs.length === 0 || !window.showDirectoryPicker;
    act(dropState._FramelotStateIdle(1));
    break;
  }
}

// ---- drops, the file button and folders ----
function knownExtension(name) {
  const dot = name.lastIndexOf(".");
  return dot > 0 && state.extensions.includes(name.slice(dot).toLowerCase());
}

// The entries directly inside a dropped folder; null when the browser
// cannot list it.
function readFolder(entry) {
  return new Promise((resolve) => {
    const reader = entry.createReader();
    const all = [];
    const more = () => reader.readEntries((entries) => {
      if (entries.length === 0) resolve(all);
      else { all.push(...entries); more(); }
    }, () => resolve(null));
    more();
  });
}

const fileOf = (entry) => new Promise((resolve) => entry.file(resolve, () => resolve(null)));

// The files a drop stands for, in its order: a folder for the animations
// directly inside it, by name.
async function dropFiles(dataTransfer) {
  const files = [];
  const emptyFolders = [];
  const items = [...dataTransfer.items].filter((item) => item.kind === "file");
  const entries = items.map((item) => (item.webkitGetAsEntry ? item.webkitGetAsEntry() : null));
  const plain = items.map((item) => item.getAsFile());
  for (let i = 0; i < items.length; ++i) {
    const entry = entries[i];
    if (entry && entry.isDirectory) {
      const listed = await readFolder(entry);
      if (listed === null) {
        addLine(entry.name + ": cannot read the folder");
        continue;
      }
      const inside = listed.filter((e) => e.isFile && knownExtension(e.name));
      inside.sort((a, b) => (a.name < b.name ? -1 : a.name > b.name ? 1 : 0));
      if (inside.length === 0) emptyFolders.push(entry.name);
      for (const e of inside) {
        const file = await fileOf(e);
        if (file) files.push({ name: e.name, file });
      }
    } else if (plain[i]) {
      files.push({ name: plain[i].name, file: plain[i] });
    }
  }
  return { files, emptyFolders };
}

async function submit(files, emptyFolders) {
  keepOptions();
  await dropStateReady;
  const options = { ...currentOptions(), arguments: commandArguments(currentOptions()) };
  act(dropState._FramelotStateSubmitted(files.length > 0 || emptyFolders.length > 0 ? 1 : 0),
    () => state.worker.postMessage({ kind: "drop", files, emptyFolders, options }));
}

page.dropArea.addEventListener("dragover", (event) => {
  event.preventDefault();
  page.dropArea.classList.add("over");
});
page.dropArea.addEventListener("dragleave", () => page.dropArea.classList.remove("over"));
page.dropArea.addEventListener("drop", async (event) => {
  event.preventDefault();
  page.dropArea.classList.remove("over");
  const { files, emptyFolders } = await dropFiles(event.dataTransfer);
  submit(files, emptyFolders);
});
page.choose.addEventListener("click", () => page.input.click());
page.input.addEventListener("change", () => {
  submit([...page.input.files].map((file) => ({ name: file.name, file })), []);
  page.input.value = "";
});
page.cancel.addEventListener("click", async () => {
  await dropStateReady;
  act(dropState._FramelotStateCancelAsked());
});
for (const control of [page.makeFolder, page.framesList, page.declared, page.sheet, page.columns, page.trim, page.padding,
  page.extrude, page.maxSize, page.atlas, page.pick, page.pickValue, page.name, page.start,
  page.mergeHeld, page.timings, page.npy, page.scale, page.format, page.quality, page.background]) {
  control.addEventListener("change", keepOptions);
}

// ---- saving ----
function downloadBlob(blob, name) {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

page.zip.addEventListener("click", () => {
  downloadBlob(MakeZip(state.outputs), "frames.zip");
});

async function exists(folder, name) {
  for (const kind of ["getFileHandle", "getDirectoryHandle"]) {
    try {
      await folder[kind](name);
      return true;
    } catch (e) { /* not of this kind */ }
  }
  return false;
}

// One file, whole or not at all: written under a temporary name, then given
// its own name, which is never one that is taken.
async function writeNew(folder, name, blob) {
  if (await exists(folder, name)) return false;
  const temporary = ".framelot-" + Math.random().toString(36).slice(2) + ".tmp";
  const handle = await folder.getFileHandle(temporary, { create: true });
  const writable = await handle.createWritable();
  await writable.write(blob);
  await writable.close();
  if (await exists(folder, name)) {
    await folder.removeEntry(temporary);
    return false;
  }
  if (handle.move) await handle.move(name);
  else {
    const final = await folder.getFileHandle(name, { create: true });
    const out = await final.createWritable();
    await out.write(blob);
    await out.close();
    await folder.removeEntry(temporary);
  }
  return true;
}

// The last drop's files into `root`, under the same never-overwrite rule as
// on the desktop: a file whose output is there is skipped with its reason.
async function SaveInto(root) {
  const bySource = new Map();
  for (const output of state.outputs) {
    if (!bySource.has(output.source)) bySource.set(output.source, []);
    bySource.get(output.source).push(output);
  }
  const lines = [];
  for (const [source, outputs] of bySource) {
    const first = outputs[0].path.split("/");
    const top = first[0];
    const name = state.results.find((r) => r.file === source)?.line.split(": ")[0] || top;
    if (await exists(root, top)) {
      lines.push(name + ": skipped, output already exists: " + top);
      continue;
    }
    let written = 0;
    for (const output of outputs) {
      const parts = output.path.split("/");
      let folder = root;
      for (const part of parts.slice(0, -1)) folder = await folder.getDirectoryHandle(part, { create: true });
      if (await writeNew(folder, parts[parts.length - 1], output.blob)) ++written;
    }
    lines.push(name + ": " + written + (written === 1 ? " file" : " files") + " saved to " + top);
  }
  return lines;
}

page.save.addEventListener("click", async () => {
  let root;
  try { root = await window.showDirectoryPicker({ mode: "readwrite" }); } catch (e) { return; }
  for (const line of await SaveInto(root)) addLine(line);
});

window.FramelotPage = { SaveInto, state };
readOptions();
state.worker = startWorker();
