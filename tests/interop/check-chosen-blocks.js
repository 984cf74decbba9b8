// Reads a .litematic that tesselbox-cli wrote from a chosen set of blocks with prismarine-nbt (npm,
// pinned by package-lock.json) and checks that every block in it is one the game version has, by
// minecraft-data's list in tests/data/game-versions, and none of those the user left out.
// Usage: node check-chosen-blocks.js FILE.litematic GAME-VERSIONS-FOLDER VERSION LEFT-OUT-REGEX
'use strict';
const fs = require('fs');
const path = require('path');
const nbt = require('prismarine-nbt');

const [file, dataFolder, version, leftOut] = process.argv.slice(2);
const versions = fs.readFileSync(path.join(dataFolder, 'versions.txt'), 'utf8').split('\n')
  .filter((l) => l && !l.startsWith('#')).map((l) => l.split(' '));
const order = versions.map(([v]) => v);
const has = new Set();
for (const line of fs.readFileSync(path.join(dataFolder, 'block-names.txt'), 'utf8').split('\n')) {
  if (!line || line.startsWith('#')) continue;
  const [name, , ...runs] = line.split(' ');
  for (const run of runs) {
    const [first, last = first] = run.split('..');
    const at = order.indexOf(version);
    if (order.indexOf(first) <= at && at <= order.indexOf(last)) has.add(name);
  }
}

async function main() {
  const { parsed } = await nbt.parse(fs.readFileSync(file));
  const s = nbt.simplify(parsed);
  const dataVersion = Number(versions.find(([v]) => v === version)[1]);
  if (s.MinecraftDataVersion !== dataVersion) throw new Error(`DataVersion ${s.MinecraftDataVersion}, not ${dataVersion}`);
  const region = Object.values(s.Regions)[0];
  const names = region.BlockStatePalette.map((entry) => entry.Name);
  const bits = BigInt(Math.max(2, Math.ceil(Math.log2(names.length))));
  const longs = region.BlockStates.map(([high, low]) => (BigInt(high >>> 0) << 32n) | BigInt(low >>> 0));
  const count = BigInt(region.Size.x * region.Size.z);
  const used = new Map();
  for (let i = 0n; i < count; ++i) {
    const start = i * bits;
    let value = longs[Number(start / 64n)] >> (start % 64n);
    if (start % 64n + bits > 64n) value |= longs[Number(start / 64n) + 1] << (64n - start % 64n);
    const name = names[Number(value & ((1n << bits) - 1n))];
    used.set(name, (used.get(name) || 0) + 1);
  }
  used.delete('minecraft:air');
  const wrong = [...used.keys()].filter((n) => !has.has(n) || new RegExp(leftOut).test(n));
  console.log(`${used.size} kinds of block in ${count} cells, Minecraft ${version}`);
  if (used.size < 20) throw new Error('too few kinds of block to tell anything');
  if (wrong.length) throw new Error(`blocks that should not be there: ${wrong.join(', ')}`);
  console.log('1 passed, 0 failed');
}
main().catch((error) => {
  console.log(`FAILED ${file}: ${error.message}`);
  process.exitCode = 1;
});
