// Checks scripts/generate/map-colors.txt against the game's own block definitions: the base colors'
// ids and RGB against MapColor.java, each block's base color against the map color Blocks.java
// gives its state (upright logs, the properties map-colors.txt places it with, others default).
// Run through scripts/generate/check-map-colors, which fetches nothing: it is given the folder
// holding a decompiled MapColor.java and Blocks.java (Yarn names) of one game version.
// Prints every disagreement and exits 1 when there is one.
'use strict';
const fs = require('fs');
const path = require('path');

const [sourceDir, repoRoot] = process.argv.slice(2);
const javaMapColor = fs.readFileSync(path.join(sourceDir, 'MapColor.java'), 'utf8');
const javaBlocks = fs.readFileSync(path.join(sourceDir, 'Blocks.java'), 'utf8');

// MapColor.java: "public static final MapColor PALE_GREEN = new MapColor(1, 8368696);"
const gameBases = new Map();  // Yarn name -> { id, rgb }
for (const m of javaMapColor.matchAll(/MapColor ([A-Z_]+) = new MapColor\((\d+), (0x[0-9A-Fa-f]+|\d+)\)/g)) {
  const value = Number(m[3]);
  gameBases.set(m[1], { id: Number(m[2]), rgb: [(value >> 16) & 255, (value >> 8) & 255, value & 255] });
}
const gameBaseById = new Map([...gameBases].map(([name, b]) => [b.id, name]));

// Blocks.java: "public static final Block OAK_LOG = Blocks.register((String)"oak_log", ...);", one a line.
const definitions = new Map();  // constant -> { name, text }
const constantOfName = new Map();
// Casts such as "(MapColor)" are dropped; a few blocks are registered by key (BlockKeys.PUMPKIN).
for (const m of javaBlocks.matchAll(/^ {4}public static final Block ([A-Z0-9_]+) = Blocks\.(register\w*)\((?:\(String\)"([a-z0-9_]+)"|\(RegistryKey\)BlockKeys\.([A-Z0-9_]+))(.*)$/gm)) {
  const name = m[3] ?? m[4].toLowerCase();
  definitions.set(m[1], { name, how: m[2], text: m[5].replace(/\((?:AbstractBlock\.)?[A-Z][A-Za-z]*\)(?=[A-Z(])/g, '') });
  constantOfName.set(name, m[1]);
}

// A dye's map color is the MapColor of the same name in the game's DyeColor (WHITE -> MapColor.WHITE, ...).
const dyeMapColor = (dye) => dye;

// "MapColor.X", "DyeColor.X" or "BLOCK.getDefaultMapColor()".
function colorOf(expression, seen) {
  let m;
  if ((m = expression.match(/^(?:MapColor|DyeColor)\.([A-Z_]+)$/))) return m[1];
  if ((m = expression.match(/^([A-Z0-9_]+)\.getDefaultMapColor\(\)$/))) return mapColorOf(m[1], {}, seen);
  throw new Error(`cannot read a map color from "${expression}"`);
}

// The map color (a Yarn name) of a block's state; state: property -> value, as placed.
function mapColorOf(constant, state, seen = new Set()) {
  const def = definitions.get(constant);
  if (!def) throw new Error(`Blocks.java defines no ${constant}`);
  if (seen.has(constant)) throw new Error(`${constant} copies itself`);
  seen.add(constant);
  const text = def.text;
  if (def.how === 'registerStainedGlassBlock') return dyeMapColor(text.match(/DyeColor\.([A-Z_]+)/)[1]);
  if (def.how === 'registerOldStairsBlock' || def.how === 'registerStairsBlock') {
    return mapColorOf(text.match(/^, ([A-Z0-9_]+)\)/)[1], state, seen);
  }
  if (def.how === 'registerBedBlock') return 'WHITE_GRAY';
  // The last call wins: settings are built left to right.
  const calls = [...text.matchAll(/\.mapColor\(/g)];
  if (calls.length > 0) {
    const argument = text.slice(calls.at(-1).index + '.mapColor('.length);
    let m;
    if ((m = argument.match(/^MapColor\.([A-Z_]+)\)/))) return m[1];
    if ((m = argument.match(/^DyeColor\.([A-Z_]+)\)/))) return dyeMapColor(m[1]);
    if ((m = argument.match(/^([A-Z0-9_]+)\.getDefaultMapColor\(\)\)/))) return mapColorOf(m[1], {}, seen);
    if ((m = argument.match(/^Blocks\.createMapColorFromWaterloggedBlockState\(MapColor\.([A-Z_]+)\)/))) {
      return state.waterlogged === 'true' ? 'WATER_BLUE' : m[1];
    }
    if ((m = argument.match(/^state -> state\.get\(\(Property\)([A-Za-z]+)\.([A-Z_]+)\) (?:!= false|== ([A-Za-z.]+)) \? MapColor\.([A-Z_]+) : MapColor\.([A-Z_]+)\)/))) {
      const property = m[2].toLowerCase();
      const wanted = m[3] === undefined ? 'true' : m[3].split('.').at(-1).toLowerCase();
      const value = state[property] ?? (property === 'axis' ? 'y' : 'false');
      return value === wanted ? m[4] : m[5];
    }
    throw new Error(`${def.name}: cannot read its map color from "${argument.slice(0, 80)}"`);
  }
  let m;
  if ((m = text.match(/createLogSettings\(([A-Za-z0-9_.]+(?:\(\))?), ([A-Za-z0-9_.]+(?:\(\))?)/))) {
    return colorOf((state.axis ?? 'y') === 'y' ? m[1] : m[2], seen);
  }
  if ((m = text.match(/createNetherStemSettings\(MapColor\.([A-Z_]+)\)/))) return m[1];
  if ((m = text.match(/createShulkerBoxSettings\(MapColor\.([A-Z_]+)\)/))) return m[1];
  if ((m = text.match(/createCandleSettings\(MapColor\.([A-Z_]+)\)/))) return m[1];
  if (/createLeavesSettings\(/.test(text)) return 'DARK_GREEN';
  if (/createPistonSettings\(\)/.test(text)) return 'STONE_GRAY';
  if ((m = text.match(/Settings\.copy(?:Shallow)?\(([A-Z0-9_]+)\)/))) {
    return mapColorOf(m[1], state, seen);
  }
  return 'CLEAR';  // the settings' default: no map color
}

// map-colors.txt, read as scripts/generate/map-colors.js reads it.
const ours = fs.readFileSync(path.join(repoRoot, 'scripts/generate/map-colors.txt'), 'utf8').split('\n');
const ourBases = new Map();  // our name -> id
const problems = [];
let checked = 0;
const unknown = [];
ours.forEach((raw, index) => {
  const line = raw.trim();
  if (line === '' || line.startsWith('#')) return;
  const words = line.split(/ = /)[0].trim().split(/\s+/);
  const where = `map-colors.txt:${index + 1}`;
  if (words[0] === 'exclude') return;
  if (words[0] === 'base') {
    const [, id, name, r, g, b] = words;
    ourBases.set(name, Number(id));
    const game = gameBaseById.get(Number(id));
    if (Number(id) === 0) return;  // CLEAR's RGB is no color the map draws
    if (!game) { problems.push(`${where}: the game has no base ${id}`); return; }
    const rgb = gameBases.get(game).rgb;
    if (rgb.join(' ') !== [r, g, b].join(' ')) problems.push(`${where}: base ${id} ${name} is ${r} ${g} ${b}, the game's ${game} ${rgb.join(' ')}`);
    return;
  }
  const open = words[0].indexOf('[');
  const name = open < 0 ? words[0] : words[0].slice(0, open);
  const state = Object.fromEntries(open < 0 ? [] : words[0].slice(open + 1, -1).split(',').map((p) => p.split('=')));
  const constant = constantOfName.get(name);
  if (!constant) { unknown.push(name); return; }
  const game = mapColorOf(constant, state);
  const gameId = gameBases.get(game)?.id;
  if (gameId === undefined) { problems.push(`${where}: ${name}: the game's ${game} is no base color`); return; }
  ++checked;
  if (gameId !== ourBases.get(words[1])) {
    problems.push(`${where}: ${words[0]} is ${words[1]} (${ourBases.get(words[1])}), the game gives ${game} (${gameId})`);
  }
});
// Every full block of the game that gives a color and is in the modern table must be listed.
const modern = fs.readFileSync(path.join(repoRoot, 'blocks/ModernBlocks.inc'), 'utf8');
const listed = new Set(ours.map((l) => l.trim().split(/[\s[]/)[0]));
for (const m of modern.matchAll(/^\{"minecraft:([a-z0-9_]+)"/gm)) {
  if (!listed.has(m[1])) problems.push(`the modern table's ${m[1]} is not in map-colors.txt`);
}

console.log(`${checked} blocks checked against ${sourceDir}; not in that version: ${unknown.join(', ') || 'none'}`);
for (const p of problems) console.log(p);
console.log(problems.length === 0 ? 'no disagreement' : `${problems.length} disagreements`);
process.exit(problems.length === 0 ? 0 : 1);
