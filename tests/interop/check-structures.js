// Reads the structure files tesselbox-cli made of a real photo with prismarine-nbt (npm, pinned
// by package-lock.json): Java's .nbt big-endian through gzip, Bedrock's .mcstructure
// little-endian, each whole and in pieces joined at the offsets their guide gives, and checks
// every cell against the photo's .schematic under the names of the versions written.
// Usage: node check-structures.js FOLDER REPO_ROOT
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const nbt = require('prismarine-nbt');

const [folder, root] = process.argv.slice(2);
function check(condition, what) {
  if (!condition) throw new Error(what);
}
const sorted = (text) => {
  const open = text.indexOf('[');
  if (open < 0) return text;
  const props = text.slice(open + 1, -1).split(',').filter((p) => p).sort();
  return props.length ? `${text.slice(0, open)}[${props.join(',')}]` : text.slice(0, open);
};

// id:data -> Java state (the generated legacy table), and Java -> Bedrock for the newest Bedrock.
const legacy = new Map();
for (const m of fs.readFileSync(path.join(root, 'palette/LegacyBlockStates.inc'), 'utf8').matchAll(/^\{(\d+), (\d+), "([^"]*)"\},$/gm)) {
  legacy.set(`${m[1]}:${m[2]}`, sorted(m[3]));
}
const bedrockInc = fs.readFileSync(path.join(root, 'palette/BedrockBlockStates.inc'), 'utf8');
const newest = [...bedrockInc.matchAll(/^BEDROCK_VERSION\("([^"]*)", "([^"]*)", (\d+)\)$/gm)].length - 1;
const blockVersion = Number([...bedrockInc.matchAll(/^BEDROCK_VERSION\("([^"]*)", "([^"]*)", (\d+)\)$/gm)][newest][3]);
const toBedrock = new Map();
for (const m of bedrockInc.matchAll(/^\{(\d+), "([^"]*)", "((?:[^"\\]|\\.)*)"\},$/gm)) {
  if (Number(m[1]) === newest) toBedrock.set(m[2], m[3].replace(/\\"/g, '"'));
}

// The photo's .schematic: the expected cell at (column, row from the top), or null for none.
const schematic = nbt.simplify(nbt.parseUncompressed(fs.readFileSync(path.join(folder, 'art.schematic'))));
const W = schematic.Width, H = schematic.Length;
check(schematic.Height === 1 && W > 0 && H > 0, 'the .schematic is one layer');
const expected = (col, row) => {
  const id = schematic.Blocks[row * W + col] & 0xff, data = schematic.Data[row * W + col] & 0xff;
  if (id === 0 && data === 0) return null;
  const state = legacy.get(`${id}:${data}`);
  check(state, `no Java name for ${id}:${data}`);
  return state;
};

// A Java structure's cells: "x,y,z" -> sorted state; checks the layout the game reads.
function readNbt(file) {
  const tree = nbt.parseUncompressed(zlib.gunzipSync(fs.readFileSync(file)), 'big');
  check(tree.name === '', `${file}: root name`);
  const v = tree.value;
  check(v.DataVersion.type === 'int' && v.size.value.type === 'int' && v.size.value.value.length === 3, `${file}: DataVersion, size`);
  check(v.entities.type === 'list' && v.entities.value.value.length === 0, `${file}: entities`);
  check(v.palettes === undefined, `${file}: palettes`);
  const s = nbt.simplify(tree);
  const palette = s.palette.map((p) => sorted(p.Name + (p.Properties ? `[${Object.entries(p.Properties).map(([k, x]) => `${k}=${x}`).join(',')}]` : '')));
  check(!palette.some((name) => name === 'minecraft:air'), `${file}: air in the palette`);
  const cells = new Map();
  for (const b of s.blocks) {
    check(Number.isInteger(b.state) && b.state >= 0 && b.state < palette.length, `${file}: palette index ${b.state}`);
    const [x, y, z] = b.pos;
    check(x >= 0 && y >= 0 && z >= 0 && x < s.size[0] && y < s.size[1] && z < s.size[2], `${file}: block outside its size`);
    const key = `${x},${y},${z}`;
    check(!cells.has(key), `${file}: ${key} twice`);
    cells.set(key, palette[b.state]);
  }
  return { size: s.size, cells };
}

// A Bedrock structure's cells, with the layout the game refuses a file over.
function readMcStructure(file) {
  const tree = nbt.parseUncompressed(fs.readFileSync(file), 'little');
  const v = tree.value;
  check(v.format_version.type === 'int' && v.format_version.value === 1, `${file}: format_version`);
  const s = nbt.simplify(tree);
  const [X, Y, Z] = s.size;
  const layers = s.structure.block_indices;
  check(layers.length === 2 && layers.every((l) => l.length === X * Y * Z), `${file}: block_indices`);
  check(layers[1].every((i) => i === -1), `${file}: the second layer`);
  check(s.structure.entities.length === 0 && Object.keys(s.structure.palette.default.block_position_data).length === 0, `${file}: entities`);
  sameList(s.structure_world_origin, [0, 0, 0], `${file}: origin`);
  const palette = v.structure.value.palette.value.default.value.block_palette.value.value.map((p) => {
    check(p.version.value === blockVersion, `${file}: block version ${p.version.value}`);
    const states = Object.keys(p.states.value).sort().map((k) => {
      const { type, value } = p.states.value[k];
      return `${k}=${type === 'string' ? `"${value}"` : type === 'byte' ? `${value}b` : value}`;
    });
    return p.name.value + (states.length ? `[${states.join(',')}]` : '');
  });
  const cells = new Map();
  for (let x = 0; x < X; ++x) for (let y = 0; y < Y; ++y) for (let z = 0; z < Z; ++z) {
    const index = layers[0][(x * Y + y) * Z + z];
    check(index >= -1 && index < palette.length, `${file}: palette index ${index}`);
    if (index >= 0) cells.set(`${x},${y},${z}`, palette[index]);
  }
  return { size: s.size, cells };
}
function sameList(a, b, what) {
  check(a.length === b.length && a.every((x, i) => x === b[i]), what);
}

// The whole art's cells, joined from the pieces the guide lists when there is one.
function readArt(name, ext, wall) {
  const read = ext === '.nbt' ? readNbt : readMcStructure;
  const guide = path.join(folder, `${name}-pieces.txt`);
  if (!fs.existsSync(guide)) return read(path.join(folder, name + ext)).cells;
  const joined = new Map();
  let first = null;
  let pieces = 0;
  for (const m of fs.readFileSync(guide, 'utf8').matchAll(/^(\S+): (\d+) x (\d+), offset x (-?\d+) y (-?\d+) z (-?\d+)$/gm)) {
    const piece = read(path.join(folder, m[1]));
    const [dx, dy, dz] = [Number(m[4]), Number(m[5]), Number(m[6])];
    if (first === null) first = piece.size;
    ++pieces;
    // A wall's first piece is its top-left one: its corner stands this high above the ground.
    const lift = wall ? H - first[1] : 0;
    for (const [key, state] of piece.cells) {
      const [x, y, z] = key.split(',').map(Number);
      const at = `${x + dx},${y + dy + lift},${z + dz}`;
      check(!joined.has(at), `${name}: ${at} in two pieces`);
      joined.set(at, state);
    }
  }
  check(pieces > 0, `${guide} lists no piece`);
  return joined;
}

let files = 0;
for (const wall of [false, true]) {
  for (const ext of ['.nbt', '.mcstructure']) {
    for (const split of ['', '-48', '-64', '-75']) {  // 75 divides 300 x 225 evenly
      const name = `art-${wall ? 'wall' : 'floor'}${split}-${ext.slice(1)}`;
      const cells = readArt(name, ext, wall);
      let blocks = 0;
      for (let row = 0; row < H; ++row) {
        for (let col = 0; col < W; ++col) {
          const at = wall ? `${col},${H - 1 - row},0` : `${col},0,${row}`;
          const java = expected(col, row);
          const want = java === null ? undefined : ext === '.nbt' ? java : toBedrock.get(java);
          check(java === null || want !== undefined, `${java} has no Bedrock name`);
          check(cells.get(at) === want, `${name}${ext} at ${at}: ${cells.get(at)}, expected ${want}`);
          if (want !== undefined) ++blocks;
        }
      }
      check(cells.size === blocks, `${name}${ext}: ${cells.size} blocks, expected ${blocks}`);
      ++files;
    }
  }
}

// A named block's Java state as the Bedrock table keys it: left-out properties take its default.
const defaults = new Map();
for (const m of bedrockInc.matchAll(/^BEDROCK_DEFAULTS\((\d+), "([^"]*)", "([^"]*)"\)$/gm)) {
  if (Number(m[1]) === newest) defaults.set(m[2], m[3].split(','));
}
const completed = (state) => {
  const open = state.indexOf('[');
  const name = open < 0 ? state : state.slice(0, open);
  const given = open < 0 ? [] : state.slice(open + 1, -1).split(',');
  const keys = new Set(given.map((p) => p.split('=')[0]));
  return sorted(`${name}[${[...given, ...(defaults.get(name) || []).filter((p) => !keys.has(p.split('=')[0]))].join(',')}]`);
};
const javaModern = readNbt(path.join(folder, 'modern.nbt')).cells;
const bedrockModern = readMcStructure(path.join(folder, 'modern.mcstructure')).cells;
check(javaModern.size === W * H && bedrockModern.size === W * H, `modern: ${javaModern.size}, ${bedrockModern.size} blocks`);
for (const [at, java] of javaModern) {
  const want = toBedrock.get(sorted(java)) || toBedrock.get(completed(java));
  check(want !== undefined, `modern: ${java} has no Bedrock name`);
  check(bedrockModern.get(at) === want, `modern.mcstructure at ${at}: ${bedrockModern.get(at)}, expected ${want}`);
}
files += 2;
console.log(`${files} structure arts (${W} x ${H}) read back block for block`);
