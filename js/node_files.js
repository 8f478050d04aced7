// Appended after mapgraft_api.js in the package's build: in Node.js (or a
// bundler) the API is the module's export, and gains files read and written
// synchronously with Node's fs. A browser's <script> sees createMapgraft as
// the page's build defines it.
if (typeof module === 'object' && module && module.exports) {
  const createForPage = createMapgraft;

  function pathOf(file) {
    return file instanceof URL ? require('node:url').fileURLToPath(file) : String(file);
  }

  // Writes beside the target and renames over it, so that a reader sees the
  // old map or the new one; unlike the C library's save, it keeps neither
  // owner nor mode and does not read the file back.
  function writeFile(file) {
    const fs = require('node:fs');
    const path = require('node:path');
    const target = pathOf(file);
    const bytes = this.write();
    const temp = path.join(path.dirname(target),
      `.${path.basename(target)}.${process.pid}-${Math.random().toString(36).slice(2)}.tmp`);
    let fd = fs.openSync(temp, 'wx', 0o666);
    try {
      for (let at = 0; at < bytes.length;) at += fs.writeSync(fd, bytes, at);
      fs.fsyncSync(fd);
      fs.closeSync(fd);
      fd = -1;
      fs.renameSync(temp, target);
    } catch (error) {
      if (fd >= 0) fs.closeSync(fd);
      fs.rmSync(temp, {force: true});
      throw error;
    }
  }

  function withFiles(mg) {
    const read = mg.read;
    mg.read = (bytes, options) => Object.defineProperty(read(bytes, options), 'writeFile', {value: writeFile});
    mg.readFile = (file, options) => mg.read(require('node:fs').readFileSync(pathOf(file)), options);
    return mg;
  }

  module.exports = {createMapgraft: () => createForPage().then(withFiles)};
}
