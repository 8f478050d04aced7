// The JavaScript API of libmapgraft, as the page's mapgraft.js and this
// package give it; readFile and writeFile exist in Node.js only.

export type Shape = 'plain' | 'tileset' | 'extended';

/** The C library's error names, as `MapgraftError.code`. */
export type ErrorCode =
  | 'MG_ERR_NOMEM' | 'MG_ERR_ARGUMENT' | 'MG_ERR_NOT_A_MAP' | 'MG_ERR_DAMAGED' | 'MG_ERR_NO_CHUNK'
  | 'MG_ERR_NO_ATTR' | 'MG_ERR_NO_TILESET' | 'MG_ERR_BAD_TILESET' | 'MG_ERR_TOO_LARGE' | 'MG_ERR_IO'
  | 'MG_ERR_CALLBACK' | 'MG_ERR_CHANGED' | 'MG_ERR_VERIFY' | 'MG_ERR_EXISTS' | 'MG_ERR_BUSY'
  | 'MG_ERR_UNKNOWN';

/** What every failure of the API throws; the message is the C library's text. */
export interface MapgraftError extends Error {
  code: ErrorCode;
}

export interface ReadOptions {
  /** Keep what a damaged map holds instead of throwing MG_ERR_DAMAGED. */
  force?: boolean;
  /** Refuse with MG_ERR_NOT_A_MAP bytes that do not look like a map, as the programs do; force lifts it. */
  strict?: boolean;
}

export interface Chunk {
  /** The four type bytes as characters U+0000 to U+00FF. */
  type: string;
  typeBytes: Uint8Array;
  data: Uint8Array;
}

/** A chunk type: 1 to 4 characters up to U+00FF (padded with zero bytes), or 4 bytes. */
export type ChunkType = string | Uint8Array;
/** Bytes, or text taken as UTF-8. */
export type ChunkData = string | Uint8Array;

/** One map; every Uint8Array it hands out is a copy. */
export interface MapgraftMap {
  readonly shape: Shape;
  /** null, or the first damage found, as mapgraft-inspect words it. */
  readonly damage: string | null;
  readonly chunkCount: number;
  chunk(index: number): Chunk;
  /** Every chunk, read anew on each use. */
  readonly chunks: Chunk[];
  /** Each ATTR key's first value in chunk order; null without a metadata block. */
  readonly attrs: Map<string, string> | null;
  /** The map's own bitmap as mapgraft-inspect --tileset writes it, or null. */
  readonly tileset: Uint8Array | null;
  readonly tiles: Uint8Array;

  addChunk(type: ChunkType, data: ChunkData): void;
  removeChunk(index: number): void;
  replaceChunk(index: number, data: ChunkData): void;
  setAttr(key: string, value: string): void;
  unsetAttr(key: string): void;
  setTileset(bitmap: Uint8Array): void;
  /** The bytes mapgraft-edit -o writes. */
  write(): Uint8Array;
  /**
   * Node.js only, synchronous: writes the bytes to a temporary file beside
   * path and renames it over path. Owner and mode are not kept, and the
   * file is not read back: the C library's save does both.
   */
  writeFile(path: string | URL): void;
  /** Releases the map; any later use throws MG_ERR_ARGUMENT. */
  free(): void;
}

export interface Mapgraft {
  /** The library's version, as the programs print it. */
  readonly version: string;
  read(bytes: Uint8Array, options?: ReadOptions): MapgraftMap;
  /** Node.js only, synchronous: read(fs.readFileSync(path), options). */
  readFile(path: string | URL, options?: ReadOptions): MapgraftMap;
}

export function createMapgraft(): Promise<Mapgraft>;

declare const mapgraft: {createMapgraft: typeof createMapgraft};
export default mapgraft;
