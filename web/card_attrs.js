// A card's attributes, a page at a time or those a search finds, each set
// and removed by its key's exact bytes.
const ATTRS_PER_PAGE = 100;

function attrRow(card, {keyBytes, value}) {
  const key = shownBytes(keyBytes);
  const input = element('input', {value, ariaLabel: `Value of ${key}`});
  return element('tr', {}, element('th', {scope: 'row', className: 'text', textContent: key}), element('td', {}, input),
    element('td', {className: 'actions'},
      button('Set', `Set ${key}`, () => card.change('setAttr', [keyBytes, input.value], `${key} set.`)),
      button('Remove', `Remove attribute ${key}`, () => card.change('unsetAttr', [keyBytes], `${key} removed.`))));
}

function attrsPart(card) {
  const attrs = card.summary.attrs || [];
  const rows = element('tbody');
  const paging = element('div');
  const search = element('input', {type: 'search', value: card.attrSearch});
  const render = () => {
    const wanted = card.attrSearch.toLowerCase();
    const found = wanted ? attrs.filter(({keyBytes, value}) =>
      `${shownBytes(keyBytes)}=${value}`.toLowerCase().includes(wanted)) : attrs;
    card.firstAttr = firstOfPage(card.firstAttr, ATTRS_PER_PAGE, found.length);
    rows.replaceChildren(...found.slice(card.firstAttr, card.firstAttr + ATTRS_PER_PAGE).map((attr) => attrRow(card, attr)));
    paging.replaceChildren(found.length > ATTRS_PER_PAGE ? pager('attributes', card.firstAttr, ATTRS_PER_PAGE, found.length,
      (first) => {
        card.firstAttr = first;
        render();
      }) : '');
  };
  search.oninput = () => {
    card.attrSearch = search.value;
    card.firstAttr = 0;
    render();
  };
  render();
  const key = element('input', {name: 'key', required: true});
  const value = element('input', {name: 'value'});
  const form = element('form', {}, ...labelled('Key', key), ...labelled('Value', value),
    element('button', {type: 'submit', textContent: 'Set attribute'}));
  form.onsubmit = (event) => {
    event.preventDefault();
    card.change('setAttr', [key.value, value.value], `${key.value} set.`);
  };
  return element('section', {className: 'attributes'}, element('h3', {textContent: 'Attributes'}),
    attrs.length ? element('div', {},
      attrs.length > ATTRS_PER_PAGE ? element('div', {className: 'controls'}, ...labelled('Search attributes', search)) : null,
      paging,
      element('table', {},
        element('thead', {}, element('tr', {}, ...['Key', 'Value', 'Change'].map((t) => element('th', {scope: 'col', textContent: t})))),
        rows)) : element('p', {textContent: 'No attributes.'}),
    form);
}
