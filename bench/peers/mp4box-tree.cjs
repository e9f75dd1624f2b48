// Prints the box tree of an MP4 file with the mp4box.js parser, one line per
// box, indented by depth: the listing a web developer would reach for.
// Usage: node mp4box-tree.cjs FILE  (needs the npm package mp4box installed
// in NODE_PATH or a node_modules folder beside the caller)
const fs = require('fs');
const MP4Box = require('mp4box');

const data = fs.readFileSync(process.argv[2]);
const buffer = data.buffer.slice(data.byteOffset, data.byteOffset + data.byteLength);
buffer.fileStart = 0;
const file = MP4Box.createFile();
file.appendBuffer(buffer);
file.flush();

const out = [];
function walk(boxes, depth) {
  for (const box of boxes || []) {
    out.push(' '.repeat(depth * 2) + box.type + ' ' + box.size);
    walk(box.boxes, depth + 1);
    // Sample entries (stsd, dref) are boxes too; other entry lists are not.
    if (box.entries && box.entries.length && box.entries[0].type) walk(box.entries, depth + 1);
  }
}
walk(file.boxes, 0);
process.stdout.write(out.join('\n') + '\n');
