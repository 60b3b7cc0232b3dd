#include "core/browser/page_scripts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char kRead[] = R"js(// zerediz:read
(async (options) => {
  await document.fonts.ready;
  if (options.scripts)
    await new Promise(done => requestAnimationFrame(() => requestAnimationFrame(done)));
  // The attributes a person sees, each element named by its tag and its number among the elements
  // of that tag in the document.
  const attributes = [];
  const seen = (element, name) => {
    for (const attribute of ['title', 'alt', 'placeholder', 'value']) {
      const value = attribute === 'value' && element instanceof HTMLInputElement
          ? element.value : element.getAttribute(attribute);
      if (value !== null) attributes.push([name, attribute, value]);
    }
  };
  const root = document.documentElement;
  const shown = root ? (typeof root.innerText === 'string' ? root.innerText : root.textContent) : '';
  const areas = Array.from(document.querySelectorAll('textarea'),
                           (area, i) => '[textarea ' + (i + 1) + ']\n' + area.value);
  const result = {text: [document.title, shown, ...areas].join('\n'), attributes,
                  charset: document.characterSet, type: document.contentType};
  if (!options.look) {
    const counts = new Map();
    for (const element of document.querySelectorAll('*')) {
      const number = (counts.get(element.localName) || 0) + 1;
      counts.set(element.localName, number);
      seen(element, element.localName + ' ' + number);
    }
    return result;
  }

  // Each entry is its label and its fields, each field a name and a value, joined by \u0001.
  const entries = [];
  const regions = [];
  let whole = false;
  let scripted = false;
  const labels = new Map();
  const numbers = new Map();
  const label = (prefix, name) => {
    const key = prefix + name;
    const number = (numbers.get(key) || 0) + 1;
    numbers.set(key, number);
    return key + ' ' + number;
  };
  const range = document.createRange();
  // The place and size of each fragment. Fragments side by side on a line are one: a browser
  // does not always cut a line's run at the same places, though it paints the same.
  const boxes = list => {
    let text = '';
    let x = 0, y = 0, width = 0, height = 0, open = false;
    const close = () => {
      if (open) text += (text ? '; ' : '') + x + ',' + y + ' ' + width + '×' + height;
    };
    for (const box of list) {
      if (open && box.y === y && box.height === height && Math.abs(x + width - box.x) < 0.01) {
        width = box.x + box.width - x;
        continue;
      }
      close();
      ({x, y, width, height} = box);
      open = true;
    }
    close();
    return text;
  };
  const field = (name, value) => '\u0001' + name + '\u0001' + value;
  // Text of nothing but spaces shows as one space or none, which the boxes beside it tell; the
  // trim never turns it into other text, nor other text into it.
  const visible = /[^ \t\n\r\f]/;
  // A picture a script made has an address of its own each time: the look says only that it is
  // there, and a picture of it is taken.
  const made = /blob:[^\s"')]*/g;
  const photographed = (element, name) => {
    const box = element.getBoundingClientRect();
    if (box.width > 0 && box.height > 0)
      regions.push([name, box.x + scrollX, box.y + scrollY, box.width, box.height]);
  };
  const running = new Set(['script', 'noscript', 'iframe', 'frame', 'object', 'embed', 'portal',
                           'fencedframe']);
  const frames = new Set(['iframe', 'frame', 'object', 'embed']);
  const fields = {input: 1, option: 1, select: 1, textarea: 1};
  // top: the page's own document, where the regions and the attributes a person sees are.
  const visit = (start, prefix, top) => {
    const walker = document.createTreeWalker(start, NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT);
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
      if (node.nodeType === Node.TEXT_NODE) {
        if (!visible.test(node.data)) continue;
        range.selectNodeContents(node);
        entries.push(label(prefix, '#text') + field('rects', boxes(range.getClientRects())));
        continue;
      }
      const element = node;
      const tag = element.localName;
      const name = label(prefix, tag);
      labels.set(element, name);
      if (top && prefix === '') seen(element, name);
      let entry = name + field('rects', boxes(element.getClientRects()));
      let pictured = false;
      if (running.has(tag)) scripted = true;
      if (element.hasAttributes()) {
        for (const attribute of element.getAttributeNames()) {
          let value = element.getAttribute(attribute);
          if (attribute.startsWith('on')) scripted = true;
          if (value.includes('blob:')) {
            value = value.replace(made, 'blob:');
            pictured = true;
          }
          entry += field('@' + attribute, value);
        }
      }
      if (fields[tag]) {
        if (element instanceof HTMLInputElement) {
          entry += field('value', element.value) + field('checked', element.checked) +
                   field('indeterminate', element.indeterminate);
        } else if (element instanceof HTMLOptionElement) {
          entry += field('selected', element.selected);
        } else if (element instanceof HTMLSelectElement) {
          entry += field('selectedIndex', element.selectedIndex);
        } else if (element instanceof HTMLTextAreaElement) {
          entry += field('value', element.value);
        }
      }
      if (element.currentSrc) {
        if (element.currentSrc.startsWith('blob:')) pictured = true;
        entry += field('currentSrc', element.currentSrc.replace(made, 'blob:'));
      }
      if (tag.includes('-')) entry += field('defined', element.matches(':defined'));
      entries.push(entry);
      let inner = null;
      if (frames.has(tag)) {
        try { inner = element.contentDocument; } catch (e) {}
        if (!inner) pictured = true;
      }
      if (tag === 'canvas' || tag === 'video') pictured = true;
      if (pictured) {
        if (top) photographed(element, name);
        else whole = true;
      }
      const shadow = element.shadowRoot;
      if (shadow) {
        visitSheets(shadow.styleSheets, name + '/');
        visitSheets(shadow.adoptedStyleSheets || [], name + '/adopted ');
        visit(shadow, name + '/', top);
      }
      if (inner) visitDocument(inner, name + '/', false);
    }
  };
  const visitSheets = (sheets, prefix) => {
    for (const sheet of sheets) {
      const rules = [];
      const take = each => {
        let list;
        // A sheet from another file is read only by the browser; no script may change it.
        try { list = each.cssRules; } catch (e) { rules.push('(unreadable)'); return; }
        for (const rule of list) {
          rules.push(rule.cssText);
          if (rule.styleSheet) take(rule.styleSheet);
        }
      };
      take(sheet);
      const text = rules.join('\n');
      if (text.includes('blob:')) whole = true;
      entries.push(label(prefix, 'sheet') + field('href', sheet.href || '') +
                   field('disabled', sheet.disabled) +
                   field('media', sheet.media ? sheet.media.mediaText : '') + field('rules', text));
    }
  };
  const visitDocument = (doc, prefix, top) => {
    const view = doc.defaultView;
    const scroller = doc.scrollingElement || doc.documentElement;
    entries.push(prefix + 'document' +
                 field('size', scroller ? scroller.scrollWidth + 'x' + scroller.scrollHeight : '') +
                 field('scroll', view ? view.scrollX + ',' + view.scrollY : '') +
                 field('mode', doc.compatMode) + field('hash', view ? view.location.hash : '') +
                 field('designMode', doc.designMode) +
                 field('text', !top && doc.documentElement ? doc.documentElement.innerText : ''));
    visitSheets(doc.styleSheets, prefix);
    visitSheets(doc.adoptedStyleSheets || [], prefix + 'adopted ');
    visit(doc, prefix, top);
  };
  visitDocument(document, '', true);
  const active = document.activeElement;
  let state = 'state' + field('focus', active ? labels.get(active) || active.localName : '');
  const selection = document.getSelection();
  for (let i = 0; selection && i < selection.rangeCount; ++i)
    state += field('selection', boxes(selection.getRangeAt(i).getClientRects()));
  for (const shown of [':modal', ':popover-open']) {
    try {
      for (const element of document.querySelectorAll(shown))
        state += field(shown, labels.get(element) || element.localName);
    } catch (e) {}
  }
  if (globalThis.CSS && CSS.highlights) {
    for (const [name, highlight] of CSS.highlights) {
      state += field('highlight', name + ' ' + highlight.priority);
      for (const each of highlight) state += field('range', boxes(each.getClientRects()));
    }
  }
  for (const font of document.fonts)
    state += field('font', [font.family, font.style, font.weight, font.stretch, font.unicodeRange,
                            font.status].join(' '));
  for (const animation of document.getAnimations()) {
    const effect = animation.effect;
    state += field('animation', [animation.animationName || animation.id, animation.playState,
                                 animation.currentTime, animation.playbackRate,
                                 effect && effect.target ? labels.get(effect.target) || '' : '',
                                 effect ? JSON.stringify(effect.getKeyframes()) +
                                          JSON.stringify(effect.getTiming()) : ''].join(' '));
  }
  entries.push(state);

  // Two hashes of each entry (FNV-1a, and one of MurmurHash's mixes), 64 bits in all.
  const hashes = new Uint32Array(entries.length * 2);
  for (let i = 0; i < entries.length; ++i) {
    const text = entries[i];
    let a = 0x811c9dc5;
    let b = 0x9747b28c;
    for (let k = 0; k < text.length; ++k) {
      const c = text.charCodeAt(k);
      a = Math.imul(a ^ c, 16777619);
      b = Math.imul(b ^ c, 0x5bd1e995);
      b ^= b >>> 15;
    }
    hashes[2 * i] = a;
    hashes[2 * i + 1] = b;
  }
  const bytes = new Uint8Array(hashes.buffer);
  let binary = '';
  for (let i = 0; i < bytes.length; i += 0x8000)
    binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  (globalThis.zeredizLooks || (globalThis.zeredizLooks = {}))[options.key] = entries;
  return Object.assign(result, {look: btoa(binary), regions, whole, scripted});
})(OPTIONS)
)js";

const char kLookEntry[] = R"js(// zerediz:entry
((key, index) => {
  const entries = (globalThis.zeredizLooks || {})[key];
  return entries && index < entries.length ? entries[index].split('\u0001') : [];
})(KEY, INDEX)
)js";

// The two documents are walked side by side; a difference in anything but the data of text,
// comments and the like means the bytes do not read as the page shown did.
const char kBecome[] = R"js(// zerediz:become
((options) => {
  const types = ['text/html', 'application/xhtml+xml', 'application/xml', 'text/xml',
                 'image/svg+xml'];
  if (!types.includes(document.contentType)) return {same: false, why: 'type'};
  const binary = atob(options.bytes);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  let text;
  try { text = new TextDecoder(options.charset).decode(bytes); } catch (e) {
    return {same: false, why: 'charset'};
  }
  const other = new DOMParser().parseFromString(text, document.contentType);
  const changes = [];
  const alike = (a, b) => {
    if (a.nodeType !== b.nodeType || a.nodeName !== b.nodeName) return false;
    if (a.nodeType === Node.ELEMENT_NODE) {
      if (a.namespaceURI !== b.namespaceURI || a.attributes.length !== b.attributes.length)
        return false;
      for (let i = 0; i < a.attributes.length; ++i) {
        const x = a.attributes[i];
        const y = b.attributes[i];
        if (x.name !== y.name || x.namespaceURI !== y.namespaceURI || x.value !== y.value)
          return false;
      }
      if (a.shadowRoot) return false;
      if (a.content instanceof DocumentFragment && !alike(a.content, b.content)) return false;
    } else if (a.nodeType === Node.DOCUMENT_TYPE_NODE) {
      if (a.publicId !== b.publicId || a.systemId !== b.systemId) return false;
    } else if (a instanceof CharacterData) {
      if (a.data !== b.data) changes.push([a, b.data]);
    }
    let x = a.firstChild;
    let y = b.firstChild;
    for (; x && y; x = x.nextSibling, y = y.nextSibling)
      if (!alike(x, y)) return false;
    return !x && !y;
  };
  if (!alike(document, other)) return {same: false, why: 'elements'};
  for (const [node, data] of changes) node.data = data;
  return {same: true, changed: changes.length};
})(OPTIONS)
)js";

QString withOptions(const char *script, const QJsonObject &options) {
    return QString::fromUtf8(script).replace(
        QLatin1String("OPTIONS"),
        QString::fromUtf8(QJsonDocument(options).toJson(QJsonDocument::Compact)));
}

}  // namespace

QString readingScript(const PageReading &reading) {
    return withOptions(kRead, {{QLatin1String("scripts"), reading.scripts},
                               {QLatin1String("look"), reading.look},
                               {QLatin1String("key"), reading.key}});
}

QString lookEntryScript(const QString &key, qsizetype index) {
    const QString quoted = QString::fromUtf8(
        QJsonDocument(QJsonArray{key}).toJson(QJsonDocument::Compact).chopped(1).mid(1));
    return QString::fromUtf8(kLookEntry)
        .replace(QLatin1String("KEY"), quoted)
        .replace(QLatin1String("INDEX"), QString::number(index));
}

QString becomeScript(const QByteArray &bytes, const QString &charset) {
    return withOptions(kBecome, {{QLatin1String("bytes"), QString::fromLatin1(bytes.toBase64())},
                                 {QLatin1String("charset"), charset}});
}
