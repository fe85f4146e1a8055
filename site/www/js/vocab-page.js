// What the two vocabulary-test pages share: loading the word bank, keeping
// state in the page's storage, and drawing results.

import { buildBank, formatWords, levelVerdicts } from './vocab.js';

export function el(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(props)) {
    if (k === 'class') node.className = v;
    else if (k === 'dataset') Object.assign(node.dataset, v);
    else if (k.startsWith('on')) node.addEventListener(k.slice(2), v);
    else if (v !== false && v !== null && v !== undefined) node.setAttribute(k, v === true ? '' : v);
  }
  for (const c of children) if (c !== null && c !== undefined && c !== false) node.append(c);
  return node;
}

// The HTML parser puts <svg> in the SVG namespace; asking it saves spelling
// the namespace out.
let svgNamespace = null;
function svg(tag, attrs = {}, text = null) {
  if (!svgNamespace) {
    const t = document.createElement('template');
    t.innerHTML = '<svg></svg>';
    svgNamespace = t.content.firstChild.namespaceURI;
  }
  const node = document.createElementNS(svgNamespace, tag);
  for (const [k, v] of Object.entries(attrs)) node.setAttribute(k, v);
  if (text !== null) node.textContent = text;
  return node;
}

export async function loadBank() {
  const get = async (url) => {
    const r = await fetch(url);
    if (!r.ok) throw new Error(`${url}: HTTP ${r.status}`);
    return r.json();
  };
  const [words, nonwords] = await Promise.all([get('data/words.json'), get('data/nonwords.json')]);
  return buildBank(words, nonwords);
}

// Storage can be missing or full (private windows); a test still runs, it
// just does not survive a reload then.
export const store = {
  get(key) {
    try {
      const text = localStorage.getItem(key);
      return text ? JSON.parse(text) : null;
    } catch {
      return null;
    }
  },
  set(key, value) {
    try {
      localStorage.setItem(key, JSON.stringify(value));
    } catch {
      /* not kept */
    }
  },
  remove(key) {
    try {
      localStorage.removeItem(key);
    } catch {
      /* nothing kept */
    }
  },
};

export function setState(name) {
  document.documentElement.dataset.state = name;
}

export function estimateLine(result) {
  return el('p', { class: 'estimate' },
    '约 ', el('b', { id: 'estimate' }, formatWords(result.words)), ' 词',
    el('span', { class: 'range' }, `，可能在 ${formatWords(result.low)}–${formatWords(result.high)} 之间`));
}

const bandLabel = (b) => (b.hi >= 1000 ? `${Math.round(b.hi / 100) / 10}k` : String(b.hi));

// Bar chart of a share per band (0..1), most frequent band on the left.
// `bars` are drawn as columns, `line` (optional) as dots joined by a line.
export function bandChart(bands, { bars, line = null, barTitle, lineTitle, caption }) {
  const w = 560;
  const h = 176;
  const left = 34;
  const bottom = 40;
  const top = 10;
  const plotH = h - top - bottom;
  const step = (w - left - 6) / bands.length;
  const root = svg('svg', { viewBox: `0 0 ${w} ${h}`, class: 'chart', role: 'img', 'aria-label': caption });
  for (const p of [0, 0.5, 1]) {
    const y = top + plotH * (1 - p);
    root.append(svg('line', { x1: left, x2: w - 4, y1: y, y2: y, class: 'grid' }));
    root.append(svg('text', { x: left - 4, y: y + 4, class: 'axis', 'text-anchor': 'end' }, `${Math.round(p * 100)}%`));
  }
  bands.forEach((b, i) => {
    const x = left + i * step;
    const v = bars(b);
    if (v !== null) {
      const bh = Math.max(1, plotH * v);
      const rect = svg('rect', { x: x + step * 0.15, y: top + plotH - bh, width: step * 0.7, height: bh, rx: 2, class: 'bar' });
      rect.append(svg('title', {}, `${b.lo}–${b.hi} 名：${barTitle(b)}`));
      root.append(rect);
    }
    root.append(svg('text', { x: x + step / 2, y: h - bottom + 15, class: 'axis', 'text-anchor': 'middle' }, bandLabel(b)));
  });
  if (line) {
    const pts = bands.map((b, i) => [left + i * step + step / 2, top + plotH * (1 - line(b))]);
    root.append(svg('polyline', { points: pts.map((p) => p.join(',')).join(' '), class: 'line' }));
    pts.forEach(([x, y], i) => {
      const dot = svg('circle', { cx: x, cy: y, r: 3, class: 'dot' });
      dot.append(svg('title', {}, `${bands[i].lo}–${bands[i].hi} 名：${lineTitle(bands[i])}`));
      root.append(dot);
    });
  }
  root.append(svg('text', { x: left + (w - left) / 2, y: h - 3, class: 'axis', 'text-anchor': 'middle' }, '词频排名（左边最常用）'));
  return el('figure', { class: 'chart-box' }, root, el('figcaption', {}, caption));
}

// The estimate against the usual levels, stated as approximate.
export function levelsBlock(words) {
  const items = levelVerdicts(words).map((l) => el('li', { class: l.reached ? 'reached' : l.close ? 'close' : 'not' },
    el('b', {}, l.name), ` 约 ${formatWords(l.words)} 词 `,
    el('span', {}, l.reached ? '✓ 已达到' : l.close ? '接近了' : '还差一些')));
  return el('section', { class: 'levels' },
    el('h2', {}, '对照常见考试的词汇要求'),
    el('ul', {}, ...items),
    el('p', { class: 'fine' }, '各考试的要求是常见的大致说法；这里数的是日常英语的基本词形（如 go、went 算一个词），只能粗略对照。'));
}

export function dateText(time) {
  const d = new Date(time);
  return `${d.getFullYear()}-${String(d.getMonth() + 1).padStart(2, '0')}-${String(d.getDate()).padStart(2, '0')}`;
}

// Keys that the page handles itself, unless the user is typing somewhere.
export function onKeys(handler) {
  document.addEventListener('keydown', (ev) => {
    if (ev.altKey || ev.ctrlKey || ev.metaKey) return;
    if (ev.target instanceof HTMLInputElement || ev.target instanceof HTMLTextAreaElement) return;
    if (handler(ev.key)) ev.preventDefault();
  });
}

// Words with their IPA and meanings, as a list to learn from; `printable`
// adds a button that prints just this list.
export function wordTable(title, words, printable = false) {
  const rows = words.map((m) => el('tr', {},
    el('td', { lang: 'en' }, m.word),
    el('td', { class: 'ipa', lang: 'en-fonipa' }, m.ipa ? `/${m.ipa}/` : ''),
    el('td', {}, m.meanings.join('、'))));
  return el('section', { class: 'study-box', id: 'study' },
    el('h2', {}, title),
    el('table', { class: 'study' },
      el('thead', {}, el('tr', {}, el('th', {}, '单词'), el('th', {}, '音标'), el('th', {}, '中文意思'))),
      el('tbody', {}, ...rows)),
    printable ? el('p', { class: 'actions no-print' },
      el('button', { class: 'button', id: 'print', type: 'button', onclick: () => window.print() }, '打印学习清单')) : null);
}
