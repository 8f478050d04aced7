// Every call of the API as a script would make it; tsc checks the types only.
import {createMapgraft, type Chunk, type MapgraftError, type Shape} from 'mapgraft';
import mapgraft from 'mapgraft';

async function everyCall(bytes: Uint8Array): Promise<Uint8Array> {
  const mg = await (Math.random() < 2 ? createMapgraft() : mapgraft.createMapgraft());
  const version: string = mg.version;
  const map = mg.read(bytes, {force: true, strict: false});
  const fromFile = mg.readFile('arena.lvl', {strict: true});
  const shape: Shape = map.shape;
  const damage: string | null = map.damage;
  const first: Chunk = map.chunk(map.chunkCount - 1);
  const types: string[] = map.chunks.map((chunk) => chunk.type + chunk.typeBytes.length + chunk.data.length);
  const name: string | undefined = map.attrs?.get('NAME');
  const tileset: Uint8Array | null = map.tileset;
  map.addChunk('NOTE', map.tiles);
  map.addChunk(first.typeBytes, 'text');
  map.removeChunk(0);
  map.replaceChunk(0, 'text');
  map.setAttr('NAME', `${version} ${shape} ${damage} ${types} ${name}`);
  map.unsetAttr('NAME');
  if (tileset) map.setTileset(tileset);
  map.writeFile(new URL('file:///tmp/arena.lvl'));
  fromFile.free();
  try {
    return map.write();
  } catch (error) {
    throw new Error((error as MapgraftError).code);
  } finally {
    map.free();
  }
}

export {everyCall};
