// Map art, proven from the blocks: reads each map's .litematic or .nbt with prismarine-nbt (npm,
// pinned by package-lock.json), works out the map the game would draw from those blocks alone
// (each column's top block that has a map color, in its base color, shaded by its height against
// the top block north of it: higher 255, level 220, lower 180, times the base color / 255,
// truncated) and compares it with Tesselbox's preview PNG pixel for pixel, and with map_N.dat.
// Usage: node check-maps.js tiny PNG             writes the picture of tiny cases
//        node check-maps.js check FOLDER EXT W H [tiny PNG]
//        node check-maps.js bedrock FILE         the tiny cases' .mcstructure keeps its blocks
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const nbt = require('prismarine-nbt');
const { PNG } = require('pngjs');

const SIDE = 128;
const SHADES = [180, 220, 255];  // by shade number: lower, level, higher
const check = (condition, what) => {
  if (!condition) throw new Error(what);
};

// Which block has which base color, and each base color's RGB: the data the program ships,
// read as data; the drawing rule above is this file's own.
const root = path.join(__dirname, '../..');
const inc = fs.readFileSync(path.join(root, 'blocks/MapColors.inc'), 'utf8');
const baseRgb = new Map();
for (const m of inc.matchAll(/^\{(\d+), "[A-Z_]+", \{(\d+), (\d+), (\d+)\}, "[^"]*"\},$/gm)) {
  baseRgb.set(Number(m[1]), [Number(m[2]), Number(m[3]), Number(m[4])]);
}
const baseOf = new Map();
for (const m of inc.matchAll(/^\{"([a-z0-9_:]+)", (\d+), /gm)) baseOf.set(m[1], Number(m[2]));
check(baseRgb.size >= 60 && baseOf.size >= 60, 'the map color data');
const shadeColor = (base, shade) => baseRgb.get(base).map((c) => Math.floor((c * SHADES[shade]) / 255));

// The tiny cases, each in a column of a 128 x 128 picture, the rest transparent. STONE's three
// shades are 79, 96 and 112 gray; GLOW_LICHEN's level shade 109,144,129; PLANT's 0,106,0.
const STONE = [96, 112, 112, 112, 79, 79];  // level, then climbs three and falls two
const tinyColumns = {
  10: STONE.map((g) => [g, g, g]),
  20: [[96, 96, 96], null, [112, 112, 112]],  // a block, a transparent pixel, a higher block
  30: [[109, 144, 129], [96, 96, 96]],        // a block that needs support in the northern row
  40: [[0, 106, 0]],                          // leaves, far from any log
};
function makeTiny(file) {
  const png = new PNG({ width: SIDE, height: SIDE });
  png.data.fill(0);
  for (const [x, column] of Object.entries(tinyColumns)) {
    column.forEach((rgb, z) => {
      if (!rgb) return;
      png.data.set([...rgb, 255], (z * SIDE + Number(x)) * 4);
    });
  }
  fs.writeFileSync(file, PNG.sync.write(png));
}

const unsigned = (x) => BigInt.asUintN(32, BigInt(x));
// A block placed from a file stays as placed only in some states: leaves decay unless persistent,
// and glow lichen with no face is no block the game keeps (map art lays it on the block below).
function stateName(p, file) {
  const props = p.Properties || {};
  if (p.Name.endsWith('_leaves')) check(props.persistent === 'true', `${file}: ${p.Name} is not persistent`);
  if (p.Name === 'minecraft:glow_lichen') {
    const faces = ['down', 'up', 'north', 'south', 'east', 'west'].filter((f) => props[f] === 'true');
    check(faces.join() === 'down', `${file}: glow lichen on ${faces.join() || 'no face'}`);
  }
  return p.Name;
}

// "x,y,z" -> block name, and the box, from either format.
function readLitematic(file) {
  const s = nbt.simplify(nbt.parseUncompressed(zlib.gunzipSync(fs.readFileSync(file)), 'big'));
  const regions = Object.values(s.Regions);
  check(regions.length === 1, `${file}: one region`);
  const r = regions[0];
  const [X, Y, Z] = [r.Size.x, r.Size.y, r.Size.z];
  const palette = r.BlockStatePalette.map((p) => stateName(p, file));
  check(palette[0] === 'minecraft:air', `${file}: air first`);
  const bits = Math.max(2, Math.ceil(Math.log2(palette.length)));
  const longs = r.BlockStates.map(([hi, lo]) => (unsigned(hi) << 32n) | unsigned(lo));
  check(longs.length === Math.ceil((X * Y * Z * bits) / 64), `${file}: BlockStates length`);
  const cells = new Map();
  for (let i = 0; i < X * Y * Z; ++i) {
    let value = 0;
    for (let b = 0; b < bits; ++b) {
      const bit = BigInt(i * bits + b);
      value |= Number((longs[Number(bit / 64n)] >> (bit % 64n)) & 1n) << b;
    }
    check(value < palette.length, `${file}: cell ${i} outside the palette`);
    if (palette[value] === 'minecraft:air') continue;
    const x = i % X, z = Math.floor(i / X) % Z, y = Math.floor(i / (X * Z));
    cells.set(`${x},${y},${z}`, palette[value]);
  }
  return { size: [X, Y, Z], cells };
}
function readStructure(file) {
  const s = nbt.simplify(nbt.parseUncompressed(zlib.gunzipSync(fs.readFileSync(file)), 'big'));
  const palette = s.palette.map((p) => stateName(p, file));
  const cells = new Map();
  for (const b of s.blocks) cells.set(b.pos.join(','), palette[b.state]);
  return { size: s.size, cells };
}

// The map the game draws from one piece: per pixel null (nothing) or {base, shade, y, name}.
function drawMap({ size, cells }) {
  check(size[0] === SIDE && size[2] === SIDE + 1, `the piece is ${size}, not ${SIDE} x ? x ${SIDE + 1}`);
  const top = (x, z) => {
    for (let y = size[1] - 1; y >= 0; --y) {
      const name = cells.get(`${x},${y},${z}`);
      if (name === undefined) continue;
      check(baseOf.has(name), `${name} has no map color known here`);
      if (baseOf.get(name) !== 0) return { name, y, base: baseOf.get(name) };
    }
    return null;
  };
  const map = [];
  for (let z = 1; z <= SIDE; ++z) {
    for (let x = 0; x < SIDE; ++x) {
      const block = top(x, z);
      if (!block) {
        map.push(null);
        continue;
      }
      const north = top(x, z - 1);
      // A block with nothing north of it is left to whatever the world holds there: unspecified.
      const shade = !north ? -1 : block.y > north.y ? 2 : block.y < north.y ? 0 : 1;
      map.push({ ...block, shade, below: cells.get(`${x},${block.y - 1},${z}`) });
    }
  }
  return map;
}

function checkFolder(folder, ext, W, H, tinyPng) {
  const preview = PNG.sync.read(fs.readFileSync(path.join(folder, 'preview.png')));
  check(preview.width === W * SIDE && preview.height === H * SIDE, `preview ${preview.width} x ${preview.height}`);
  const tiny = tinyPng ? PNG.sync.read(fs.readFileSync(tinyPng)) : null;
  let drawn = 0;
  const mode = path.basename(folder).split('-')[1];
  for (let row = 0; row < H; ++row) {
    for (let col = 0; col < W; ++col) {
      const one = W * H === 1;
      const file = path.join(folder, one ? `art.${ext}` : `art-map-${row + 1}-${col + 1}.${ext}`);
      const map = drawMap(ext === 'litematic' ? readLitematic(file) : readStructure(file));
      const item = nbt.simplify(nbt.parseUncompressed(zlib.gunzipSync(fs.readFileSync(path.join(folder, `map_${row * W + col}.dat`))), 'big'));
      const data = item.data;
      check(data.scale === 0 && data.dimension === 'minecraft:overworld' && data.locked === 1 && data.trackingPosition === 0, `${file}: map item fields`);
      check(data.xCenter === SIDE * col && data.zCenter === SIDE * row && item.DataVersion > 0, `${file}: map item centre`);
      check(data.colors.length === SIDE * SIDE, `${file}: 16384 colors`);
      for (let z = 0; z < SIDE; ++z) {
        for (let x = 0; x < SIDE; ++x) {
          const at = ((row * SIDE + z) * preview.width + col * SIDE + x) * 4;
          const shown = [...preview.data.subarray(at, at + 4)];
          const pixel = map[z * SIDE + x];
          const where = `${file}: pixel ${x},${z}`;
          const id = data.colors[z * SIDE + x] & 0xff;
          if (shown[3] === 0) {
            // Shown empty: no art there, at most the reference block of the art south of it.
            check(!pixel || pixel.name === 'minecraft:cobblestone', `${where}: ${pixel && pixel.name} where the preview is empty`);
            check(id === 0, `${where}: map item color ${id} where the preview is empty`);
            continue;
          }
          check(shown[3] === 255, `${where}: alpha ${shown[3]}`);
          check(pixel && pixel.shade >= 0, `${where}: the preview shows a color the blocks do not make`);
          const expected = shadeColor(pixel.base, pixel.shade);
          check(expected.every((c, i) => c === shown[i]), `${where}: the blocks draw ${expected}, the preview shows ${shown.slice(0, 3)}`);
          check(id === pixel.base * 4 + pixel.shade, `${where}: map item color ${id}, the blocks draw ${pixel.base * 4 + pixel.shade}`);
          if (mode === 'flat') check(pixel.shade === 1, `${where}: a flat map stands level`);
          if (tiny && mode !== 'flat' && tiny.data[(z * SIDE + x) * 4 + 3] === 255) {
            const source = [...tiny.data.subarray((z * SIDE + x) * 4, (z * SIDE + x) * 4 + 3)];
            check(source.every((c, i) => c === shown[i]), `${where}: the exact shade ${source} became ${shown.slice(0, 3)}`);
          }
          ++drawn;
        }
      }
      if (tiny) {
        // The lichen in the northern row stands on a support block.
        const lichen = map[30];
        check(lichen && lichen.name === 'minecraft:glow_lichen' && lichen.below === 'minecraft:cobblestone', `${file}: the lichen's support`);
        check(map[40] && map[40].name === 'minecraft:oak_leaves', `${file}: the leaves`);
        if (mode === 'staircase') {
          const heights = STONE.map((_, z) => map[z * SIDE + 10].y - map[10].y);
          check(heights.join() === '0,1,2,3,2,1', `${file}: the climbing column stands ${heights}`);
        }
      }
    }
  }
  check(drawn > 0, `${folder}: nothing drawn`);
  console.log(`${path.basename(folder)}: ${drawn} pixels as the preview shows them`);
}

// Bedrock names its own states: persistent_bit for leaves, and lichen's faces as bits, 1 for down
// (minecraft-data's Java to Bedrock table maps glow_lichen[down=true] to 1).
function checkBedrock(file) {
  const s = nbt.simplify(nbt.parseUncompressed(fs.readFileSync(file), 'little'));
  const palette = s.structure.palette.default.block_palette;
  const leaves = palette.filter((p) => p.name.includes('leaves'));
  const lichen = palette.filter((p) => p.name === 'minecraft:glow_lichen');
  check(leaves.length > 0 && lichen.length > 0, `${file}: leaves and lichen`);
  for (const p of leaves) check(p.states.persistent_bit === 1, `${file}: ${p.name} is not persistent`);
  for (const p of lichen) check(p.states.multi_face_direction_bits === 1, `${file}: glow lichen faces ${p.states.multi_face_direction_bits}`);
  console.log(`${path.basename(file)}: leaves persistent, lichen on the block below`);
}

const [command, ...args] = process.argv.slice(2);
if (command === 'tiny') makeTiny(args[0]);
else if (command === 'bedrock') checkBedrock(args[0]);
else checkFolder(args[0], args[1], Number(args[2]), Number(args[3]), args[4]);
