// The page and its JavaScript API in headless Chromium, checked against the
// Linux programs in build/ (MAPGRAFT_BUILD) on files in a temporary folder.
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import {spawnSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import {unzipSync} from '../../web/node_modules/fflate/esm/index.mjs';

const root = path.resolve(import.meta.dirname, '../..');
const site = path.join(root, 'build-web/site');
const programs = process.env.MAPGRAFT_BUILD || path.join(root, 'build');
const temp = fs.mkdtempSync(path.join(os.tmpdir(), 'mapgraft-web-'));
const inTemp = (name) => path.join(temp, name);
// Each fuzz input as it is, and the map the fuzz target edits: all but its first byte.
const maps = ['examples', 'fuzz/corpus', 'fuzz/regressions'].flatMap((dir) =>
  fs.readdirSync(path.join(root, dir), {withFileTypes: true}).filter((entry) => entry.isFile())
    .map((entry) => path.join(root, dir, entry.name)));
fs.mkdirSync(inTemp('maps'));
for (const file of maps.filter((file) => file.includes('fuzz/'))) {
  maps.push(inTemp(`maps/${path.basename(file)}`));
  fs.writeFileSync(maps.at(-1), fs.readFileSync(file).subarray(1));
}
const requests = [];
let browser;
let page;

function run(program, ...args) {
  return spawnSync(path.join(programs, program), args, {encoding: 'latin1', maxBuffer: 1 << 26});
}
// Runs fn(mg, bytes of file) in the page; the file comes through a file input of the test's own.
async function inPage(file, fn) {
  const input = await page.evaluateHandle(() => document.body.appendChild(Object.assign(document.createElement('input'), {type: 'file'})));
  await input.uploadFile(file);
  return page.evaluate(async (input, source) => {
    const bytes = new Uint8Array(await input.files[0].arrayBuffer());
    input.remove();
    return (0, eval)(source)(await createMapgraft(), bytes);
  }, input, fn.toString());
}
async function choose(control, files) {
  const [chooser] = await Promise.all([page.waitForFileChooser(), page.click(control)]);
  await chooser.accept(files);
}
const card = (name) => `article[aria-label="${name}"]`;
const cardText = (name) => page.$eval(card(name), (node) => node.innerText);

before(async () => {
  browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true, userDataDir: inTemp('profile'),
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
  page = await browser.newPage();
  page.on('request', (request) => requests.push(request.url()));
  await page.setViewport({width: 1100, height: 900});
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: inTemp('downloads')});
  await page.goto(`file://${site}/index.html`);
  await page.waitForFunction(() => document.getElementById('version').textContent !== '');
});
after(async () => {
  await browser?.close();
  fs.rmSync(temp, {recursive: true, force: true});
});

test('the site stays under 500 KB, and shows the version the programs print', async () => {
  const total = fs.readdirSync(site).reduce((sum, name) => sum + fs.statSync(path.join(site, name)).size, 0);
  assert.ok(total < 500 * 1024, `${total} bytes`);
  assert.ok(run('mapgraft-edit', '--version').stdout.includes(` ${await page.$eval('#version', (node) => node.textContent)}\n`));
});

test('the API reads each map as mapgraft-inspect --json does, and writes what mapgraft-edit -o writes', async () => {
  for (const file of maps) {
    const json = JSON.parse(run('mapgraft-inspect', '--json', file).stdout);
    const out = inTemp('edited.lvl');
    fs.rmSync(out, {force: true});
    const edit = run('mapgraft-edit', '--force', '-o', out, file);
    const got = await inPage(file, (mg, bytes) => {
      let map;
      try {
        map = mg.read(bytes, {force: true});
      } catch (error) {
        return {error: error.code};
      }
      const strict = () => {
        try {
          return mg.read(bytes).free();
        } catch (error) {
          return error.code;
        }
      };
      const result = {
        strict: strict() ?? null, shape: map.shape, damage: map.damage, attrs: map.attrs && [...map.attrs],
        chunks: map.chunks.map((chunk, index) => ({index, type: chunk.type, length: chunk.data.length})),
        written: Array.from(map.write()),
      };
      map.free();
      return result;
    });
    if (json.error) {
      assert.deepEqual(got, {error: 'MG_ERR_NOT_A_MAP'}, file);
      continue;
    }
    const attrs = json.chunks && new Map();
    for (const chunk of json.chunks || []) {
      const [key, ...value] = (chunk.text ?? '').split('=');
      if (value.length && key && !attrs.has(key)) attrs.set(key, value.join('='));
    }
    assert.deepEqual(got.chunks, (json.chunks || []).map(({index, type, length}) => ({index, type, length})), file);
    assert.deepEqual([got.strict, got.shape, got.damage, got.attrs],
      [json.damage && 'MG_ERR_DAMAGED', json.shape, json.damage?.reason ?? null, attrs && [...attrs]], file);
    if (edit.status === 0) assert.deepEqual(Buffer.from(got.written), fs.readFileSync(out), file);
  }
});

test('the API keeps its contract', async () => {
  const results = await inPage(inTemp('maps/extended.lvl'), (mg, bytes) => {
    const map = mg.read(bytes);
    const gone = mg.read(bytes);
    gone.free();
    const copy = map.chunk(0);
    copy.data.fill(255);
    const unchanged = String(map.write());
    const cases = [
      [() => String(map.chunk(0).data) !== String(copy.data) && map.chunk(1) && String.fromCharCode(...copy.typeBytes), 'ATTR'],
      [() => mg.read([1, 2, 3]), 'MG_ERR_ARGUMENT'],
      [() => map.chunk(map.chunkCount), 'MG_ERR_NO_CHUNK'],
      [() => map.removeChunk(-1), 'MG_ERR_NO_CHUNK'],
      [() => map.replaceChunk(1.5, ''), 'MG_ERR_ARGUMENT'],
      [() => map.addChunk('ATTRS', ''), 'MG_ERR_ARGUMENT'],
      [() => map.addChunk('\u0100', ''), 'MG_ERR_ARGUMENT'],
      [() => map.addChunk('NOTE', 42), 'MG_ERR_ARGUMENT'],
      [() => map.setAttr('', 'v'), 'MG_ERR_ARGUMENT'],
      [() => map.unsetAttr('a=b'), 'MG_ERR_ARGUMENT'],
      [() => map.setTileset(new Uint8Array(64)), 'MG_ERR_BAD_TILESET'],
      [() => String(map.write()) === unchanged, true],
      [() => gone.chunkCount, 'MG_ERR_ARGUMENT'],
      [() => gone.free(), 'MG_ERR_ARGUMENT'],
      [() => map.setAttr('ZONE', 'Main') ?? map.attrs.get('ZONE'), 'Main'],
      [() => map.addChunk(map.chunk(0).type, 'x') ?? map.chunk(map.chunkCount - 1).type === map.chunk(0).type, true],
      [() => mg.read(new Uint8Array(2 ** 31 - 4)), 'MG_ERR_NOMEM'],
      [() => mg.read(new Uint8Array(23), {strict: true}), 'MG_ERR_NOT_A_MAP'],
      [() => mg.read(new Uint8Array(23)).unlikeAMap, 'no bitmap, no metadata block, and 23 bytes are not whole 4-byte tiles'],
    ];
    return cases.map(([action, expected]) => {
      try {
        return [action.toString(), action(), expected];
      } catch (error) {
        return [action.toString(), error.code, expected];
      }
    });
  });
  for (const [action, got, expected] of results) assert.equal(got, expected, action);
});

const openInPage = async (...files) => (await page.$('#open-maps')).uploadFile(...files);
const statusIs = (name, text) => page.waitForFunction((selector, text) =>
  document.querySelector(selector)?.textContent === text, {timeout: 10000}, `${card(name)} .status`, text).catch(async (error) => {
  throw new Error(`${error.message}: the status says '${await page.$eval(`${card(name)} .status`, (node) => node.textContent)}', not '${text}'`);
});

test('a set, add, remove and tileset swap through the page download as mapgraft-edit writes them', async () => {
  const start = inTemp('start.lvl');
  assert.equal(run('mapgraft-edit', '-o', start, '--set', 'NAME=Small', '--add', 'NOTE', path.join(root, 'examples/msg.txt'),
    path.join(root, 'examples/smallmap.lvl')).status, 0);
  fs.writeFileSync(inTemp('tiles.bmp'), run('mapgraft-inspect', '--tileset', inTemp('maps/tileset.lvl')).stdout, 'latin1');
  await openInPage(start);
  await page.waitForSelector(`${card('start.lvl')} tbody tr`);
  await page.type(`${card('start.lvl')} input[name=key]`, 'TEAM');
  await page.type(`${card('start.lvl')} input[name=value]`, 'Blue');
  await page.keyboard.press('Enter');
  await statusIs('start.lvl', 'TEAM set.');
  await page.type(`${card('start.lvl')} input[name=type]`, 'NOTE');
  await (await page.$(`${card('start.lvl')} input[name=data]`)).uploadFile(path.join(root, 'examples/msg.txt'));
  await page.click(`${card('start.lvl')} form:has(input[name=type]) button`);
  await statusIs('start.lvl', 'NOTE chunk added.');
  await page.waitForSelector('button[aria-label="Remove chunk 1"]');
  await page.click('button[aria-label="Remove chunk 1"]');
  await statusIs('start.lvl', 'Chunk 1 removed.');
  await page.waitForSelector(`${card('start.lvl')} tbody tr`);
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.screenshot({path: path.join(root, 'docs/web.png'), fullPage: true});
  await choose('button[aria-label="Swap the tileset of start.lvl for a bitmap"]', [inTemp('tiles.bmp')]);
  await statusIs('start.lvl', 'Tileset swapped.');
  await page.click('button[aria-label="Download start.lvl"]');
  const expected = inTemp('expected.lvl');
  assert.equal(run('mapgraft-edit', '-o', expected, '--set', 'TEAM=Blue', '--add', 'NOTE', path.join(root, 'examples/msg.txt'),
    '--remove', '1', '--tileset', inTemp('tiles.bmp'), start).status, 0);
  const downloaded = inTemp('downloads/start.lvl');
  while (!fs.existsSync(downloaded)) await new Promise((resolve) => setTimeout(resolve, 50));
  assert.deepEqual(fs.readFileSync(downloaded), fs.readFileSync(expected));
});

test('a damaged map and a non-map are shown with their messages', async () => {
  const damaged = inTemp('maps/chunk_length_wraps.lvl');
  const reason = JSON.parse(run('mapgraft-inspect', '--json', damaged).stdout).damage.reason;
  await openInPage(damaged, inTemp('maps/bitmap_header_cut_short.lvl'));
  await page.waitForSelector(`${card('bitmap_header_cut_short.lvl')} .problem`);
  assert.match(await cardText('bitmap_header_cut_short.lvl'), /Cannot open this file: not a tarvex map file\./);
  await page.waitForSelector(`${card('chunk_length_wraps.lvl')} fieldset`);
  assert.ok((await cardText('chunk_length_wraps.lvl')).includes(`This map is damaged: ${reason}.`));
  const editable = () => page.$eval(`${card('chunk_length_wraps.lvl')} fieldset`, (node) => !node.disabled);
  assert.equal(await editable(), false);
  await page.click('button[aria-label="Edit chunk_length_wraps.lvl anyway"]');
  assert.equal(await editable(), true);
});

const smallmap = path.join(root, 'examples/smallmap.lvl');
const msg = path.join(root, 'examples/msg.txt');
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
// The next download of that name, taken out of the folder so that the one after gets the same name.
async function downloaded(name) {
  const file = inTemp(`downloads/${name}`);
  while (!fs.existsSync(file)) await sleep(50);
  await sleep(100);
  const bytes = fs.readFileSync(file);
  fs.rmSync(file);
  return bytes;
}
function edited(name, ...args) {
  fs.rmSync(inTemp(name), {force: true});
  const result = run('mapgraft-edit', '-q', '-o', inTemp(name), ...args);
  assert.equal(result.status, 0, result.stderr);
  return fs.readFileSync(inTemp(name));
}
// What the programs say, less their name and the map's.
const said = (result) => result.stderr.split('\n')[0].replace(/^mapgraft-edit: ('[^']*': )?/, '');
const opened = async (name) => page.waitForSelector(`${card(name)} fieldset`);
const click = (label, name) => page.click(`${name ? card(name) : ''} button[aria-label="${label.replaceAll('\\', '\\\\')}"]`);

test('keys that are not UTF-8 keep their bytes: a row each, removed and set by them, and no change is told as one', async () => {
  const attr = (name, text) => fs.writeFileSync(inTemp(name), Buffer.from(text, 'latin1')) ?? ['--add', 'ATTR', inTemp(name)];
  edited('keys.lvl', ...attr('k', 'K\xff\xfeY=value'), ...attr('a1', 'A\xff=1'), ...attr('a2', 'A\xfe=2'), smallmap);
  await openInPage(inTemp('keys.lvl'));
  await opened('keys.lvl');
  const keys = () => page.$$eval(`${card('keys.lvl')} .attributes tbody th`, (rows) => rows.map((row) => row.textContent));
  assert.deepEqual(await keys(), ['K\\xff\\xfeY', 'A\\xff', 'A\\xfe']);
  await click('Remove attribute K\\xff\\xfeY');
  await statusIs('keys.lvl', 'K\\xff\\xfeY removed.');
  await click('Set A\\xfe');
  await statusIs('keys.lvl', 'Nothing changed: the map already was so.');
  await page.$eval('input[aria-label="Value of A\\\\xff"]', (input) => { input.value = 'one'; });
  await click('Set A\\xff');
  await statusIs('keys.lvl', 'A\\xff set.');
  assert.deepEqual(await keys(), ['A\\xff', 'A\\xfe']);
  await click('Download keys.lvl');
  const expected = inTemp('keys-expected.lvl');
  const edit = spawnSync('bash', ['-c', `"${programs}/mapgraft-edit" -q -o "$1" --unset "$(printf 'K\\377\\376Y')" ` +
    `--set "$(printf 'A\\377=one')" "$2"`, 'edit', expected, inTemp('keys.lvl')]);
  assert.equal(edit.status, 0, String(edit.stderr));
  assert.deepEqual(await downloaded('keys.lvl'), fs.readFileSync(expected));
});

test('Close while a change runs drops the change quietly', async () => {
  const errors = [];
  const onError = (error) => errors.push(error.message);
  page.on('pageerror', onError);
  page.once('dialog', (dialog) => dialog.accept());
  fs.copyFileSync(smallmap, inTemp('closing.lvl'));
  await openInPage(inTemp('closing.lvl'));
  await opened('closing.lvl');
  await page.$eval(card('closing.lvl'), (node) => {
    node.querySelector('input[name=key]').value = 'X';
    node.querySelector('form:has(input[name=key]) button').click();
    node.querySelector('button[aria-label="Close closing.lvl"]').click();
  });
  await page.waitForFunction((selector) => !document.querySelector(selector), {}, card('closing.lvl'));
  await sleep(500);
  page.off('pageerror', onError);
  assert.deepEqual(errors, []);
});

test('every figure follows each kind of change; undo and redo go back to the bytes as opened; Close asks', async () => {
  fs.copyFileSync(smallmap, inTemp('figures.lvl'));
  fs.writeFileSync(inTemp('tiles.bmp'), run('mapgraft-inspect', '--tileset', inTemp('maps/tileset.lvl')).stdout, 'latin1');
  const facts = (file) => {
    const json = JSON.parse(run('mapgraft-inspect', '--json', file).stdout);
    const bitmap = run('mapgraft-inspect', '--tileset', file);
    const n = (count, noun) => `${count.toLocaleString('en')} ${noun}${count === 1 ? '' : 's'}`;
    const attrs = json.attrs ? `, ${n(Object.keys(json.attrs).length, 'attribute')}` : '';
    return [`${n(edited('facts.lvl', file).length, 'byte')} to download, ${json.shape}, ${n(json.chunks?.length ?? 0, 'chunk')}` +
      `${attrs}, tile data ${n(json.map.bytes, 'byte')}`, bitmap.status === 0 ? n(bitmap.stdout.length, 'byte') : null];
  };
  const shown = () => page.$eval(card('figures.lvl'), (node) => [node.querySelector('.facts').textContent,
    node.querySelector('.tileset').innerText.includes('default tileset') ? null : node.querySelector('.tileset p:last-of-type').textContent]);
  const form = (selector) => `${card('figures.lvl')} form:has(${selector})`;
  const changes = [
    [['--set', 'NAME=Small'], 'NAME set.', async () => {
      await page.type(`${form('input[name=key]')} input[name=key]`, 'NAME');
      await page.type(`${form('input[name=key]')} input[name=value]`, 'Small');
      await page.click(`${form('input[name=key]')} button`);
    }],
    [['--add', 'NOTE', msg], 'NOTE chunk added.', async () => {
      await page.type(`${form('input[name=type]')} input[name=type]`, 'NOTE');
      await (await page.$(`${form('input[name=type]')} input[name=data]`)).uploadFile(msg);
      await page.click(`${form('input[name=type]')} button`);
    }],
    [['--replace', '1', inTemp('tiles.bmp')], 'Chunk 1 replaced.', () => choose(`${card('figures.lvl')} button[aria-label="Replace chunk 1 with a file"]`, [inTemp('tiles.bmp')])],
    [['--tileset', inTemp('tiles.bmp')], 'Tileset swapped.', () => choose('button[aria-label="Swap the tileset of figures.lvl for a bitmap"]', [inTemp('tiles.bmp')])],
    [['--unset', 'NAME'], 'NAME removed.', () => click('Remove attribute NAME', 'figures.lvl')],
    [['--remove', '0'], 'Chunk 0 removed.', () => click('Remove chunk 0', 'figures.lvl')],
  ];
  await openInPage(inTemp('figures.lvl'));
  await opened('figures.lvl');
  const states = [inTemp('figures.lvl')];
  assert.deepEqual(await shown(), facts(states[0]));
  for (const [args, done, act] of changes) {
    await act();
    await statusIs('figures.lvl', done);
    states.push(inTemp(`figures-${states.length}.lvl`));
    edited(path.basename(states.at(-1)), ...args, states.at(-2));
    assert.deepEqual(await shown(), facts(states.at(-1)), done);
  }
  const marked = () => page.$eval(`${card('figures.lvl')} .unsaved`, (node) => node.textContent);
  assert.equal(await marked(), 'changed, not downloaded');
  await click('Undo the last change to figures.lvl');
  await statusIs('figures.lvl', 'Undone.');
  const keys = async (...held) => {
    for (const key of held) await page.keyboard.down(key);
    await page.keyboard.press('z');
    for (const key of held) await page.keyboard.up(key);
  };
  for (let i = 1; i < changes.length; ++i) await keys('Control');
  await page.waitForFunction((selector) => document.querySelector(selector).disabled, {}, 'button[aria-label="Undo the last change to figures.lvl"]');
  assert.equal(await marked(), '');
  assert.deepEqual(await shown(), facts(states[0]));
  await click('Download figures.lvl');
  assert.deepEqual(await downloaded('figures.lvl'), edited('opened.lvl', states[0]));
  await click('Redo the change to figures.lvl');
  for (let i = 1; i < changes.length; ++i) await keys('Control', 'Shift');
  await page.waitForFunction((selector) => document.querySelector(selector).disabled, {}, 'button[aria-label="Redo the change to figures.lvl"]');
  assert.deepEqual(await shown(), facts(states.at(-1)));
  const dialogs = [];
  page.on('dialog', (dialog) => dialogs.push(dialog.type()) && (dialogs.length === 1 ? dialog.dismiss() : dialog.accept()));
  await click('Close figures.lvl');
  await sleep(300);
  assert.ok(await page.$(card('figures.lvl')));
  await click('Close figures.lvl');
  await page.waitForFunction((selector) => !document.querySelector(selector), {}, card('figures.lvl'));
  page.removeAllListeners('dialog');
  assert.deepEqual(dialogs, ['confirm', 'confirm']);
});

test('a file that is no map is refused as the programs refuse it, until "Edit anyway"', async () => {
  fs.writeFileSync(inTemp('notes.txt'), 'not a map, 23 bytes so.');
  const reason = said(run('mapgraft-edit', '--set', 'A=1', inTemp('notes.txt'))).replace(/ \(--force.*/, '');
  await openInPage(inTemp('notes.txt'));
  await opened('notes.txt');
  assert.ok((await cardText('notes.txt')).includes(`This file ${reason}.`), reason);
  assert.equal(await page.$eval(`${card('notes.txt')} fieldset`, (node) => node.disabled), true);
  await click('Edit notes.txt anyway');
  await click('Download notes.txt');
  assert.deepEqual(await downloaded('notes.txt'), edited('notes.lvl', '--force', inTemp('notes.txt')));
});

test('refusals say what the programs say', async () => {
  fs.copyFileSync(smallmap, inTemp('refusals.lvl'));
  await openInPage(inTemp('refusals.lvl'));
  await opened('refusals.lvl');
  const field = (name) => `${card('refusals.lvl')} input[name=${name}]`;
  const cases = [
    [['--unset', 'A=B'], async () => {
      await page.type(field('key'), 'A=B');
      await page.click(`${card('refusals.lvl')} form:has(input[name=key]) button`);
    }],
    [['--add', 'TOOLONG', msg], async () => {
      await page.type(field('type'), 'TOOLONG');
      await (await page.$(field('data'))).uploadFile(msg);
      await page.click(`${card('refusals.lvl')} form:has(input[name=type]) button`);
    }],
    [['--tileset', msg], () => choose('button[aria-label="Swap the tileset of refusals.lvl for a bitmap"]', [msg])],
  ];
  for (const [args, act] of cases) {
    const expected = said(run('mapgraft-edit', ...args, inTemp('refusals.lvl')));
    await act();
    await statusIs('refusals.lvl', `Not done: ${expected}.`);
  }
});

test('a chunk, the tileset and all maps at once download as the programs write them', async () => {
  edited('takeaway.lvl', '--add', 'NOTE', msg, '--tileset', inTemp('tiles.bmp'), smallmap);
  await openInPage(inTemp('takeaway.lvl'));
  await opened('takeaway.lvl');
  await page.waitForSelector('button[aria-label="Download chunk 0 as takeaway-chunk-0.bin"]');
  await click('Download chunk 0 as takeaway-chunk-0.bin');
  assert.deepEqual(await downloaded('takeaway-chunk-0.bin'), Buffer.from(run('mapgraft-inspect', '-o', '-', inTemp('takeaway.lvl'), '0').stdout, 'latin1'));
  await click('Download the tileset of takeaway.lvl as takeaway-tileset.bmp');
  assert.deepEqual(await downloaded('takeaway-tileset.bmp'), Buffer.from(run('mapgraft-inspect', '--tileset', inTemp('takeaway.lvl')).stdout, 'latin1'));
  await page.click('#download-all');
  const entries = unzipSync(await downloaded('maps.zip'));
  assert.ok(Object.keys(entries).length >= 2 && 'takeaway.lvl' in entries, Object.keys(entries).join());
  for (const [name, bytes] of Object.entries(entries)) {
    await click(`Download ${name}`);
    assert.deepEqual(await downloaded(name), Buffer.from(bytes), name);
  }
});

test('at 360 pixels wide no element is wider than the screen', async () => {
  await page.setViewport({width: 360, height: 800});
  await page.evaluate(() => window.scrollTo(0, 0));
  const wide = await page.evaluate(() => [...document.querySelectorAll('body *')].filter((node) =>
    node.getBoundingClientRect().right > innerWidth + 0.5 && !node.closest('.visually-hidden')).map((node) => node.outerHTML.slice(0, 80)));
  await page.$eval(card('refusals.lvl'), (node) => node.scrollIntoView());
  await page.screenshot({path: path.join(root, 'docs/web-phone.png')});
  await page.setViewport({width: 1100, height: 900});
  assert.deepEqual(wide, []);
});

test('a 32 MiB map of 4 million empty chunks opens within 5 s, on the page and through the API', async (t) => {
  const count = 4000000;
  const bitmap = Buffer.from(run('mapgraft-inspect', '--tileset', inTemp('start.lvl')).stdout, 'latin1');
  const padded = (bitmap.length + 3) & ~3;
  const big = Buffer.alloc(padded + 12 + 8 * count + 4096);
  bitmap.copy(big);
  big.writeUInt16LE(padded, 6);
  big.writeUInt32LE(padded + 12 + 8 * count, 2);
  big.write('elvl', padded, 'latin1');
  big.writeUInt32LE(12 + 8 * count, padded + 4);
  for (let at = padded + 12; at < padded + 12 + 8 * count; at += 8) big.write('NOTE', at, 'latin1');
  fs.writeFileSync(inTemp('big.lvl'), big);
  const started = Date.now();
  await openInPage(inTemp('big.lvl'));
  await page.waitForFunction((selector) => document.querySelector(selector)?.textContent.includes('4,000,000 chunks'),
    {timeout: 60000}, `${card('big.lvl')} .facts`);
  const pageTime = Date.now() - started;
  const [chunks, apiTime] = await inPage(inTemp('big.lvl'), (mg, bytes) => {
    const begun = performance.now();
    const map = mg.read(bytes);
    const result = [map.chunkCount, performance.now() - begun];
    map.free();
    return result;
  });
  assert.equal(chunks, count);
  t.diagnostic(`page ${pageTime} ms, API ${Math.round(apiTime)} ms`);
  assert.ok(pageTime <= 5000 && apiTime <= 5000, `page ${pageTime} ms, API ${apiTime} ms`);
});

test('no request leaves the page', () => {
  assert.ok(requests.length > 0);
  assert.deepEqual(requests.filter((url) => !/^(file|data|blob):/.test(url)), []);
});
