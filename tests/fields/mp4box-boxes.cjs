// Prints every box the mp4box.js parser reads in a file as one JSON array:
// type, offset of its header, and its plain properties (numbers, strings,
// arrays of them, arrays of plain objects), sample entries and the boxes of
// a meta included. Usage: node mp4box-boxes.cjs FILE (the npm package
// mp4box in NODE_PATH).
const fs = require('fs');
const MP4Box = require('mp4box');

const data = fs.readFileSync(process.argv[2]);
const buffer = data.buffer.slice(data.byteOffset, data.byteOffset + data.byteLength);
buffer.fileStart = 0;
const file = MP4Box.createFile();
file.appendBuffer(buffer);
file.flush();

const skip = new Set(['boxes', 'data', 'hdr_size', 'start', 'size', 'type', 'box_name',
                      'original_size', 'entries', 'subBoxNames']);
function plain(value) {
  if (typeof value === 'number' || typeof value === 'string' || typeof value === 'boolean')
    return true;
  return false;
}
function properties(box) {
  const out = {};
  for (const key of Object.keys(box)) {
    if (skip.has(key)) continue;
    const value = box[key];
    if (plain(value)) out[key] = value;
    else if (Array.isArray(value) || ArrayBuffer.isView(value)) {
      const list = Array.from(value);
      if (list.every(plain)) out[key] = list;
      else if (list.every(v => v && typeof v === 'object' && !Array.isArray(v)))
        out[key] = list.map(v => {
          const o = {};
          for (const k of Object.keys(v)) if (plain(v[k])) o[k] = v[k];
          return o;
        });
    }
  }
  return out;
}
const out = [];
function walk(boxes) {
  for (const box of boxes || []) {
    out.push({type: box.type, offset: box.start, fields: properties(box)});
    walk(box.boxes);
    if (box.entries && box.entries.length && box.entries[0].type) walk(box.entries);
    for (const key of ['ipco', 'iloc', 'iinf', 'pitm', 'iref', 'ipma', 'idat', 'iprp'])
      if (box[key] && box[key].type && !(box.boxes || []).includes(box[key])) walk([box[key]]);
  }
}
walk(file.boxes);
process.stdout.write(JSON.stringify(out, (k, v) => typeof v === 'bigint' ? Number(v) : v));
