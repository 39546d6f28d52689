// A zip archive of stored entries (PNGs are compressed already), made of the
// entries' own Blobs: nothing is copied, so a drop's frames are never held
// twice. Zip64 records are written where sizes or offsets pass 4 GiB.
"use strict";

const ZipLimit = 0xffffffff;
const ZipVersion = 20;       // 2.0: stored entries
const Zip64Version = 45;     // 4.5: Zip64
const Utf8Flag = 0x0800;     // names are UTF-8
const MadeOnUnix = 3 << 8;   // "made by" a Unix system: names are taken as they are, not as DOS code pages
const FileMode = 0o100644 << 16;  // a plain file, read-write for its owner, readable by all

function littleEndian(fields) {
  let size = 0;
  for (const [bytes] of fields) size += bytes;
  const out = new Uint8Array(size);
  const view = new DataView(out.buffer);
  let at = 0;
  for (const [bytes, value] of fields) {
    if (bytes === 2) view.setUint16(at, value, true);
    else if (bytes === 4) view.setUint32(at, value, true);
    else view.setBigUint64(at, BigInt(value), true);
    at += bytes;
  }
  return out;
}

// `entries`: [{path, blob, crc}] in order. Returns a Blob of the archive.
function MakeZip(entries) {
  const encoder = new TextEncoder();
  const parts = [];
  const central = [];
  let offset = 0;
  for (const entry of entries) {
    const name = encoder.encode(entry.path);
    const size = entry.blob.size;
    const big = size >= ZipLimit || offset >= ZipLimit;
    const localExtra = big ? littleEndian([[2, 1], [2, 16], [8, size], [8, size]]) : new Uint8Array(0);
    const local = littleEndian([[4, 0x04034b50], [2, big ? Zip64Version : ZipVersion], [2, Utf8Flag], [2, 0], [2, 0],
      [2, 0x21], [4, entry.crc >>> 0], [4, big ? ZipLimit : size], [4, big ? ZipLimit : size], [2, name.length],
      [2, localExtra.length]]);
    parts.push(local, name, localExtra, entry.blob);
    const centralExtra = big ? littleEndian([[2, 1], [2, 24], [8, size], [8, size], [8, offset]]) : new Uint8Array(0);
    central.push(littleEndian([[4, 0x02014b50], [2, MadeOnUnix | (big ? Zip64Version : ZipVersion)], [2, big ? Zip64Version : ZipVersion],
      [2, Utf8Flag], [2, 0], [2, 0], [2, 0x21], [4, entry.crc >>> 0], [4, big ? ZipLimit : size],
      [4, big ? ZipLimit : size], [2, name.length], [2, centralExtra.length], [2, 0], [2, 0], [2, 0], [4, FileMode],
      [4, big ? ZipLimit : offset]]), name, centralExtra);
    offset += local.length + name.length + localExtra.length + size;
  }
  const centralSize = central.reduce((sum, part) => sum + part.length, 0);
  const many = entries.length >= 0xffff || offset >= ZipLimit || centralSize >= ZipLimit;
  parts.push(...central);
  if (many) {
    parts.push(littleEndian([[4, 0x06064b50], [8, 44], [2, Zip64Version], [2, Zip64Version], [4, 0], [4, 0],
      [8, entries.length], [8, entries.length], [8, centralSize], [8, offset]]));
    parts.push(littleEndian([[4, 0x07064b50], [4, 0], [8, offset + centralSize], [4, 1]]));
  }
  parts.push(littleEndian([[4, 0x06054b50], [2, 0], [2, 0], [2, many ? 0xffff : entries.length],
    [2, many ? 0xffff : entries.length], [4, many ? ZipLimit : centralSize], [4, many ? ZipLimit : offset], [2, 0]]));
  return new Blob(parts, { type: "application/zip" });
}
