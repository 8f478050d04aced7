// Bytes as the page shows them. Text is UTF-8; a byte that belongs to no
// UTF-8 character shows as \xHH, so that keys which differ only in such bytes
// do not look alike.
const strictUtf8 = new TextDecoder('utf-8', {fatal: true});
const hexByte = (byte) => byte.toString(16).padStart(2, '0');

function utf8Length(lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xc2 && lead < 0xe0) return 2;
  if (lead >= 0xe0 && lead < 0xf0) return 3;
  return lead >= 0xf0 && lead < 0xf5 ? 4 : 0;
}
function shownBytes(bytes) {
  try {
    return strictUtf8.decode(bytes);
  } catch {
    let shown = '';
    for (let i = 0; i < bytes.length;) {
      const length = utf8Length(bytes[i]);
      try {
        if (length === 0 || i + length > bytes.length) throw new RangeError();
        shown += strictUtf8.decode(bytes.subarray(i, i + length));
        i += length;
      } catch {
        shown += `\\x${hexByte(bytes[i++])}`;
      }
    }
    return shown;
  }
}

// A chunk's first bytes, as hex and as text (printable ASCII, else '.').
function bytesHead(bytes) {
  return {
    hex: Array.from(bytes, hexByte).join(' '),
    text: Array.from(bytes, (byte) => (byte >= 0x20 && byte < 0x7f ? String.fromCharCode(byte) : '.')).join(''),
  };
}

// As mapgraft-inspect's text report shows a type: up to its first zero byte,
// control characters as '?'.
function shownType(type) {
  return type.split('\0')[0].replace(/[\x00-\x1f\x7f-\x9f]/g, '?');
}
