// A strict reader of Godot's text resource format, as much of it as a
// SpriteFrames resource uses: [headings with key=value pairs], "key = value"
// lines, and values that are strings, &"string names", numbers, booleans,
// Rect2(...), ExtResource("id"), SubResource("id"), [arrays] and {"key":
// value} dictionaries, across lines. Anything else is an error naming the
// line, so a resource Godot would refuse is refused here too.
export function ReadGodotResource(text) {
  let at = 0, line = 1;
  const fail = (what) => { throw new Error(`line ${line}: ${what}`); };
  const space = (newlines) => {
    while (at < text.length && (text[at] === " " || text[at] === "\t" || (newlines && text[at] === "\n"))) {
      if (text[at] === "\n") ++line;
      ++at;
    }
  };
  const expect = (s) => {
    if (!text.startsWith(s, at)) fail(`expected ${JSON.stringify(s)} at ${JSON.stringify(text.slice(at, at + 20))}`);
    at += s.length;
  };
  const string = () => {
    expect('"');
    let out = "";
    while (text[at] !== '"') {
      if (at >= text.length || text[at] === "\n") fail("a string does not end");
      if (text[at] === "\\") ++at;
      out += text[at++];
    }
    ++at;
    return out;
  };
  const number = () => {
    const match = /^-?\d+(\.\d+)?/.exec(text.slice(at));
    if (!match) fail("expected a number");
    at += match[0].length;
    return { value: Number(match[0]), float: match[1] !== undefined };
  };
  const call = (name, count, read) => {
    expect(name + "(");
    const args = [];
    for (let i = 0; i < count; ++i) {
      space(false);
      if (i > 0) { expect(","); space(false); }
      args.push(read());
    }
    space(false);
    expect(")");
    return args;
  };
  const value = () => {
    space(true);
    if (text[at] === '"') return string();
    if (text.startsWith('&"', at)) { ++at; return { stringName: string() }; }
    if (text.startsWith("true", at)) { at += 4; return true; }
    if (text.startsWith("false", at)) { at += 5; return false; }
    if (text.startsWith("Rect2(", at)) return { rect2: call("Rect2", 4, () => number().value) };
    if (text.startsWith("ExtResource(", at)) return { ext: call("ExtResource", 1, string)[0] };
    if (text.startsWith("SubResource(", at)) return { sub: call("SubResource", 1, string)[0] };
    if (text[at] === "[") {
      ++at;
      const items = [];
      space(true);
      while (text[at] !== "]") {
        if (items.length > 0) { expect(","); }
        items.push(value());
        space(true);
      }
      ++at;
      return items;
    }
    if (text[at] === "{") {
      ++at;
      const dict = {};
      space(true);
      while (text[at] !== "}") {
        if (Object.keys(dict).length > 0) { expect(","); space(true); }
        const key = string();
        space(false);
        expect(":");
        if (key in dict) fail(`key ${key} twice`);
        dict[key] = value();
        space(true);
      }
      ++at;
      return dict;
    }
    return number();
  };
  const sections = [];
  while (at < text.length) {
    space(true);
    if (at >= text.length) break;
    if (text[at] === "[") {
      ++at;
      const tag = /^[a-z_]+/.exec(text.slice(at));
      if (!tag) fail("a heading without a name");
      at += tag[0].length;
      const section = { tag: tag[0], attributes: {}, properties: {} };
      while (text[at] === " ") {
        ++at;
        const key = /^[a-z_]+/.exec(text.slice(at));
        if (!key) fail("a heading attribute without a name");
        at += key[0].length;
        expect("=");
        section.attributes[key[0]] = text[at] === '"' ? string() : number().value;
      }
      expect("]");
      sections.push(section);
    } else {
      if (sections.length === 0) fail("a property before any heading");
      const key = /^[a-z_\/]+/.exec(text.slice(at));
      if (!key) fail("expected a property name");
      at += key[0].length;
      space(false);
      expect("=");
      sections[sections.length - 1].properties[key[0]] = value();
    }
    space(false);
    if (at < text.length) expect("\n");
    ++line;
  }
  return sections;
}
