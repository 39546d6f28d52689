// A small GIF writer for test animations: a 256-entry palette, one full
// frame each with its delay, disposal and transparent index, and image data
// coded as literal LZW codes with a clear code often enough that the code
// size never grows (valid for every decoder, if not small).
const ClearEvery = 250;  // literals between clear codes: fewer than the 254 that fit 9-bit codes

function lzwLiterals(indices) {
  const MinCodeSize = 8, Clear = 256, End = 257, Width = 9;
  const bytes = [];
  let bits = 0, count = 0;
  const put = (code) => {
    bits |= code << count;
    count += Width;
    while (count >= 8) {
      bytes.push(bits & 0xff);
      bits >>>= 8;
      count -= 8;
    }
  };
  for (let i = 0; i < indices.length; ++i) {
    if (i % ClearEvery === 0) put(Clear);
    put(indices[i]);
  }
  put(End);
  if (count > 0) bytes.push(bits & 0xff);
  const out = [MinCodeSize];
  for (let at = 0; at < bytes.length; at += 255) {
    const block = bytes.slice(at, at + 255);
    out.push(block.length, ...block);
  }
  out.push(0);
  return out;
}

const u16 = (n) => [n & 0xff, n >> 8];

// `frames`: [{indices: Uint8Array(width * height), delay: hundredths, disposal, transparent}]
// `palette`: up to 256 [r, g, b]. Loops forever.
export function WriteGif(width, height, palette, frames) {
  const out = [...Buffer.from("GIF89a"), ...u16(width), ...u16(height), 0xf7, 0, 0];
  for (let i = 0; i < 256; ++i) out.push(...(palette[i] || [0, 0, 0]));
  out.push(0x21, 0xff, 11, ...Buffer.from("NETSCAPE2.0"), 3, 1, 0, 0, 0);
  for (const f of frames) {
    const transparent = f.transparent ?? -1;
    out.push(0x21, 0xf9, 4, ((f.disposal ?? 0) << 2) | (transparent >= 0 ? 1 : 0), ...u16(f.delay ?? 0),
      Math.max(transparent, 0), 0);
    out.push(0x2c, 0, 0, 0, 0, ...u16(width), ...u16(height), 0);
    out.push(...lzwLiterals(f.indices));
  }
  out.push(0x3b);
  return Buffer.from(out);
}
