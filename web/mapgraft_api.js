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

  function fail(status) {
    const error = new Error(wasm.UTF8ToString(wasm._mg_strerror(status)));
    error.code = wasm.UTF8ToString(wasm._mgweb_error_name(status));
    throw error;
  }
  function check(status) {
    if (status !== 0) fail(status);
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
  function cString(value) {
    if (typeof value !== 'string' || value.includes('\0')) fail(ARGUMENT);
    return utf8.encode(value);
  }
  function typeBytes(type) {
    if (type instanceof Uint8Array && type.length === 4) return type;
    if (typeof type !== 'string' || type.length < 1 || type.length > 4) return fail(ARGUMENT);
    const bytes = new Uint8Array(4);
    for (let i = 0; i < type.length; ++i) {
      const code = type.charCodeAt(i);
      if (code > 0xff) fail(ARGUMENT);
      bytes[i] = code;
    }
    return bytes;
  }
  function index(value) {
    if (!Number.isInteger(value)) fail(ARGUMENT);
    if (value < 0 || value > MAX_SIZE) fail(NO_CHUNK);
    return value;
  }

  // The text of an ATTR chunk as mapgraft-inspect's JSON gives it: up to the
  // first zero byte, as UTF-8.
  function attrText(data) {
    const end = data.indexOf(0);
    return text.decode(end < 0 ? data : data.subarray(0, end));
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
      const count = this.chunkCount;
      if (count === 0 && this.shape !== 'extended') return null;
      const attrs = new Map();
      // A large map has millions of chunks: only ATTR ones are copied.
      for (let i = 0; i < count; ++i) {
        check(wasm._mg_map_chunk(this.#pointer, i, scratch));
        if (word(0) !== ATTR) continue;
        const line = attrText(wasm.HEAPU8.subarray(word(4), word(4) + word(8)));
        const equals = line.indexOf('=');
        if (equals > 0 && !attrs.has(line.slice(0, equals))) attrs.set(line.slice(0, equals), line.slice(equals + 1));
      }
      return attrs;
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
          check(wasm._mg_map_add_chunk(pointer, typePointer, dataPointer, size))));
    }
    removeChunk(i) {
      check(wasm._mg_map_remove_chunk(this.#live(), index(i)));
    }
    replaceChunk(i, data) {
      const pointer = this.#live();
      const at = index(i);
      withBytes(dataBytes(data), (dataPointer, size) =>
        check(wasm._mg_map_replace_chunk(pointer, at, dataPointer, size)));
    }
    setAttr(key, value) {
      const pointer = this.#live();
      withBytes(cString(key), (keyPointer) =>
        withBytes(cString(value), (valuePointer) => check(wasm._mg_map_set_attr(pointer, keyPointer, valuePointer))));
    }
    unsetAttr(key) {
      const pointer = this.#live();
      withBytes(cString(key), (keyPointer) => check(wasm._mg_map_unset_attr(pointer, keyPointer)));
    }
    setTileset(bitmap) {
      const pointer = this.#live();
      if (!(bitmap instanceof Uint8Array)) fail(ARGUMENT);
      withBytes(bitmap, (bitmapPointer, size) => check(wasm._mg_map_set_tileset(pointer, bitmapPointer, size)));
    }
    write() {
      const pointer = this.#live();
      check(wasm._mg_map_written_size(pointer, scratch));
      let bytes;
      try {
        bytes = new Uint8Array(word(0) + word(4) * 2 ** 32);
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
