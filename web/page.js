// The page: one card for each map opened, whose controls ask the map worker
// to read, change and write the map.
const callWorker = startMapWorker();
const CHUNKS_PER_PAGE = 100;

function element(tag, properties = {}, ...children) {
  const node = Object.assign(document.createElement(tag), properties);
  node.append(...children.filter((child) => child !== null));
  return node;
}
function button(text, label, onclick) {
  return element('button', {type: 'button', textContent: text, ariaLabel: label, onclick});
}
function labelled(text, input) {
  input.id = `control-${labelled.next = (labelled.next || 0) + 1}`;
  return [element('label', {htmlFor: input.id, textContent: text}), input];
}
// As mapgraft-inspect's text report shows a type: up to its first zero byte,
// control characters as '?'.
function shownType(type) {
  return type.split('\0')[0].replace(/[\x00-\x1f\x7f-\x9f]/g, '?');
}
function counted(count, noun) {
  return `${count.toLocaleString('en')} ${noun}${count === 1 ? '' : 's'}`;
}
const bytesText = (count) => counted(count, 'byte');

class MapCard {
  constructor(file) {
    this.name = file.name;
    this.size = file.size;
    this.firstChunk = 0;
    this.status = element('p', {className: 'status', role: 'status'});
    this.heading = element('h2', {textContent: file.name});
    this.close = button('Close', `Close ${file.name}`, () => {
      if (this.summary) callWorker('close', [this.summary.handle]);
      this.node.remove();
    });
    this.node = element('article', {}, this.heading, this.close, this.status);
    this.node.setAttribute('aria-label', file.name);
    document.getElementById('maps').append(this.node);
  }

  async open(file) {
    this.say(`Reading ${bytesText(file.size)}…`);
    try {
      const buffer = await file.arrayBuffer();
      this.show(await callWorker('open', [buffer], [buffer]));
      this.say('');
    } catch (error) {
      this.node.append(element('p', {className: 'problem', role: 'alert', textContent: `Cannot open this file: ${error.message}.`}));
      this.say('');
    }
  }

  say(text, failed = false) {
    this.status.textContent = text;
    this.status.classList.toggle('failed', failed);
  }

  async change(method, args, done, transfer = []) {
    try {
      this.show(await callWorker('change', [this.summary.handle, method, args], transfer));
      this.say(done);
    } catch (error) {
      this.say(`Not done: ${error.message}.`, true);
    }
  }

  show(summary) {
    this.summary = summary;
    this.locked = this.locked ?? summary.damage !== null;
    const fields = element('fieldset', {disabled: this.locked},
      this.tilesetPart(), this.attrsPart(), this.chunksPart(), this.savePart());
    fields.setAttribute('aria-label', `Changes to ${this.name}`);
    this.node.replaceChildren(this.heading, this.close,
      element('p', {className: 'facts', textContent:
        `${bytesText(this.size)}, ${summary.shape}, ${counted(summary.chunkCount, 'chunk')}, ` +
        `tile data ${bytesText(summary.tilesSize)}`}),
      ...[this.damagePart(), this.status, fields].filter((part) => part !== null));
    this.loadChunks();
  }

  damagePart() {
    if (this.summary.damage === null) return null;
    const part = element('div', {className: 'problem', role: 'alert'},
      element('p', {textContent: `This map is damaged: ${this.summary.damage}. ` +
        'It is shown as far as it could be read.'}));
    if (this.locked) {
      part.append(element('p', {textContent: 'Changing it keeps only what could be read.'}),
        button('Edit anyway', `Edit ${this.name} anyway`, () => {
          this.locked = false;
          this.show(this.summary);
          this.say('Editing the damaged map.');
        }));
    }
    return part;
  }

  tilesetPart() {
    const {tileset} = this.summary;
    const picker = this.filePicker('.bmp', 'Bitmap for the new tileset', (bytes) =>
      this.change('setTileset', [bytes], 'Tileset swapped.', [bytes.buffer]));
    const part = element('section', {className: 'tileset'}, element('h3', {textContent: 'Tileset'}));
    if (tileset) {
      const url = URL.createObjectURL(new Blob([tileset], {type: 'image/bmp'}));
      part.append(element('img', {src: url, alt: `Tileset of ${this.name}`, onload: () => URL.revokeObjectURL(url)}),
        element('p', {textContent: bytesText(tileset.length)}));
    } else {
      part.append(element('p', {textContent: 'No tileset of its own: saving it adds the default tileset.'}));
    }
    part.append(button('Swap tileset…', `Swap the tileset of ${this.name} for a bitmap`, () => picker.click()), picker);
    return part;
  }

  attrsPart() {
    const rows = (this.summary.attrs || []).map(([key, value]) => {
      const input = element('input', {value, ariaLabel: `Value of ${key}`});
      return element('tr', {}, element('th', {scope: 'row', textContent: key}), element('td', {}, input),
        element('td', {},
          button('Set', `Set ${key}`, () => this.change('setAttr', [key, input.value], `${key} set.`)),
          button('Remove', `Remove attribute ${key}`, () => this.change('unsetAttr', [key], `${key} removed.`))));
    });
    const key = element('input', {name: 'key', required: true});
    const value = element('input', {name: 'value'});
    const form = element('form', {}, ...labelled('Key', key), ...labelled('Value', value),
      element('button', {type: 'submit', textContent: 'Set attribute'}));
    form.onsubmit = (event) => {
      event.preventDefault();
      this.change('setAttr', [key.value, value.value], `${key.value} set.`);
    };
    return element('section', {className: 'attributes'}, element('h3', {textContent: 'Attributes'}),
      rows.length ? element('table', {},
        element('thead', {}, element('tr', {}, ...['Key', 'Value', 'Change'].map((t) => element('th', {scope: 'col', textContent: t})))),
        element('tbody', {}, ...rows)) : element('p', {textContent: 'No attributes.'}),
      form);
  }

  chunksPart() {
    const count = this.summary.chunkCount;
    this.firstChunk = Math.max(0, Math.min(this.firstChunk, Math.floor((count - 1) / CHUNKS_PER_PAGE) * CHUNKS_PER_PAGE));
    const last = Math.min(this.firstChunk + CHUNKS_PER_PAGE, count);
    const turn = (by) => {
      this.firstChunk += by;
      this.show(this.summary);
    };
    const previous = button('Previous', 'Previous chunks', () => turn(-CHUNKS_PER_PAGE));
    const next = button('Next', 'Next chunks', () => turn(CHUNKS_PER_PAGE));
    previous.disabled = this.firstChunk === 0;
    next.disabled = last >= count;
    this.chunkRows = element('tbody');
    const type = element('input', {name: 'type', required: true, maxLength: 4, size: 5});
    const data = element('input', {name: 'data', type: 'file', required: true});
    const form = element('form', {}, ...labelled('Type', type), ...labelled('Data file', data),
      element('button', {type: 'submit', textContent: 'Add chunk'}));
    form.onsubmit = async (event) => {
      event.preventDefault();
      const bytes = new Uint8Array(await data.files[0].arrayBuffer());
      this.change('addChunk', [type.value, bytes], `${type.value} chunk added.`, [bytes.buffer]);
    };
    this.replacePicker = this.filePicker('', 'File to replace the chunk with', (bytes) =>
      this.change('replaceChunk', [this.replacing, bytes], `Chunk ${this.replacing} replaced.`, [bytes.buffer]));
    return element('section', {}, element('h3', {textContent: 'Chunks'}),
      count === 0 ? element('p', {textContent: 'No chunks.'}) : element('div', {className: 'pager'},
        element('span', {textContent: `Chunks ${this.firstChunk}–${last - 1} of ${count.toLocaleString('en')}`}),
        previous, next),
      count === 0 ? null : element('table', {},
        element('thead', {}, element('tr', {},
          ...['Index', 'Type', 'Size', 'Text', 'Change'].map((t) => element('th', {scope: 'col', textContent: t})))),
        this.chunkRows),
      form, this.replacePicker);
  }

  async loadChunks() {
    const rows = this.chunkRows;
    const chunks = await callWorker('chunks', [this.summary.handle, this.firstChunk, CHUNKS_PER_PAGE]);
    rows.replaceChildren(...chunks.map((chunk) => element('tr', {},
      element('td', {className: 'number', textContent: chunk.index}),
      element('td', {textContent: shownType(chunk.type)}),
      element('td', {className: 'number', textContent: chunk.size}),
      element('td', {className: 'text', textContent: chunk.text ?? ''}),
      element('td', {},
        button('Replace…', `Replace chunk ${chunk.index} with a file`, () => {
          this.replacing = chunk.index;
          this.replacePicker.click();
        }),
        button('Remove', `Remove chunk ${chunk.index}`,
          () => this.change('removeChunk', [chunk.index], `Chunk ${chunk.index} removed.`))))));
  }

  savePart() {
    return element('section', {}, element('h3', {textContent: 'Save'}),
      button(`Download ${this.name}`, `Download ${this.name}`, () => this.download()));
  }

  async download() {
    try {
      const bytes = await callWorker('write', [this.summary.handle]);
      const url = URL.createObjectURL(new Blob([bytes], {type: 'application/octet-stream'}));
      element('a', {href: url, download: this.name}).click();
      setTimeout(() => URL.revokeObjectURL(url), 60000);
      this.say(`Downloaded ${bytesText(bytes.length)}.`);
    } catch (error) {
      this.say(`Not saved: ${error.message}.`, true);
    }
  }

  filePicker(accept, label, use) {
    const input = element('input', {type: 'file', accept, className: 'visually-hidden', tabIndex: -1, ariaLabel: label});
    input.onchange = async () => {
      if (input.files.length) use(new Uint8Array(await input.files[0].arrayBuffer()));
      input.value = '';
    };
    return input;
  }
}

function openFiles(files) {
  for (const file of files) new MapCard(file).open(file);
}

document.getElementById('open-maps').addEventListener('change', (event) => {
  openFiles(event.target.files);
  event.target.value = '';
});
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
createMapgraft().then((mg) => {
  document.getElementById('version').textContent = mg.version;
});
