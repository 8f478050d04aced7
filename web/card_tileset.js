// A card's tileset: drawn at a whole number of screen pixels to each of its
// own, crisp, with the default tileset for a map that has none of its own.
const TILESET_ZOOMS = [['1', '1×'], ['2', '2×'], ['3', '3×'], ['fit', 'Fit']];

function drawTileset(image, view, zoom) {
  const width = image.naturalWidth;
  if (!width) return;
  // Fit: the largest whole factor that fits the card's width and half the
  // window's height, or smaller than 1× where even that is too wide.
  const fits = Math.min(view.clientWidth / width, innerHeight / 2 / image.naturalHeight);
  const factor = zoom === 'fit' ? Math.max(1, Math.floor(fits)) : Number(zoom);
  image.style.width = `${width * factor}px`;
  image.style.maxWidth = zoom === 'fit' ? '100%' : 'none';
}

function tilesetPart(card) {
  const {tileset, defaultTileset} = card.summary;
  const bitmap = tileset ?? defaultTileset;
  const part = element('section', {className: 'tileset'}, element('h3', {textContent: 'Tileset'}));
  if (!tileset) part.append(element('p', {textContent: 'No tileset of its own: saving it adds the default tileset, shown here.'}));
  if (bitmap) {
    const url = URL.createObjectURL(new Blob([bitmap], {type: 'image/bmp'}));
    const image = element('img', {src: url, alt: `${tileset ? 'Tileset' : 'Default tileset'} of ${card.name}`});
    const view = element('div', {className: 'tileset-view'}, image);
    const zoom = element('select', {}, ...TILESET_ZOOMS.map(([value, text]) =>
      element('option', {value, textContent: text, selected: value === card.zoom})));
    zoom.onchange = () => {
      card.zoom = zoom.value;
      drawTileset(image, view, card.zoom);
    };
    image.onload = () => {
      URL.revokeObjectURL(url);
      drawTileset(image, view, card.zoom);
    };
    const saved = tileset ? `${card.stem}-tileset.bmp` : 'default-tileset.bmp';
    part.append(element('div', {className: 'controls'}, ...labelled('Zoom', zoom),
      button(tileset ? 'Download tileset' : 'Download default tileset', `Download the tileset of ${card.name} as ${saved}`,
        () => saveFile(bitmap, saved, 'image/bmp'))),
    view, element('p', {textContent: `${bytesText(bitmap.length)}`}));
  }
  const picker = card.filePicker('.bmp', 'Bitmap for the new tileset', (bytes) =>
    card.change('setTileset', [bytes], 'Tileset swapped.', [bytes.buffer]));
  part.append(button('Swap tileset…', `Swap the tileset of ${card.name} for a bitmap`, () => picker.click()), picker);
  return part;
}
