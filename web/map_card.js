// One card for each map opened. Its requests to the map worker run one at a
// time, in order; after Close, those still waiting are dropped.
class MapCard {
  static all = new Set();

  constructor(file) {
    this.name = file.name;
    this.stem = file.name.replace(/\.[^.]*$/, '') || file.name;
    this.queue = Promise.resolve();
    this.closed = false;
    this.firstChunk = 0;
    this.firstAttr = 0;
    this.attrSearch = '';
    this.zoom = 'fit';
    this.status = element('p', {className: 'status', role: 'status'});
    this.heading = element('h2', {textContent: file.name});
    this.marker = element('span', {className: 'unsaved'});
    this.closeButton = button('Close', `Close ${file.name}`, () => this.close());
    this.node = element('article', {}, this.top(), this.status);
    this.node.setAttribute('aria-label', file.name);
    this.node.tabIndex = -1;
    this.node.card = this;
    MapCard.all.add(this);
    document.getElementById('maps').append(this.node);
    cardsChanged();
  }

  top() {
    const tools = [this.closeButton];
    if (this.summary) {
      const undo = button('Undo', `Undo the last change to ${this.name}`, () => this.step('undo', 'Undone.'));
      const redo = button('Redo', `Redo the change to ${this.name}`, () => this.step('redo', 'Redone.'));
      undo.disabled = this.locked || !this.summary.canUndo;
      redo.disabled = this.locked || !this.summary.canRedo;
      tools.unshift(undo, redo);
    }
    return element('div', {className: 'card-top'}, this.heading, this.marker, element('div', {className: 'controls'}, ...tools));
  }

  // Runs task after the card's earlier requests, for its result; a failure
  // is said on the card, and gives undefined.
  run(task, failed = 'Not done') {
    const result = this.queue.then(() => (this.closed ? undefined : task())).catch((error) => {
      if (!this.closed) this.say(`${failed}: ${error.reason || error.message}.`, true);
    });
    this.queue = result;
    return result;
  }

  open(file) {
    this.say(`Reading ${bytesText(file.size)}…`);
    this.run(async () => {
      try {
        const buffer = await file.arrayBuffer();
        const summary = await callWorker('open', [buffer], [buffer]);
        this.savedState = summary.state;
        this.show(summary);
      } catch (error) {
        this.node.append(element('p', {className: 'problem', role: 'alert',
          textContent: `Cannot open this file: ${error.reason || error.message}.`}));
      }
      this.say('');
    });
  }

  get unsaved() {
    return Boolean(this.summary) && this.summary.state !== this.savedState;
  }

  mark() {
    this.marker.textContent = this.unsaved ? 'changed, not downloaded' : '';
  }

  say(text, failed = false) {
    this.status.textContent = text;
    this.status.classList.toggle('failed', failed);
  }

  change(method, args, done, transfer = []) {
    return this.run(async () => {
      const {changed, summary} = await callWorker('change', [this.summary.handle, method, args], transfer);
      if (this.closed) return;
      this.show(summary);
      this.say(changed ? done : 'Nothing changed: the map already was so.');
    });
  }

  step(op, done) {
    return this.run(async () => {
      const summary = await callWorker(op, [this.summary.handle]);
      if (this.closed) return;
      this.show(summary);
      this.say(done);
    });
  }

  close() {
    return this.run(async () => {
      if (this.unsaved && !window.confirm(`${this.name} has changes that were not downloaded. Close it anyway?`)) return;
      this.closed = true;
      this.node.remove();
      MapCard.all.delete(this);
      cardsChanged();
      if (this.summary) await callWorker('close', [this.summary.handle]);
    });
  }

  show(summary) {
    this.summary = summary;
    this.locked = this.locked ?? (summary.damage !== null || summary.unlike !== null);
    this.mark();
    const fields = element('fieldset', {disabled: this.locked},
      tilesetPart(this), attrsPart(this), chunksPart(this), this.savePart());
    fields.setAttribute('aria-label', `Changes to ${this.name}`);
    const attrs = summary.attrs ? `, ${counted(summary.attrs.length, 'attribute')}` : '';
    const hadFocus = this.node.contains(document.activeElement);
    const focused = hadFocus ? document.activeElement.ariaLabel : null;
    this.node.replaceChildren(this.top(),
      element('p', {className: 'facts', textContent:
        `${bytesText(summary.writtenSize)} to download, ${summary.shape}, ${counted(summary.chunkCount, 'chunk')}${attrs}, ` +
        `tile data ${bytesText(summary.tilesSize)}`}),
      ...[this.problemPart(), this.status, fields].filter((part) => part !== null));
    // Drawn anew, the card keeps the keyboard's place, for the next key.
    if (hadFocus) {
      const again = focused && [...this.node.querySelectorAll('[aria-label]')].find((node) => node.ariaLabel === focused);
      (again && !again.disabled ? again : this.node).focus({preventScroll: true});
    }
    this.run(() => this.loadChunks());
  }

  // Damage, or a file that is no map: shown, and changed only after "Edit anyway".
  problemPart() {
    const {damage, unlike} = this.summary;
    if (damage === null && unlike === null) return null;
    const part = element('div', {className: 'problem', role: 'alert'}, element('p', {textContent: damage !== null
      ? `This map is damaged: ${damage}. It is shown as far as it could be read.`
      : `This file does not look like a map: ${unlike}. mapgraft-edit refuses it without --force.`}));
    if (this.locked) {
      part.append(element('p', {textContent: damage !== null ? 'Changing it keeps only what could be read.'
        : 'Changing it converts it to a map.'}),
      button('Edit anyway', `Edit ${this.name} anyway`, () => {
        this.locked = false;
        this.show(this.summary);
        this.say(damage !== null ? 'Editing the damaged map.' : 'Editing the file as a map.');
      }));
    }
    return part;
  }

  async loadChunks() {
    const rows = this.chunkRows;
    const chunks = await callWorker('chunks', [this.summary.handle, this.firstChunk, CHUNKS_PER_PAGE]);
    rows.replaceChildren(...chunks.map((chunk) => chunkRow(this, chunk)));
  }

  savePart() {
    return element('section', {className: 'save'}, element('h3', {textContent: 'Save'}),
      button(`Download ${this.name}`, `Download ${this.name}`, () => this.download()));
  }

  // The map as it is now, which is then no longer marked as changed.
  written(failed = 'Not saved') {
    return this.run(async () => {
      const state = this.summary.state;
      const bytes = await callWorker('write', [this.summary.handle]);
      this.savedState = state;
      this.mark();
      return bytes;
    }, failed);
  }

  async download() {
    const bytes = await this.written();
    if (!bytes) return;
    saveFile(bytes, this.name);
    this.say(`Downloaded ${bytesText(bytes.length)}.`);
  }

  downloadChunk(index, name) {
    return this.run(async () => {
      saveFile(await callWorker('chunk', [this.summary.handle, index]), name);
      this.say(`Chunk ${index} downloaded as ${name}.`);
    }, 'Not saved');
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
