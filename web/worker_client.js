// Starts the map worker from inline source (file:// allows no worker files)
// and turns its messages into Promises.
function startMapWorker() {
  // mapgraftModule is the module's inner function; its outer one only sets
  // _scriptDir, which the worker does not need.
  const source = [
    'var _scriptDir;',
    `var mapgraftModule = ${mapgraftModule};`,
    String(mapgraftApi),
    String(createMapgraft),
    `(${mapgraftWorker})(self);`,
  ].join('\n');
  const url = URL.createObjectURL(new Blob([source], {type: 'text/javascript'}));
  const worker = new Worker(url);
  URL.revokeObjectURL(url);
  const pending = new Map();
  let nextId = 1;
  worker.onmessage = ({data}) => {
    const {resolve, reject} = pending.get(data.id);
    pending.delete(data.id);
    if (data.error) reject(Object.assign(new Error(data.error.message), {code: data.error.code, reason: data.error.reason}));
    else resolve(data.result);
  };
  return (op, args, transfer = []) => new Promise((resolve, reject) => {
    const id = nextId++;
    pending.set(id, {resolve, reject});
    worker.postMessage({id, op, args}, transfer);
  });
}
