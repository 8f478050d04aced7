// The page's maps live in a Web Worker, so that reading a large map does not
// freeze the page. The page sends {id, op, args} and gets back {id, result}
// or {id, error: {code, message, reason}}. From file:// a worker can only be
// made from inline source, so this function is sent as text (see page.js).
function mapgraftWorker(scope) {
  const ready = createMapgraft();
  const maps = new Map();
  let nextHandle = 1;
  let nextState = 1;
  const CHANGES = new Set(['addChunk', 'removeChunk', 'replaceChunk', 'setAttr', 'unsetAttr', 'setTileset']);
  const refused = (message) => Object.assign(new Error(message), {code: 'MG_ERR_ARGUMENT'});

  // Each map keeps its states for undo: the file as opened, then the bytes
  // each change wrote, so that every figure is read from the map as it will
  // download, and undo reads a state back.
  function opened(handle) {
    const open = maps.get(handle);
    if (!open) throw refused('the map is closed');
    return open;
  }
  const current = (open) => open.states[open.at];
  function written(open) {
    const state = current(open);
    state.written ??= open.map.write();
    return state.written;
  }
  function load(mg, open, at) {
    const map = mg.read(open.states[at].bytes, {force: true});
    open.map?.free();
    open.map = map;
    open.at = at;
  }
  function sameBytes(a, b) {
    if (a.length !== b.length) return false;
    for (let i = 0; i < a.length; ++i) if (a[i] !== b[i]) return false;
    return true;
  }
  // The default tileset that saving gives a map without one of its own.
  function savedTileset(mg, open) {
    const saved = mg.read(written(open));
    try {
      return saved.tileset;
    } finally {
      saved.free();
    }
  }
  function summary(mg, handle) {
    const open = opened(handle);
    const {map, states, at} = open;
    const tileset = map.tileset;
    return {
      handle, state: current(open).id, canUndo: at > 0, canRedo: at < states.length - 1,
      shape: map.shape, damage: map.damage, unlike: map.unlikeAMap, chunkCount: map.chunkCount,
      attrs: map.chunkCount === 0 && map.shape !== 'extended' ? null : map.attrEntries,
      tileset, defaultTileset: tileset ? null : savedTileset(mg, open),
      tilesSize: map.tiles.length, writtenSize: map.writtenSize,
    };
  }

  const ops = {
    open(mg, buffer) {
      const open = {states: [{id: nextState++, bytes: new Uint8Array(buffer)}]};
      load(mg, open, 0);
      maps.set(nextHandle, open);
      return summary(mg, nextHandle++);
    },
    chunks(mg, handle, start, count) {
      const {map} = opened(handle);
      const rows = [];
      for (let i = start; i < Math.min(start + count, map.chunkCount); ++i) {
        const {type, data} = map.chunk(i);
        const end = data.indexOf(0);
        const line = type === 'ATTR' ? data.subarray(0, end < 0 ? undefined : end) : null;
        rows.push({index: i, type, size: data.length, line, head: data.slice(0, 16)});
      }
      return rows;
    },
    chunk(mg, handle, index) {
      return opened(handle).map.chunk(index).data;
    },
    // {changed: false} when the map would download as before: a change that
    // changed nothing is not a step to undo.
    change(mg, handle, method, args) {
      if (!CHANGES.has(method)) throw refused('no such change');
      const open = opened(handle);
      const before = written(open);
      // All or nothing: a refused change leaves the map as it was.
      open.map[method](...args);
      let after;
      try {
        after = open.map.write();
      } catch (error) {
        load(mg, open, open.at);
        throw error;
      }
      if (sameBytes(before, after)) {
        load(mg, open, open.at);
        return {changed: false, summary: summary(mg, handle)};
      }
      open.states.splice(open.at + 1, Infinity, {id: nextState++, bytes: after, written: after});
      load(mg, open, open.at + 1);
      return {changed: true, summary: summary(mg, handle)};
    },
    undo(mg, handle) {
      const open = opened(handle);
      if (open.at === 0) throw refused('nothing to undo');
      load(mg, open, open.at - 1);
      return summary(mg, handle);
    },
    redo(mg, handle) {
      const open = opened(handle);
      if (open.at === open.states.length - 1) throw refused('nothing to redo');
      load(mg, open, open.at + 1);
      return summary(mg, handle);
    },
    write(mg, handle) {
      return written(opened(handle)).slice();
    },
    close(mg, handle) {
      opened(handle).map.free();
      maps.delete(handle);
    },
  };

  scope.onmessage = async (event) => {
    const {id, op, args} = event.data;
    try {
      const result = ops[op](await ready, ...args);
      scope.postMessage({id, result}, result instanceof Uint8Array ? [result.buffer] : []);
    } catch (error) {
      scope.postMessage({id, error: {code: error.code || null, message: error.message, reason: error.reason || null}});
    }
  };
}
