// Turns the hand-collected map colors (scripts/generate/map-colors.txt) into blocks/MapColors.inc,
// and refuses what it can check to be wrong: a block the newest version lacks or that leaves a
// version out after its first, a modern-table block or a Colors.txt block without a map color, a
// base color without exactly one default or whose default is younger than the color.
'use strict';
const fs = require('fs');
const path = require('path');

const [dataRoot, repoRoot, packageVersion, versionList] = process.argv.slice(2);
const versions = versionList.split(',');  // oldest first
const dataPaths = require(path.join(dataRoot, 'dataPaths.json')).pc;
const blocksIn = new Map(versions.map((v) => [v, new Map(
  require(path.join(dataRoot, dataPaths[v].blocks, 'blocks.json')).map((b) => [b.name, b]))]));
const namesIn = new Map(versions.map((v) => [v, new Set(blocksIn.get(v).keys())]));
const read = (file) => fs.readFileSync(path.join(repoRoot, file), 'utf8');
const fail = (message) => { throw new Error(message); };

// The modern table's blocks and their flags, as the C++ spells them ("FALLS | CHANGES" or "0").
const modernFlags = new Map();
for (const m of read('blocks/ModernBlocks.inc').matchAll(/^\{"minecraft:([a-z0-9_]+)".*, ([A-Z_ |0-9]+)\},$/gm)) {
  modernFlags.set(m[1], m[2] === '0' ? [] : m[2].split(' | '));
}
// The blocks Colors.txt names, through the legacy id:data table.
const legacy = new Map();
for (const m of read('palette/LegacyBlockStates.inc').matchAll(/^\{(\d+), (\d+), "minecraft:([a-z0-9_]+)/gm)) {
  legacy.set(`${m[1]}:${m[2]}`, m[3]);
}
const colorsTxt = read('Colors.txt').split('\n').slice(1).filter((l) => l.trim() !== '')
  .map((l) => { const [id, data] = l.split(','); return legacy.get(`${id}:${data}`) || fail(`Colors.txt: no block for ${id}:${data}`); });

const FLAG_NAMES = { 'falls': 'FALLS', 'needs-support': 'NEEDS_SUPPORT', 'changes': 'CHANGES', 'light': 'LIGHT',
                     'creative-only': 'CREATIVE_ONLY', 'busy': 'BUSY' };
const FLAG_ORDER = Object.values(FLAG_NAMES);

const bases = [];
const baseByName = new Map();
const blocks = new Map();
const excluded = new Set();
read('scripts/generate/map-colors.txt').split('\n').forEach((raw, index) => {
  const where = `map-colors.txt:${index + 1}`;
  const line = raw.trim();
  if (line === '' || line.startsWith('#')) return;
  const [fields, reason] = line.split(/ = (.*)/s);
  const words = fields.trim().split(/\s+/);
  if (words[0] === 'base') {
    const [, id, name, r, g, b, first] = words;
    if (Number(id) !== bases.length) fail(`${where}: base ${id} out of order`);
    if (!versions.includes(first)) fail(`${where}: ${first} is no version the program knows`);
    const base = { id: Number(id), name, rgb: [r, g, b].map(Number), first };
    bases.push(base);
    baseByName.set(name, base);
    return;
  }
  if (words[0] === 'exclude') { excluded.add(words[1]); return; }
  const [spelled, baseName, ...flagWords] = words;
  const open = spelled.indexOf('[');
  const name = open < 0 ? spelled : spelled.slice(0, open);
  const placed = open < 0 ? [] : spelled.slice(open + 1, -1).split(',').map((p) => p.split('='));
  if (open >= 0 && (!spelled.endsWith(']') || placed.some((p) => p.length !== 2))) fail(`${where}: ${spelled} is no state`);
  // Leaves from a structure keep their default persistent=false and decay away from logs.
  if (name.endsWith('_leaves') && !placed.some(([k, v]) => k === 'persistent' && v === 'true')) {
    fail(`${where}: ${name} must be placed with persistent=true`);
  }
  const base = baseByName.get(baseName) || fail(`${where}: no base color ${baseName}`);
  if (blocks.has(name)) fail(`${where}: ${name} twice`);
  let flags;
  if (modernFlags.has(name)) {
    if (flagWords.length) fail(`${where}: ${name} takes its flags from the modern table`);
    flags = modernFlags.get(name);
  } else {
    flags = flagWords.map((w) => FLAG_NAMES[w] || fail(`${where}: no flag ${w}`));
    flags.sort((a, b) => FLAG_ORDER.indexOf(a) - FLAG_ORDER.indexOf(b));
  }
  const has = versions.filter((v) => namesIn.get(v).has(name));
  if (!namesIn.get(versions.at(-1)).has(name)) fail(`${where}: ${name} is no block in ${versions.at(-1)}`);
  const first = has[0];
  if (has.length !== versions.length - versions.indexOf(first)) fail(`${where}: ${name} is missing from a version after ${first}`);
  for (const v of versions.slice(versions.indexOf(first))) {
    const states = blocksIn.get(v).get(name).states || [];
    for (const [key, value] of placed) {
      const st = states.find((s) => s.name === key);
      const values = st && (st.values || (st.type === 'bool' ? ['true', 'false'] : []));
      if (!values || !values.includes(value)) fail(`${where}: ${name} has no ${key}=${value} in ${v}`);
    }
  }
  const placedState = placed.length ? `minecraft:${name}[${placed.map((p) => p.join('=')).sort().join(',')}]` : '';
  blocks.set(name, { name, base, flags, first, placedState, reason: reason && reason.trim() });
});

for (const name of modernFlags.keys()) {
  if (!blocks.has(name) && !excluded.has(name)) fail(`the modern table's ${name} has no map color`);
}
for (const name of colorsTxt) if (!blocks.has(name)) fail(`Colors.txt's ${name} has no map color`);
for (const base of bases.slice(1)) {
  const defaults = [...blocks.values()].filter((b) => b.base === base && b.reason);
  if (defaults.length !== 1) fail(`${base.name} has ${defaults.length} defaults`);
  const first = defaults[0].first;
  if (versions.indexOf(first) > versions.indexOf(base.first)) fail(`${base.name}'s default ${defaults[0].name} came in ${first}`);
  if (defaults[0].flags.includes('FALLS')) fail(`${base.name}'s default ${defaults[0].name} falls`);
}

let inc = '// The map colors of Minecraft Java Edition: the base colors and the blocks that give each one.\n' +
  '// Generated by scripts/generate/map-colors from the hand-collected scripts/generate/map-colors.txt\n' +
  '// (its header names the sources) with the oldest versions from the npm package minecraft-data\n' +
  `// ${packageVersion} (MIT licence, https://github.com/PrismarineJS/minecraft-data) and the flags of\n` +
  '// blocks/ModernBlocks.inc. Do not edit.\n' +
  '// id, name, RGB of the 255 shade, oldest game version with it\n' +
  'constexpr MapBaseColor MAP_BASE_COLORS[] = {\n';
for (const b of bases) inc += `{${b.id}, "${b.name}", {${b.rgb.join(', ')}}, "${b.first}"},\n`;
inc += '};\n// name, base, flags, oldest game version with it, default of its base (and why), the state placed\n' +
  'constexpr MapColorBlock MAP_COLOR_BLOCKS[] = {\n';
for (const b of [...blocks.values()].sort((x, y) => (x.name < y.name ? -1 : 1))) {
  const flags = b.flags.length ? b.flags.join(' | ') : '0';
  inc += `{"minecraft:${b.name}", ${b.base.id}, ${flags}, "${b.first}", ${b.reason ? 'true' : 'false'}, "${b.placedState}"},` +
    (b.reason ? `  // ${b.reason}` : '') + '\n';
}
inc += '};\n';
fs.writeFileSync(path.join(repoRoot, 'blocks/MapColors.inc'), inc);
