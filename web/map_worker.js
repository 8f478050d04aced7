// The page's maps live in a Web Worker, so that reading a large map does not
// freeze the page. The page sends {id, op, args} and gets back {id, result}
// or {id, error: {code, message}}. From file:// a worker can only be made
// from inline source, so this function is sent as text (see page.js).
function mapgraftWorker(scope) {
  const ready = createMapgraft();
  const maps = new Map();
  let nextHandle = 1;
  const CHANGES = new Set(['addChunk', 'removeChunk', 'replaceChunk', 'setAttr', 'unsetAttr', 'setTileset']);

  function opened(handle) {
    const map = maps.get(handle);
    if (!map) throw Object.assign(new Error('the map is closed'), {code: 'MG_ERR_ARGUMENT'});
    return map;
  }
  function summary(handle) {
    const map = opened(handle);
    const attrs = map.attrs;
    return {
      handle, shape: map.shape, damage: map.damage, chunkCount: map.chunkCount,
      attrs: attrs && [...attrs], tileset: map.tileset, tilesSize: map.tiles.length,
    };
  }

  const ops = {
    open(mg, buffer) {
      const bytes = new Uint8Array(buffer);
      let map;
      try {
        map = mg.read(bytes);
      } catch (error) {
        if (error.code !== 'MG_ERR_DAMAGED') throw error;
        map = mg.read(bytes, {force: true});
      }
      maps.set(nextHandle, map);
      return summary(nextHandle++);
    },
    chunks(mg, handle, start, count) {
      const map = opened(handle);
      const rows = [];
      for (let i = start; i < Math.min(start + count, map.chunkCount); ++i) {
        const chunk = map.chunk(i);
        const end = chunk.data.indexOf(0);
        const text = chunk.type === 'ATTR' ? new TextDecoder().decode(chunk.data.subarray(0, end < 0 ? undefined : end)) : null;
        rows.push({index: i, type: chunk.type, size: chunk.data.length, text});
      }
      return rows;
    },
    change(mg, handle, method, args) {
      if (!CHANGES.has(method)) throw Object.assign(new Error('no such change'), {code: 'MG_ERR_ARGUMENT'});
      opened(handle)[method](...args);
      return summary(handle);
    },
    write(mg, handle) {
      return opened(handle).write();
    },
    close(mg, handle) {
      opened(handle).free();
      maps.delete(handle);
    },
  };

  scope.onmessage = async (event) => {
    const {id, op, args} = event.data;
    try {
      const result = ops[op](await ready, ...args);
      scope.postMessage({id, result}, result instanceof Uint8Array ? [result.buffer] : []);
    } catch (error) {
      scope.postMessage({id, error: {code: error.code || null, message: error.message}});
    }
  };
}
