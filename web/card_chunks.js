// A card's chunks, a hundred at a time, each to see, download, replace or remove.
const CHUNKS_PER_PAGE = 100;

function chunkRow(card, chunk) {
  const head = bytesHead(chunk.head);
  const shown = chunk.line ? element('td', {className: 'text', textContent: shownBytes(chunk.line)})
    : element('td', {className: 'text bytes'}, element('span', {textContent: head.hex}), ' ',
      element('span', {className: 'ascii', textContent: head.text}), chunk.size > chunk.head.length ? '…' : '');
  const saved = `${card.stem}-chunk-${chunk.index}.bin`;
  return element('tr', {},
    element('td', {className: 'number', textContent: chunk.index}),
    element('td', {className: 'text type', textContent: shownType(chunk.type)}),
    element('td', {className: 'number', textContent: chunk.size}),
    shown,
    element('td', {className: 'actions'},
      button('Download', `Download chunk ${chunk.index} as ${saved}`, () => card.downloadChunk(chunk.index, saved)),
      button('Replace…', `Replace chunk ${chunk.index} with a file`, () => {
        card.replacing = chunk.index;
        card.replacePicker.click();
      }),
      button('Remove', `Remove chunk ${chunk.index}`,
        () => card.change('removeChunk', [chunk.index], `Chunk ${chunk.index} removed.`))));
}

function chunksPart(card) {
  const count = card.summary.chunkCount;
  card.firstChunk = firstOfPage(card.firstChunk, CHUNKS_PER_PAGE, count);
  card.chunkRows = element('tbody');
  // No maxLength: a longer type is refused in the programs' words, not cut.
  const type = element('input', {name: 'type', required: true, size: 5});
  const data = element('input', {name: 'data', type: 'file', required: true});
  const form = element('form', {}, ...labelled('Type', type), ...labelled('Data file', data),
    element('button', {type: 'submit', textContent: 'Add chunk'}));
  form.onsubmit = async (event) => {
    event.preventDefault();
    const bytes = new Uint8Array(await data.files[0].arrayBuffer());
    card.change('addChunk', [type.value, bytes], `${type.value} chunk added.`, [bytes.buffer]);
  };
  card.replacePicker = card.filePicker('', 'File to replace the chunk with', (bytes) =>
    card.change('replaceChunk', [card.replacing, bytes], `Chunk ${card.replacing} replaced.`, [bytes.buffer]));
  return element('section', {className: 'chunks'}, element('h3', {textContent: 'Chunks'}),
    count === 0 ? element('p', {textContent: 'No chunks.'}) : pager('chunks', card.firstChunk, CHUNKS_PER_PAGE, count, (first) => {
      card.firstChunk = first;
      card.show(card.summary);
    }),
    count === 0 ? null : element('table', {},
      element('thead', {}, element('tr', {},
        ...['Index', 'Type', 'Size', 'Contents', 'Change'].map((t) => element('th', {scope: 'col', textContent: t})))),
      card.chunkRows),
    form, card.replacePicker);
}
