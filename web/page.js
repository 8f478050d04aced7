// The page: cards for the maps opened, Download all, the undo keys, and a
// question before changes that were not downloaded are left behind.
const callWorker = startMapWorker();

function openFiles(files) {
  for (const file of files) new MapCard(file).open(file);
}

function cardsChanged() {
  document.getElementById('all').hidden = MapCard.all.size < 2;
}

// One .zip of every map that can be downloaded, each as its own Download gives it.
async function downloadAll() {
  const status = document.getElementById('all-status');
  const files = {};
  const left = [];
  for (const card of MapCard.all) {
    const bytes = card.summary && !card.locked ? await card.written() : undefined;
    if (!bytes) {
      left.push(card.name);
      continue;
    }
    let name = card.name;
    for (let n = 2; name in files; ++n) name = `${card.stem} (${n})${card.name.slice(card.stem.length)}`;
    files[name] = bytes;
  }
  const leftOut = left.length ? ` Left out, as it cannot be downloaded: ${left.join(', ')}.` : '';
  if (Object.keys(files).length === 0) {
    status.textContent = `Nothing to download.${leftOut}`;
    return;
  }
  fflate.zip(files, {consume: true}, (error, zipped) => {
    if (error) {
      status.textContent = `Not saved: ${error.message}.`;
      return;
    }
    saveFile(zipped, 'maps.zip', 'application/zip');
    status.textContent = `Downloaded ${counted(Object.keys(files).length, 'map')} in maps.zip, ${bytesText(zipped.length)}.${leftOut}`;
  });
}

document.getElementById('open-maps').addEventListener('change', (event) => {
  openFiles(event.target.files);
  event.target.value = '';
});
document.getElementById('download-all').addEventListener('click', downloadAll);
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('dropping');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dropping'));
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('dropping');
  openFiles(event.dataTransfer.files);
});
// Ctrl+Z and Ctrl+Shift+Z on the card that has the focus, or on the only one;
// a text field keeps its own undo.
document.addEventListener('keydown', (event) => {
  if (!(event.ctrlKey || event.metaKey) || event.altKey || event.key.toLowerCase() !== 'z') return;
  if (event.target.matches('input:not([type=file]), textarea')) return;
  const card = event.target.closest('article')?.card ?? (MapCard.all.size === 1 ? [...MapCard.all][0] : null);
  if (!card?.summary || card.locked) return;
  event.preventDefault();
  if (event.shiftKey) card.step('redo', 'Redone.');
  else card.step('undo', 'Undone.');
});
window.addEventListener('beforeunload', (event) => {
  if (![...MapCard.all].some((card) => card.unsaved)) return;
  event.preventDefault();
  event.returnValue = '';
});
createMapgraft().then((mg) => {
  document.getElementById('version').textContent = mg.version;
});
