// Measures the modern block table: the full, opaque, untinted cubes of the newest Java version that
// minecraft-assets carries, with the mean color of their top and side faces and the facts a builder
// filters by. Run through scripts/generate/modern-table, which installs the pinned packages; the
// build never runs it. Only the measured numbers are written, never a texture.
//
// Rules, in order:
//  - the block is in minecraft-data's list for that version with boundingBox "block";
//  - its default state (minecraft-data's defaultState) picks a variant from blocks_states.json
//    (the first model of a random choice; multipart blocks are left out), without an x rotation;
//  - its model, parents followed, has exactly one element from 0,0,0 to 16,16,16 with all six faces;
//  - no face has a tintindex (grass tops, leaves and vines take the biome's color) and no texture is
//    marked force_translucent;
//  - every face's texture has alpha 255 in every pixel of its first frame (an animated texture is
//    a strip of squares: the top square is the first frame);
//  - top = the up face; side = the texture covering most of the four sides (north on a tie);
//  - a color is the arithmetic mean of the 8-bit sRGB values of the frame, rounded to nearest;
//  - busy = the mean CIEDE2000 of the top face's pixels from its mean color, above BUSY_ABOVE.
'use strict';
const fs = require('fs');
const path = require('path');

const [dataRoot, assetsRoot, pngjsRoot, outFile, versions] = process.argv.slice(2);
const { PNG } = require(pngjsRoot);
const dataPaths = require(path.join(dataRoot, 'dataPaths.json')).pc;
const listVersions = versions.split(',');  // oldest first, as the program knows them

const BUSY_ABOVE = 10;

const assetVersions = fs.readdirSync(assetsRoot).filter((v) => /^\d/.test(v));
const byNumber = (a, b) => {
  const pa = a.split('.').map(Number); const pb = b.split('.').map(Number);
  for (let i = 0; i < Math.max(pa.length, pb.length); ++i) if ((pa[i] || 0) !== (pb[i] || 0)) return (pa[i] || 0) - (pb[i] || 0);
  return 0;
};
const newest = assetVersions.sort(byNumber).at(-1);
if (!listVersions.includes(newest)) throw new Error(`${newest} is not a version the program knows`);
const assets = path.join(assetsRoot, newest);
const models = require(path.join(assets, 'blocks_models.json'));
const states = require(path.join(assets, 'blocks_states.json'));
const blocksOf = (v) => require(path.join(dataRoot, dataPaths[v].blocks, 'blocks.json'));
const blocks = blocksOf(newest);

const strip = (ref) => ref.replace(/^minecraft:/, '').replace(/^block\//, '');

function resolveModel(name) {
  let textures = {}; let elements = null; let current = name;
  while (current) {
    const model = models[strip(current)];
    if (!model) return null;
    textures = { ...(model.textures || {}), ...textures };
    if (!elements && model.elements) elements = model.elements;
    current = model.parent;
  }
  return { textures, elements };
}

function resolveTexture(textures, ref) {
  for (let i = 0; i < 10 && typeof ref === 'string' && ref.startsWith('#'); ++i) ref = textures[ref.slice(1)];
  if (ref && typeof ref === 'object') {
    if (ref.force_translucent) return null;
    ref = ref.sprite;
  }
  return typeof ref === 'string' && !ref.startsWith('#') ? strip(ref) : null;
}

function defaultProperties(block) {
  let index = block.defaultState - block.minStateId;
  const props = {};
  const list = block.states || [];
  for (let i = list.length - 1; i >= 0; --i) {
    const s = list[i];
    let values = s.values;
    if (!values && s.type === 'bool') values = ['true', 'false'];
    if (!values) values = Array.from({ length: s.num_values }, (_, k) => String(k));
    props[s.name] = values[index % values.length];
    index = Math.floor(index / values.length);
  }
  return props;
}

function variantFor(block) {
  const entry = states[block.name];
  if (!entry || !entry.variants) return null;
  const props = defaultProperties(block);
  for (const [key, value] of Object.entries(entry.variants)) {
    const wanted = key === '' ? [] : key.split(',').map((kv) => kv.split('='));
    if (wanted.every(([k, v]) => props[k] === v)) return Array.isArray(value) ? value[0] : value;
  }
  return null;
}

// sRGB 8-bit to CIELAB (D65), and CIEDE2000, for the busy measure.
function lab([r, g, b]) {
  const lin = (c) => { c /= 255; return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4; };
  const [R, G, B] = [lin(r), lin(g), lin(b)];
  const x = (0.4124564 * R + 0.3575761 * G + 0.1804375 * B) / 0.95047;
  const y = 0.2126729 * R + 0.7151522 * G + 0.0721750 * B;
  const z = (0.0193339 * R + 0.1191920 * G + 0.9503041 * B) / 1.08883;
  const f = (t) => (t > 216 / 24389 ? Math.cbrt(t) : (24389 / 27 * t + 16) / 116);
  return [116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))];
}
function ciede2000([L1, a1, b1], [L2, a2, b2]) {
  const rad = Math.PI / 180;
  const C1 = Math.hypot(a1, b1); const C2 = Math.hypot(a2, b2); const Cm = (C1 + C2) / 2;
  const G = 0.5 * (1 - Math.sqrt(Cm ** 7 / (Cm ** 7 + 25 ** 7)));
  const ap1 = (1 + G) * a1; const ap2 = (1 + G) * a2;
  const Cp1 = Math.hypot(ap1, b1); const Cp2 = Math.hypot(ap2, b2);
  const hue = (b, a) => { if (a === 0 && b === 0) return 0; const h = Math.atan2(b, a) / rad; return h < 0 ? h + 360 : h; };
  const hp1 = hue(b1, ap1); const hp2 = hue(b2, ap2);
  const dL = L2 - L1; const dC = Cp2 - Cp1;
  let dh = 0;
  if (Cp1 * Cp2 !== 0) { dh = hp2 - hp1; if (dh > 180) dh -= 360; else if (dh < -180) dh += 360; }
  const dH = 2 * Math.sqrt(Cp1 * Cp2) * Math.sin(dh * rad / 2);
  const Lm = (L1 + L2) / 2; const Cpm = (Cp1 + Cp2) / 2;
  let hm = hp1 + hp2;
  if (Cp1 * Cp2 !== 0) {
    if (Math.abs(hp1 - hp2) <= 180) hm /= 2; else hm = hp1 + hp2 < 360 ? (hm + 360) / 2 : (hm - 360) / 2;
  }
  const T = 1 - 0.17 * Math.cos((hm - 30) * rad) + 0.24 * Math.cos(2 * hm * rad) +
            0.32 * Math.cos((3 * hm + 6) * rad) - 0.2 * Math.cos((4 * hm - 63) * rad);
  const dTheta = 30 * Math.exp(-(((hm - 275) / 25) ** 2));
  const RC = 2 * Math.sqrt(Cpm ** 7 / (Cpm ** 7 + 25 ** 7));
  const SL = 1 + 0.015 * (Lm - 50) ** 2 / Math.sqrt(20 + (Lm - 50) ** 2);
  const SC = 1 + 0.045 * Cpm; const SH = 1 + 0.015 * Cpm * T;
  const RT = -Math.sin(2 * dTheta * rad) * RC;
  return Math.sqrt((dL / SL) ** 2 + (dC / SC) ** 2 + (dH / SH) ** 2 + RT * (dC / SC) * (dH / SH));
}

const measured = new Map();
function measure(texture) {
  if (measured.has(texture)) return measured.get(texture);
  const file = path.join(assets, 'blocks', texture + '.png');
  let result = null;
  if (fs.existsSync(file)) {
    const png = PNG.sync.read(fs.readFileSync(file));
    const side = Math.min(png.width, png.height);
    const pixels = [];
    let opaque = true;
    for (let y = 0; y < side; ++y) {
      for (let x = 0; x < png.width; ++x) {
        const at = (y * png.width + x) * 4;
        if (png.data[at + 3] !== 255) opaque = false;
        pixels.push([png.data[at], png.data[at + 1], png.data[at + 2]]);
      }
    }
    if (opaque) {
      const mean = [0, 1, 2].map((c) => Math.round(pixels.reduce((s, p) => s + p[c], 0) / pixels.length));
      const meanLab = lab(mean);
      const busy = pixels.reduce((s, p) => s + ciede2000(lab(p), meanLab), 0) / pixels.length;
      result = { mean, busy };
    }
  }
  measured.set(texture, result);
  return result;
}

const FACES = ['up', 'down', 'north', 'south', 'west', 'east'];
function measureBlock(block) {
  if (block.boundingBox !== 'block') return null;
  const variant = variantFor(block);
  if (!variant || variant.x) return null;
  const model = resolveModel(variant.model);
  if (!model || !model.elements || model.elements.length !== 1) return null;
  const element = model.elements[0];
  if (String(element.from) !== '0,0,0' || String(element.to) !== '16,16,16') return null;
  const faces = {};
  for (const face of FACES) {
    const f = element.faces && element.faces[face];
    if (!f || f.tintindex !== undefined) return null;
    const texture = resolveTexture(model.textures, f.texture);
    if (!texture || !measure(texture)) return null;
    faces[face] = texture;
  }
  const sides = ['north', 'south', 'west', 'east'].map((f) => faces[f]);
  const counted = sides.map((t) => sides.filter((s) => s === t).length);
  const sideTexture = sides[counted.indexOf(Math.max(...counted))];
  return { top: measure(faces.up), side: measure(sideTexture) };
}

// ---- facts ----------------------------------------------------------------------------------

const FAMILIES = [  // first match wins
  ['glazed-terracotta', /_glazed_terracotta$/],
  ['terracotta', /(^|_)terracotta$/],
  ['concrete-powder', /_concrete_powder$/],
  ['concrete', /_concrete$/],
  ['wool', /_wool$/],
  ['ores', /(_ore$|^raw_.*_block$|^ancient_debris$)/],
  ['copper', /copper/],
  ['planks', /_planks$|^bamboo_mosaic$/],
  ['logs-and-wood', /(_log|_wood|_stem|_hyphae)$|bamboo_block$/],
  ['mineral', /^(amethyst|coal|diamond|emerald|gold|iron|lapis|redstone|netherite|resin|honeycomb|bone)_block$/],
  ['functional', /command_block$|^(structure_block|jigsaw|test_block|test_instance_block|furnace|blast_furnace|smoker|dispenser|dropper|observer|piston|sticky_piston|crafter|crafting_table|cartography_table|fletching_table|smithing_table|loom|jukebox|note_block|lodestone|target|redstone_lamp|bookshelf|beehive|bee_nest|respawn_anchor|tnt)$/],
  ['nether', /nether|crimson|warped|soul_|basalt|blackstone|magma|glowstone|shroomlight/],
  ['end', /^end_stone|^purpur/],
  ['sandstone', /sandstone$/],
  ['prismarine', /prismarine|^sea_lantern$/],
  ['quartz', /quartz/],
  ['coral', /coral_block$/],
  ['plants', /^(pumpkin|carved_pumpkin|jack_o_lantern|melon|hay_block|dried_kelp_block|moss_block|pale_moss_block|creaking_heart|muddy_mangrove_roots|sponge|wet_sponge)$|froglight$/],
  ['stone-and-deepslate', /(^|_)(stone|cobblestone|granite|diorite|andesite|deepslate|tuff|calcite|dripstone_block|bricks|tiles|obsidian)$|^chiseled_|^cracked_|^polished_|^mossy_|^budding_amethyst$/],
  ['earth', /^(dirt|coarse_dirt|rooted_dirt|podzol|mycelium|mud|packed_mud|clay|gravel|sand|red_sand|suspicious_sand|suspicious_gravel|snow_block|packed_ice|blue_ice|sculk|sculk_catalyst)$/],
];
// Gravity acts on sand and gravel, their suspicious forms and concrete powder; soul sand does not fall.
const FALLS = /^(sand|red_sand|gravel|suspicious_sand|suspicious_gravel)$|_concrete_powder$/;
// Changes by itself: copper oxidises (until oxidized, unless waxed), grass may spread onto dirt,
// mycelium spreads, nylium turns to netherrack under a block, coral dies out of water, powder sets
// in water, redstone ore lights up when touched.
const CHANGES = /^(?!waxed_|oxidized_|raw_).*copper(?!_ore$)|^(dirt|mycelium|crimson_nylium|warped_nylium|redstone_ore|deepslate_redstone_ore)$|^(?!dead_).*_coral_block$|_concrete_powder$/;
const NEEDS_SUPPORT = /^$/;  // no full cube needs a block under it; the flag is kept for other tables
const CREATIVE_ONLY = /^(bedrock|barrier|light|command_block|chain_command_block|repeating_command_block|structure_block|jigsaw|test_block|test_instance_block|budding_amethyst|reinforced_deepslate|spawner|trial_spawner|vault|end_portal_frame|petrified_oak_slab|suspicious_sand|suspicious_gravel)$|^infested_/;

const firstVersion = (name) => listVersions.find((v) => blocksOf(v).some((b) => b.name === name));

const rows = [];
for (const block of blocks) {
  const faces = measureBlock(block);
  if (!faces) continue;
  const name = block.name;
  const family = (FAMILIES.find(([, re]) => re.test(name)) || ['other'])[0];
  const flags = [];
  if (FALLS.test(name)) flags.push('FALLS');
  if (NEEDS_SUPPORT.test(name)) flags.push('NEEDS_SUPPORT');
  if (CHANGES.test(name) && !name.includes('copper_ore')) flags.push('CHANGES');
  if (block.emitLight > 0) flags.push('LIGHT');
  if (CREATIVE_ONLY.test(name)) flags.push('CREATIVE_ONLY');
  if (faces.top.busy > BUSY_ABOVE) flags.push('BUSY');
  rows.push({ name, display: block.displayName, family, flags, first: firstVersion(name), ...faces });
}
rows.sort((a, b) => (a.name < b.name ? -1 : 1));

const pkg = (root) => require(path.join(root, '..', '..', 'package.json')).version;
let out = '// The modern block table: full, opaque, untinted cubes of Minecraft Java ' + newest + ', each with the\n' +
  '// mean color of its top face and of its side faces. Generated by scripts/generate/modern-table\n' +
  `// (its header names the rules) from the npm packages minecraft-assets ${pkg(assetsRoot)} and minecraft-data\n` +
  `// ${pkg(dataRoot)} (MIT licence, https://github.com/PrismarineJS). The textures are Mojang's; only the\n` +
  `// means measured from them are kept here. busy: mean CIEDE2000 of the top face's pixels from its\n` +
  `// mean, flagged above ${BUSY_ABOVE}. Do not edit.\n` +
  `constexpr std::string_view MEASURED_IN = "${newest}";\n` +
  '// name, display name, family, oldest game version with it, top r g b, side r g b, busy x 100, flags\n' +
  'constexpr ModernBlock MODERN_BLOCKS[] = {\n';
for (const r of rows) {
  const flags = r.flags.length ? r.flags.join(' | ') : '0';
  out += `{"minecraft:${r.name}", "${r.display}", "${r.family}", "${r.first}", ` +
    `{${r.top.mean.join(', ')}}, {${r.side.mean.join(', ')}}, ${Math.round(r.top.busy * 100)}, ${flags}},\n`;
}
out += '};\n';
fs.writeFileSync(outFile, out);
const distinct = new Set(rows.map((r) => r.top.mean.join(','))).size;
const survival = rows.filter((r) => !r.flags.includes('CREATIVE_ONLY'));
console.log(`${rows.length} blocks of ${newest}, ${survival.length} obtainable in survival, ${distinct} distinct top colors, ` +
  `${rows.filter((r) => r.first !== listVersions[0]).length} added after ${listVersions[0]}, ${rows.filter((r) => r.flags.includes('BUSY')).length} busy`);
