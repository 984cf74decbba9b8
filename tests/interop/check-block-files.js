// Reads every file that write_block_file_samples wrote with prismarine-nbt (npm, pinned by
// package-lock.json) and checks it against manifest.json: the layout each format's readers expect,
// and every cell. Usage: node check-block-files.js FOLDER
'use strict';
const fs = require('fs');
const path = require('path');
const nbt = require('prismarine-nbt');

const folder = process.argv[2];
const manifest = JSON.parse(fs.readFileSync(path.join(folder, 'manifest.json'), 'utf8'));

function check(condition, what) {
  if (!condition) throw new Error(what);
}
function sameArray(actual, expected, what) {
  check(actual.length === expected.length, `${what}: ${actual.length} values, expected ${expected.length}`);
  for (let i = 0; i < expected.length; ++i) {
    check(actual[i] === expected[i], `${what}[${i}] is ${actual[i]}, expected ${expected[i]}`);
  }
}
const unsignedLong = ([high, low]) => (BigInt(high >>> 0) << 32n) | BigInt(low >>> 0);

function checkSchematic(root, file) {
  check(root.name === 'Schematic', 'root name');
  const s = nbt.simplify(root);
  check(s.Width === file.width && s.Length === file.length && s.Height === 1, 'sizes');
  check(s.Materials === 'Alpha', 'Materials');
  sameArray(s.Blocks.map((b) => b & 0xff), file.blocks, 'Blocks');
  sameArray(s.Data.map((b) => b & 0xff), file.data, 'Data');
}

function checkSchem(root, file) {
  const v3 = file.schemVersion === 3;
  check(root.name === (v3 ? '' : 'Schematic'), 'root name');
  const top = nbt.simplify(root);
  const s = v3 ? top.Schematic : top;
  check(s !== undefined, 'no Schematic compound');
  // FAWE's fast reader reads the fields in this order.
  const order = ['Version', 'DataVersion', 'Metadata', 'Width', 'Height', 'Length', 'Offset'];
  sameArray(Object.keys(s).slice(0, order.length), order, 'field order');
  check(s.Version === file.schemVersion, 'Version');
  check(s.DataVersion === file.dataVersion, 'DataVersion');
  check((s.Width & 0xffff) === file.width && (s.Length & 0xffff) === file.length && s.Height === 1, 'sizes');
  sameArray(s.Offset, [0, 0, 0], 'Offset');
  const blocks = v3 ? s.Blocks : s;
  if (v3) sameArray(Object.keys(blocks).slice(0, 2), ['Palette', 'Data'], 'Blocks order');
  const palette = blocks.Palette;
  const names = [];
  for (const [state, index] of Object.entries(palette)) {
    check(names[index] === undefined, `palette index ${index} twice`);
    names[index] = state;
  }
  check(names.length === Object.keys(palette).length, 'palette indices leave a gap');
  if (!v3) check(s.PaletteMax === names.length, 'PaletteMax');
  const bytes = (v3 ? blocks.Data : blocks.BlockData).map((b) => b & 0xff);
  const cells = [];
  for (let at = 0; at < bytes.length;) {
    let value = 0;
    for (let shift = 0; ; shift += 7) {
      check(at < bytes.length, 'a varint runs off the end');
      const byte = bytes[at++];
      value |= (byte & 0x7f) << shift;
      if ((byte & 0x80) === 0) break;
    }
    cells.push(names[value]);
  }
  sameArray(cells, file.cells, 'cells');
}

function checkLitematic(root, file) {
  check(root.name === '', 'root name');
  const s = nbt.simplify(root);
  check(s.MinecraftDataVersion === file.dataVersion, 'MinecraftDataVersion');
  check(s.Version === file.litematicaVersion && s.SubVersion === 1, 'Version');
  const meta = s.Metadata;
  const blocks = file.cells.filter((c) => c !== 'minecraft:air').length;
  check(meta.RegionCount === 1, 'RegionCount');
  check(meta.TotalVolume === file.width * file.length && meta.TotalBlocks === blocks, 'totals');
  check(meta.EnclosingSize.x === file.width && meta.EnclosingSize.y === 1 && meta.EnclosingSize.z === file.length,
        'EnclosingSize');
  for (const key of ['Name', 'Author', 'Description']) check(typeof meta[key] === 'string', key);
  check(Array.isArray(meta.TimeCreated) && Array.isArray(meta.TimeModified), 'times are longs');
  const side = Math.round(Math.sqrt(meta.PreviewImageData.length));
  check(side * side === meta.PreviewImageData.length && side > 0 && side <= 140, 'the preview is a square');
  check(meta.PreviewImageData.some((argb) => argb !== 0), 'the preview shows something');
  const regionNames = Object.keys(s.Regions);
  check(regionNames.length === 1, 'one region');
  const region = s.Regions[regionNames[0]];
  check(region.Position.x === 0 && region.Position.y === 0 && region.Position.z === 0, 'Position');
  check(region.Size.x === file.width && region.Size.y === 1 && region.Size.z === file.length, 'Size');
  for (const list of ['TileEntities', 'Entities', 'PendingBlockTicks', 'PendingFluidTicks']) {
    check(Array.isArray(region[list]) && region[list].length === 0, list);
  }
  const names = region.BlockStatePalette.map((entry) => {
    const props = entry.Properties ? Object.entries(entry.Properties).map(([k, v]) => `${k}=${v}`) : [];
    return props.length ? `${entry.Name}[${props.join(',')}]` : entry.Name;
  });
  check(names[0] === 'minecraft:air', 'palette entry 0 is air');
  check(new Set(names).size === names.length, 'palette entries are unique');
  const bits = BigInt(Math.max(2, Math.ceil(Math.log2(names.length))));
  const longs = region.BlockStates.map(unsignedLong);
  const count = BigInt(file.cells.length);
  check(BigInt(longs.length) === (count * bits + 63n) / 64n, 'BlockStates length');
  const mask = (1n << bits) - 1n;
  const cells = [];
  for (let i = 0n; i < count; ++i) {
    const start = i * bits;
    const word = start / 64n;
    const offset = start % 64n;
    let value = longs[Number(word)] >> offset;
    if (offset + bits > 64n) value |= longs[Number(word) + 1] << (64n - offset);
    cells.push(names[Number(value & mask)]);
  }
  sameArray(cells, file.cells, 'cells');
}

async function main() {
  let passed = 0;
  let failed = 0;
  for (const file of manifest) {
    if (file.names) file.cells = file.cells.map((i) => file.names[i]);  // indices into names
    try {
      const bytes = fs.readFileSync(path.join(folder, file.file));
      check((bytes[0] === 0x1f && bytes[1] === 0x8b) === file.gzip, file.gzip ? 'not gzip' : 'gzip');
      const { parsed, type } = await nbt.parse(bytes);
      check(type === 'big', `read as ${type} NBT`);
      if (file.format === 'schematic') checkSchematic(parsed, file);
      else if (file.format === 'schem') checkSchem(parsed, file);
      else checkLitematic(parsed, file);
      ++passed;
      console.log(`ok ${file.file}`);
    } catch (error) {
      ++failed;
      console.log(`FAILED ${file.file}: ${error.message}`);
    }
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exitCode = failed === 0 && passed > 0 ? 0 : 1;
}
main();
