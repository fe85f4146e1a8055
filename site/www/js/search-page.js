// The 图文字典 page: wires the search box, the category buttons and the
// result list to dictionary.js.

import { buildIndex, buildWordIndex, isChinese, lookupWord, normalize, search, suggest } from './dictionary.js';

const PAGE_SIZE = 60;
// Icon and two-character label per category, so that all of them fit on
// one row in the program's small window; the full name shows when there is
// room (CSS) and as the tooltip.
const GROUP_LOOK = {
  smileys: ['😀', '笑脸'], people: ['🧑', '人物'], animals: ['🐼', '动物'], food: ['🍎', '食物'],
  travel: ['✈️', '旅行'], activities: ['⚽', '活动'], objects: ['💡', '物品'], symbols: ['❤️', '符号'],
  flags: ['🏁', '旗帜'],
};
const EXAMPLES = ['apple', 'cat', 'happy', '苹果', '猫', '足球'];

const $ = (id) => document.getElementById(id);
const box = $('q');
const clearButton = $('clear');
const categoriesEl = $('categories');
const statusEl = $('status');
const wordEl = $('word');
const resultsEl = $('results');
const emptyEl = $('empty');
const moreButton = $('more');
const mainEl = $('main');

let index = null;
let wordIndex = null;
let wordIndexLoading = null;
let group = null; // group index, or null for all
let current = [];
let shown = 0;
let renderToken = 0;

function el(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(props)) {
    if (k === 'class') node.className = v;
    else if (k === 'dataset') Object.assign(node.dataset, v);
    else if (k.startsWith('on')) node.addEventListener(k.slice(2), v);
    else node.setAttribute(k, v);
  }
  for (const c of children) if (c !== null && c !== undefined) node.append(c);
  return node;
}

// The English name with the typed words marked where they start a word.
function highlighted(text, query) {
  const tokens = normalize(query).split(' ').filter((t) => t && !isChinese(t));
  if (!tokens.length) return document.createTextNode(text);
  const lower = text.toLowerCase();
  const marks = [];
  for (const t of tokens) {
    let at = -1;
    for (let i = lower.indexOf(t); i >= 0; i = lower.indexOf(t, i + 1)) {
      if (i === 0 || !/[\p{L}\p{N}]/u.test(lower[i - 1])) { at = i; break; }
      if (at < 0) at = i;
    }
    if (at >= 0) marks.push([at, at + t.length]);
  }
  marks.sort((a, b) => a[0] - b[0]);
  const frag = document.createDocumentFragment();
  let pos = 0;
  for (const [s, e] of marks) {
    if (s < pos) continue;
    frag.append(text.slice(pos, s), el('mark', {}, text.slice(s, e)));
    pos = e;
  }
  frag.append(text.slice(pos));
  return frag;
}

function entryCard(entry, query) {
  const keywords = [entry.keywordsEn.join(', '), entry.keywordsZh.join('、')].filter(Boolean).join(' · ');
  return el('article', {
    class: 'entry',
    dataset: { emoji: entry.emoji },
    title: '点击显示全部关键词',
    onclick: (ev) => ev.currentTarget.classList.toggle('open'),
  },
  el('div', { class: 'pic', 'aria-hidden': 'true' }, entry.emoji),
  el('div', { class: 'text' },
    el('div', { class: 'en', lang: 'en' }, highlighted(entry.en, query)),
    el('div', { class: 'zh' }, entry.zh),
    keywords ? el('div', { class: 'kw' }, keywords) : null));
}

function renderCategories() {
  const make = (g) => {
    const pressed = (g === null && group === null) || (g !== null && g.index === group);
    const [icon, short] = g === null ? [null, '全部'] : GROUP_LOOK[g.id] || ['', g.zh];
    return el('button', {
      type: 'button',
      'aria-pressed': String(pressed),
      title: g === null ? '全部图片' : g.zh,
      dataset: { group: g === null ? 'all' : g.id },
      onclick: () => browse(g === null ? null : g.index),
    },
    icon ? el('span', { class: 'emoji', 'aria-hidden': 'true' }, icon) : null,
    el('span', { class: 'short' }, short),
    g === null ? null : el('span', { class: 'long' }, g.zh));
  };
  categoriesEl.replaceChildren(make(null), ...index.groups.map(make));
}

function showMore() {
  const query = box.value;
  const frag = document.createDocumentFragment();
  const end = Math.min(current.length, shown + PAGE_SIZE);
  for (let i = shown; i < end; i++) frag.append(entryCard(current[i].entry, query));
  resultsEl.append(frag);
  shown = end;
  const left = current.length - shown;
  moreButton.hidden = left <= 0;
  if (left > 0) moreButton.textContent = `再显示 ${Math.min(left, PAGE_SIZE)} 个（还有 ${left} 个）`;
}

function suggestionChips(words) {
  return el('div', { class: 'chips' }, ...words.map((w) => el('button', {
    type: 'button',
    onclick: () => setQuery(w),
  }, w)));
}

function loadWordIndex() {
  if (!wordIndexLoading) {
    wordIndexLoading = fetch('data/words.json')
      .then((r) => (r.ok ? r.json() : Promise.reject(new Error(r.statusText))))
      .then((data) => { wordIndex = buildWordIndex(data); return wordIndex; })
      .catch(() => null);
  }
  return wordIndexLoading;
}

// What the word means even when there is no picture for it.
function meaningNote(query) {
  if (!wordIndex) return null;
  const found = lookupWord(wordIndex, query);
  if (!found.length) return null;
  if (isChinese(query)) {
    return el('p', { class: 'meaning' }, `「${query.trim()}」的英文可以是：`,
      el('b', { lang: 'en' }, found.map((f) => f.word).join(', ')),
      '。点一下下面的单词看看有没有图片：',
      suggestionChips(found.map((f) => f.word)));
  }
  const f = found[0];
  return el('p', { class: 'meaning' }, el('b', { lang: 'en' }, f.word), f.ipa ? ` /${f.ipa}/` : '', ' 的中文意思：',
    el('b', {}, f.meanings.join('、')), '。图文字典里暂时还没有它的图片。');
}

// The typed English word itself, with its pronunciation and meanings, above
// the pictures that show it.
function renderWordLine(query) {
  const q = query.trim();
  const found = wordIndex && q && !isChinese(q) && !q.includes(' ') ? lookupWord(wordIndex, q) : [];
  if (!found.length || !current.length) {
    wordEl.hidden = true;
    return;
  }
  const f = found[0];
  wordEl.replaceChildren(el('b', { lang: 'en' }, f.word),
    f.ipa ? el('span', { class: 'ipa', lang: 'en-fonipa' }, `/${f.ipa}/`) : '',
    el('span', {}, f.meanings.join('、')));
  wordEl.hidden = false;
}

function renderEmpty(query) {
  const q = query.trim();
  const words = suggest(index, q);
  const parts = [el('h2', {}, `没有找到与「${q}」有关的图片`)];
  const note = meaningNote(q);
  if (note) parts.push(note);
  if (words.length) parts.push(el('p', {}, '你是不是要找：'), suggestionChips(words));
  parts.push(
    el('p', {}, isChinese(q)
      ? '小提示：试试更短的词（比如只输入一个字），或者换成英文。'
      : '小提示：检查一下拼写，试试只输入单词的开头几个字母，或者换成中文。'),
    el('p', {}, '也可以试试这些词：'), suggestionChips(EXAMPLES),
    el('p', {}, '或者按上面的分类浏览全部图片。'));
  emptyEl.replaceChildren(...parts);
  emptyEl.hidden = false;
  if (!wordIndex) {
    const token = renderToken;
    loadWordIndex().then((wi) => {
      if (wi && token === renderToken) renderEmpty(query);
    });
  }
}

function render() {
  renderToken++;
  const query = box.value;
  const trimmed = query.trim();
  clearButton.hidden = !query;
  const { results } = search(index, query, { group: trimmed ? null : group });
  current = results;
  shown = 0;
  resultsEl.replaceChildren();
  emptyEl.hidden = true;
  moreButton.hidden = true;
  renderWordLine(query);
  if (trimmed) {
    statusEl.textContent = results.length
      ? `找到 ${results.length} 个与「${trimmed}」有关的图片`
      : '';
    if (!results.length) renderEmpty(query);
  } else if (group !== null) {
    statusEl.textContent = `「${index.groups[group].zh}」共 ${results.length} 个图片单词，点上面的分类换一组，或在搜索框里输入单词`;
  } else {
    statusEl.textContent = `共 ${results.length} 个图片单词。输入英文或中文开始查找，也可以按分类浏览`;
  }
  showMore();
  mainEl.scrollTop = 0;
  updateUrl(trimmed);
}

function updateUrl(query) {
  const params = new URLSearchParams();
  if (query) params.set('q', query);
  else if (group !== null) params.set('cat', index.groups[group].id);
  const search = params.toString();
  const url = location.pathname + (search ? `?${search}` : '');
  if (url !== location.pathname + location.search) history.replaceState(null, '', url);
}

// Rendered straight away rather than on the next animation frame: a search
// takes a millisecond or two, and a hidden or background view gets no frames.
function onInput() {
  if (box.value.trim() && group !== null) {
    group = null;
    renderCategories();
  }
  render();
}

function setQuery(text) {
  box.value = text;
  box.focus();
  if (group !== null) {
    group = null;
    renderCategories();
  }
  render();
}

function browse(groupIndex) {
  group = groupIndex;
  box.value = '';
  renderCategories();
  render();
}

async function start() {
  try {
    const response = await fetch('data/emoji.json');
    if (!response.ok) throw new Error(`HTTP ${response.status}`);
    index = buildIndex(await response.json());
  } catch (err) {
    statusEl.textContent = '字典数据载入失败，请刷新页面再试一次。';
    document.documentElement.dataset.state = 'error';
    console.error('dictionary data', err);
    return;
  }
  const params = new URLSearchParams(location.search);
  const cat = index.groups.find((g) => g.id === params.get('cat'));
  if (cat) group = cat.index;
  if (params.get('q')) box.value = params.get('q');
  renderCategories();
  render();
  box.addEventListener('input', onInput);
  box.addEventListener('keydown', (ev) => {
    if (ev.key === 'Escape' && box.value) {
      ev.preventDefault();
      setQuery('');
    }
  });
  clearButton.addEventListener('click', () => setQuery(''));
  moreButton.addEventListener('click', showMore);
  document.documentElement.dataset.state = 'ready';
  // The word list is only needed for the line above the results; fetched
  // once the pictures are usable.
  loadWordIndex().then((wi) => { if (wi) renderWordLine(box.value); });
}

start();
