// The package for `import`: the CommonJS build is the one implementation.
import mapgraft from './mapgraft.js';

export const createMapgraft = mapgraft.createMapgraft;
export default mapgraft;
