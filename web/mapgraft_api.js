// The JavaScript face of libmapgraft: createMapgraft() gives a Promise of `mg`.
// Everything handed out is a copy: WebAssembly memory moves when it grows, and
// a view into it would change under its holder with the next call.

function createMapgraft() {
  return mapgraftModule().then(mapgraftApi);
}

function mapgraftApi(wasm) {
  const ARGUMENT = 2;
  const NOMEM = 1;
  const NO_CHUNK = 5;
  const NO_TILESET = 7;
  const SHAPES = ['plain', 'tileset', 'extended'];
  const MAX_SIZE = 0xffffffff;
  const ATTR = 0x52545441; // the type "ATTR" as WebAssembly, little-endian, reads it
  // Out-parameters: two pointers or sizes, or one mg_chunk (type, data, size).
  const scratch = wasm._malloc(16) >>> 0;
  const utf8 = new TextEncoder();
  const text = new TextDecoder();
  // One character for each byte, each byte its own: a key's exact bytes as a string.
  const exactly = new TextDecoder('latin1');

  // `reason`, where the library gives one, is what the programs say for the
  // same refusal; `message` stays the code's general text.
  function fail(status, reason = '') {
    const error = new Error(wasm.UTF8ToString(wasm._mg_strerror(status)));
    error.code = wasm.UTF8ToString(wasm._mg_error_name(status));
    if (reason) error.reason = reason;
    throw error;
  }
  function check(status, map = 0) {
    if (status !== 0) fail(status, map && wasm.UTF8ToString(wasm._mg_map_errmsg(map)));
  }
  function word(offset) {
    return wasm.HEAPU32[(scratch + offset) >>> 2];
  }
  function copyOut(pointer, size) {
    return wasm.HEAPU8.slice(pointer, pointer + size);
  }

  // Copies `bytes` into WebAssembly memory for the length of one call; a NUL
  // is appended so that text can be passed as a C string.
  function withBytes(bytes, use) {
    if (bytes.length >= MAX_SIZE) fail(NOMEM);
    const pointer = wasm._malloc(bytes.length + 1) >>> 0;
    if (pointer === 0) fail(NOMEM);
    try {
      wasm.HEAPU8.set(bytes, pointer);
      wasm.HEAPU8[pointer + bytes.length] = 0;
      return use(pointer, bytes.length);
    } finally {
      wasm._free(pointer);
    }
  }
  function dataBytes(data) {
    if (typeof data === 'string') return utf8.encode(data);
    if (data instanceof Uint8Array) return data;
    return fail(ARGUMENT);
  }
  // A key or value is text taken as UTF-8, or its exact bytes as a Uint8Array.
  function cString(value) {
    const bytes = value instanceof Uint8Array ? value : typeof value === 'string' ? utf8.encode(value) : fail(ARGUMENT);
    if (bytes.includes(0)) fail(ARGUMENT);
    return bytes;
  }
  function typeBytes(type) {
    if (type instanceof Uint8Array && type.length === 4) return type;
    if (typeof type !== 'string') return fail(ARGUMENT);
    const bytes = Uint8Array.from(type, (c) => (c.charCodeAt(0) > 0xff ? fail(ARGUMENT) : c.charCodeAt(0)));
    // The programs' rule and words for a type of the wrong length.
    return withBytes(bytes, (pointer, size) => {
      const status = wasm._mgweb_chunk_type(pointer, size, scratch, scratch + 4);
      if (status === 0) return wasm.HEAPU8.slice(scratch, scratch + 4);
      const reason = word(4) && wasm.UTF8ToString(word(4));
      wasm._free(word(4));
      return fail(status, reason);
    });
  }
  function index(value) {
    if (!Number.isInteger(value)) fail(ARGUMENT);
    if (value < 0 || value > MAX_SIZE) fail(NO_CHUNK);
    return value;
  }

  // An ATTR chunk's line is its data up to the first zero byte; its text, as
  // mapgraft-inspect's JSON gives it, that line as UTF-8.
  function attrLine(data) {
    const end = data.indexOf(0);
    return end < 0 ? data : data.subarray(0, end);
  }
  // Calls use(key, value) with the bytes of each ATTR chunk that holds a key.
  function eachAttr(map, use) {
    const count = wasm._mg_map_chunk_count(map) >>> 0;
    // A large map has millions of chunks: only ATTR ones are copied.
    for (let i = 0; i < count; ++i) {
      check(wasm._mg_map_chunk(map, i, scratch));
      if (word(0) !== ATTR) continue;
      const line = attrLine(wasm.HEAPU8.subarray(word(4), word(4) + word(8)));
      const equals = line.indexOf(61);
      if (equals > 0) use(line.subarray(0, equals), line.subarray(equals + 1));
    }
  }

  class MapgraftMap {
    #pointer;
    constructor(pointer) {
      this.#pointer = pointer;
    }
    #live() {
      if (this.#pointer === 0) fail(ARGUMENT);
      return this.#pointer;
    }
    #region(reader) {
      const status = reader(this.#live(), scratch, scratch + 4);
      if (status === NO_TILESET) return null;
      check(status);
      return copyOut(word(0), word(4));
    }
    get shape() {
      return SHAPES[wasm._mg_map_shape(this.#live())];
    }
    get damage() {
      const pointer = wasm._mg_map_damage(this.#live()) >>> 0;
      return pointer === 0 ? null : wasm.UTF8ToString(pointer);
    }
    get chunkCount() {
      return wasm._mg_map_chunk_count(this.#live()) >>> 0;
    }
    chunk(i) {
      check(wasm._mg_map_chunk(this.#live(), index(i), scratch));
      const typeBytes = wasm.HEAPU8.slice(scratch, scratch + 4);
      return {type: String.fromCharCode(...typeBytes), typeBytes, data: copyOut(word(4), word(8))};
    }
    get chunks() {
      return Array.from({length: this.chunkCount}, (_, i) => this.chunk(i));
    }
    // Like mapgraft-inspect's JSON: null where the map has no metadata block.
    get attrs() {
      if (this.chunkCount === 0 && this.shape !== 'extended') return null;
      const attrs = new Map();
      eachAttr(this.#pointer, (key, value) => {
        const shown = text.decode(key);
        if (!attrs.has(shown)) attrs.set(shown, text.decode(value));
      });
      return attrs;
    }
    // Keys told apart by their bytes, as the library tells them: a key that
    // is not UTF-8 keeps them in `keyBytes`, to be handed back to setAttr or
    // unsetAttr, while `key` is only its text.
    get attrEntries() {
      const entries = [];
      const seen = new Set();
      eachAttr(this.#live(), (key, value) => {
        const exact = exactly.decode(key);
        if (seen.has(exact)) return;
        seen.add(exact);
        entries.push({key: text.decode(key), value: text.decode(value), keyBytes: key.slice(), valueBytes: value.slice()});
      });
      return entries;
    }
    get unlikeAMap() {
      const pointer = wasm._mg_map_unlike_a_map(this.#live()) >>> 0;
      return pointer === 0 ? null : wasm.UTF8ToString(pointer);
    }
    get writtenSize() {
      check(wasm._mg_map_written_size(this.#live(), scratch));
      return word(0) + word(4) * 2 ** 32;
    }
    get tileset() {
      return this.#region(wasm._mg_map_tileset);
    }
    get tiles() {
      return this.#region(wasm._mg_map_tiles);
    }

    addChunk(type, data) {
      const pointer = this.#live();
      withBytes(typeBytes(type), (typePointer) =>
        withBytes(dataBytes(data), (dataPointer, size) =>
          check(wasm._mg_map_add_chunk(pointer, typePointer, dataPointer, size), pointer)));
    }
    removeChunk(i) {
      const pointer = this.#live();
      check(wasm._mg_map_remove_chunk(pointer, index(i)), pointer);
    }
    replaceChunk(i, data) {
      const pointer = this.#live();
      const at = index(i);
      withBytes(dataBytes(data), (dataPointer, size) =>
        check(wasm._mg_map_replace_chunk(pointer, at, dataPointer, size), pointer));
    }
    setAttr(key, value) {
      const pointer = this.#live();
      withBytes(cString(key), (keyPointer) =>
        withBytes(cString(value), (valuePointer) => check(wasm._mg_map_set_attr(pointer, keyPointer, valuePointer), pointer)));
    }
    unsetAttr(key) {
      const pointer = this.#live();
      withBytes(cString(key), (keyPointer) => check(wasm._mg_map_unset_attr(pointer, keyPointer), pointer));
    }
    setTileset(bitmap) {
      const pointer = this.#live();
      if (!(bitmap instanceof Uint8Array)) fail(ARGUMENT);
      withBytes(bitmap, (bitmapPointer, size) => check(wasm._mg_map_set_tileset(pointer, bitmapPointer, size), pointer));
    }
    write() {
      const pointer = this.#live();
      let bytes;
      const size = this.writtenSize;
      try {
        bytes = new Uint8Array(size);
      } catch {
        fail(NOMEM);
      }
      wasm.mgwebOutput = {bytes, at: 0};
      try {
        check(wasm._mgweb_write(pointer));
      } finally {
        wasm.mgwebOutput = null;
      }
      return bytes;
    }
    free() {
      wasm._mg_map_free(this.#live());
      this.#pointer = 0;
    }
  }

  return {
    version: wasm.UTF8ToString(wasm._mg_version()),
    read(bytes, options = {}) {
      if (!(bytes instanceof Uint8Array)) fail(ARGUMENT);
      // strict: the programs' rule for bytes that do not look like a map (MG_READ_STRICT).
      const flags = (options && options.force ? 1 : 0) | (options && options.strict ? 2 : 0);
      return withBytes(bytes, (pointer, size) => {
        check(wasm._mg_map_read(pointer, size, flags, scratch));
        return new MapgraftMap(word(0));
      });
    },
  };
}
