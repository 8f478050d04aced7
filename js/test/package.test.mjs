// The npm package's build in build-web/npm (MAPGRAFT_NPM), in Node.js, against
// the programs in build/ (MAPGRAFT_BUILD), on maps in a temporary folder.
import {test} from 'node:test';
import assert from 'node:assert/strict';
import {spawnSync} from 'node:child_process';
import fs from 'node:fs';
import {createRequire} from 'node:module';
import os from 'node:os';
import path from 'node:path';

const root = path.resolve(import.meta.dirname, '../..');
const npm = process.env.MAPGRAFT_NPM || path.join(root, 'build-web/npm');
const programs = process.env.MAPGRAFT_BUILD || path.join(root, 'build');
const temp = fs.mkdtempSync(path.join(os.tmpdir(), 'mapgraft-node-'));
const inTemp = (name) => path.join(temp, name);
const {createMapgraft} = await import(path.join(npm, 'mapgraft.mjs'));
const mg = await createMapgraft();
process.on('exit', () => fs.rmSync(temp, {recursive: true, force: true}));

function run(program, ...args) {
  return spawnSync(path.join(programs, program), args, {encoding: 'latin1'});
}
// Every example map, and each fuzz input as the fuzz target reads it: all but its first byte.
const maps = ['examples', 'fuzz/corpus', 'fuzz/regressions'].flatMap((dir) =>
  fs.readdirSync(path.join(root, dir)).filter((name) => name.endsWith('.lvl')).map((name) => {
    const copy = inTemp(`${dir.replace('/', '_')}_${name}`);
    fs.writeFileSync(copy, fs.readFileSync(path.join(root, dir, name)).subarray(dir === 'examples' ? 0 : 1));
    return copy;
  }));
const codeOf = (fn) => {
  try {
    fn();
  } catch (error) {
    return error.code;
  }
};

test('require gives what import gives', async () => {
  const required = createRequire(import.meta.url)(path.join(npm, 'mapgraft.js'));
  assert.equal((await required.createMapgraft()).version, mg.version);
  assert.ok(run('mapgraft-edit', '--version').stdout.includes(` ${mg.version}\n`));
});

test('readFile reads as mapgraft-inspect --json, and writeFile writes what mapgraft-edit -o writes', () => {
  for (const file of maps) {
    const json = JSON.parse(run('mapgraft-inspect', '--json', file).stdout);
    const unlike = run('mapgraft-edit', '-n', '--unset', 'X', file).stderr.includes('does not look like a map');
    assert.equal(codeOf(() => mg.readFile(file, {strict: true})),
      json.error || unlike ? 'MG_ERR_NOT_A_MAP' : json.damage ? 'MG_ERR_DAMAGED' : undefined, file);
    if (json.error) continue;
    const map = mg.readFile(file, {force: true});
    assert.deepEqual([map.shape, map.damage, map.chunks.map(({type, data}) => [type, data.length])],
      [json.shape, json.damage?.reason ?? null, (json.chunks || []).map(({type, length}) => [type, length])], file);
    assert.deepEqual(map.attrs && Object.fromEntries(map.attrs), json.attrs, file);
    fs.rmSync(inTemp('edited.lvl'), {force: true});
    if (run('mapgraft-edit', '--force', '-o', inTemp('edited.lvl'), file).status === 0) {
      map.writeFile(inTemp('written.lvl'));
      assert.deepEqual(fs.readFileSync(inTemp('written.lvl')), fs.readFileSync(inTemp('edited.lvl')), file);
    }
    map.free();
  }
});

test('each change as mapgraft-edit makes it', () => {
  fs.writeFileSync(inTemp('data'), 'NAME=From a file');
  const base = inTemp('base.lvl');
  run('mapgraft-edit', '-o', base, '--set', 'NAME=Base', '--add', 'NOTE', inTemp('data'), maps[0]);
  fs.writeFileSync(inTemp('tiles.bmp'), mg.read(mg.readFile(base).write()).tileset);
  const data = fs.readFileSync(inTemp('data'));
  for (const [args, change] of [
    [['--set', 'NAME=Arena'], (map) => map.setAttr('NAME', 'Arena')],
    [['--unset', 'NAME'], (map) => map.unsetAttr('NAME')],
    [['--add', 'X', inTemp('data')], (map) => map.addChunk('X', data)],
    [['--remove', '0', '--replace', '1', inTemp('data')], (map) => (map.removeChunk(0), map.replaceChunk(0, data))],
    [['--tileset', inTemp('tiles.bmp')], (map) => map.setTileset(fs.readFileSync(inTemp('tiles.bmp')))],
  ]) {
    fs.rmSync(inTemp('expected.lvl'), {force: true});
    assert.equal(run('mapgraft-edit', '-o', inTemp('expected.lvl'), ...args, base).status, 0, args.join(' '));
    const map = mg.readFile(base);
    change(map);
    map.writeFile(inTemp('changed.lvl'));
    assert.deepEqual(fs.readFileSync(inTemp('changed.lvl')), fs.readFileSync(inTemp('expected.lvl')), args.join(' '));
  }
});

test('a failed writeFile leaves the target as it was and no temporary file', () => {
  const map = mg.readFile(maps[0]);
  fs.mkdirSync(inTemp('folder'));
  assert.equal(codeOf(() => map.writeFile(inTemp('folder'))), 'EISDIR');
  assert.equal(codeOf(() => mg.readFile(inTemp('none.lvl'))), 'ENOENT');
  assert.equal(codeOf(() => mg.read(new Uint8Array(23), {strict: true})), 'MG_ERR_NOT_A_MAP');
  assert.equal(mg.read(new Uint8Array(23)).shape, 'plain');
  assert.deepEqual(fs.readdirSync(inTemp('folder')), []);
  assert.deepEqual(fs.readdirSync(temp).filter((name) => name.endsWith('.tmp')), []);
  map.free();
  assert.equal(codeOf(() => map.writeFile(inTemp('x.lvl'))), 'MG_ERR_ARGUMENT');
});

test('the packed .tgz installs without a registry, for require and for import', () => {
  const project = inTemp('project');
  fs.mkdirSync(project);
  fs.writeFileSync(path.join(project, 'package.json'), '{"private": true}');
  const tgz = path.join(npm, `../mapgraft-${mg.version}.tgz`);
  const install = spawnSync('npm', ['install', '--offline', '--no-audit', '--no-fund', tgz], {cwd: project, encoding: 'utf8'});
  assert.equal(install.status, 0, install.stderr);
  for (const [file, source] of [
    ['required.cjs', "require('mapgraft').createMapgraft().then((mg) => console.log(mg.version));"],
    ['imported.mjs', "import {createMapgraft} from 'mapgraft';\nconsole.log((await createMapgraft()).version);"],
  ]) {
    fs.writeFileSync(path.join(project, file), source);
    assert.equal(spawnSync(process.execPath, [file], {cwd: project, encoding: 'utf8'}).stdout, `${mg.version}\n`, file);
  }
});
