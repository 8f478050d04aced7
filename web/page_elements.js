// The page's small builders: elements, labels, counts, and downloads.
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
function counted(count, noun) {
  return `${count.toLocaleString('en')} ${noun}${count === 1 ? '' : 's'}`;
}
const bytesText = (count) => counted(count, 'byte');

function saveFile(bytes, name, type = 'application/octet-stream') {
  const url = URL.createObjectURL(new Blob([bytes], {type}));
  element('a', {href: url, download: name}).click();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// Previous and Next over `count` rows, `size` at a time, from `first`.
function pager(noun, first, size, count, turn) {
  const last = Math.min(first + size, count);
  const previous = button('Previous', `Previous ${noun}`, () => turn(first - size));
  const next = button('Next', `Next ${noun}`, () => turn(first + size));
  previous.disabled = first === 0;
  next.disabled = last >= count;
  const noun1 = noun[0].toUpperCase() + noun.slice(1);
  return element('div', {className: 'pager'},
    element('span', {textContent: `${noun1} ${first}–${last - 1} of ${count.toLocaleString('en')}`}), previous, next);
}
const firstOfPage = (first, size, count) => Math.max(0, Math.min(first, Math.floor((count - 1) / size) * size));
