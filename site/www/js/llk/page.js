// The 单词连连看 page: deals a level's board, lays it out to fit the window,
// and plays it with the mouse and the keyboard. The rules, the dealing and
// the stored progress live in the modules beside this one.

import { dealBoard, LEVELS, reshuffle } from './deal.js';
import { makeRandom, randomSeed } from './random.js';
import { removablePairs, remove, tileAt, tilesLeft, tryPair } from './rules.js';
import { loadProgress, recordFinish, recordHinted, saveProgress } from './storage.js';
import { dealableWords, levelBand, levelCount, pickWords } from './words.js';

const PAIR_POINTS = 10;
const HINT_COST = 5;
// Seconds per pair under which the rest of the time earns a bonus point.
const BONUS_SECONDS_PER_PAIR = 4;

const $ = (id) => document.getElementById(id);
const area = $('area');
const boardEl = $('board');
const messageEl = $('message');
const levelSelect = $('level');
const timeEl = $('time');
const scoreEl = $('score');
const bestEl = $('best');
const hintButton = $('hint');
const restartButton = $('restart');
const finishEl = $('finish');

const storage = (() => {
  try {
    return window.localStorage;
  } catch {
    return null;
  }
})();

let words = [];
let levels = 0;
let progress = null;
let game = null;
let tileEls = new Map();
let messageTimer = 0;

function el(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(props)) {
    if (k === 'class') node.className = v;
    else if (k === 'dataset') Object.assign(node.dataset, v);
    else node.setAttribute(k, v);
  }
  for (const c of children) if (c !== null && c !== undefined) node.append(c);
  return node;
}

function say(text, { error = false, stay = false } = {}) {
  clearTimeout(messageTimer);
  messageEl.textContent = text;
  messageEl.classList.toggle('error', error);
  if (!stay) messageTimer = setTimeout(() => { messageEl.textContent = ''; }, 4000);
}

function clock(ms) {
  const s = Math.floor(ms / 1000);
  return `${Math.floor(s / 60)}:${String(s % 60).padStart(2, '0')}`;
}

function elapsed() {
  return game.finishedMs ?? performance.now() - game.startedAt;
}

// ---- dealing and drawing ----

function start(level) {
  const shape = LEVELS[level - 1];
  const pairs = shape.rows * shape.cols / 2;
  const seed = randomSeed();
  const rng = makeRandom(seed);
  const chosen = pickWords(levelBand(words, level), pairs, rng);
  if (!chosen) {
    say('这一关的单词不够，无法发牌。', { error: true, stay: true });
    return;
  }
  game = {
    level,
    seed,
    rng,
    words: chosen,
    board: dealBoard(chosen, shape.rows, shape.cols, rng),
    score: 0,
    startedAt: performance.now(),
    finishedMs: null,
    selected: null,
    cursor: null,
    hint: null,
    hinted: new Set(),
  };
  finishEl.hidden = true;
  boardEl.inert = false;
  fillLevelSelect();
  drawTiles();
  updateBar();
  say(level === 1 && !progress.best[1]
    ? '点一个英文单词，再点它的中文意思；能用不超过两个拐弯的线连起来就会消除。'
    : `第 ${level} 关：${pairs} 对单词，开始吧！`);
  document.documentElement.dataset.state = 'ready';
  boardEl.focus({ preventScroll: true });
}

function drawTiles() {
  boardEl.replaceChildren();
  tileEls = new Map();
  const { board } = game;
  board.cells.forEach((t, i) => {
    if (!t) return;
    const b = el('button', {
      type: 'button',
      class: `tile ${t.kind}`,
      id: `tile-${t.id}`,
      lang: t.kind === 'word' ? 'en' : 'zh-CN',
      tabindex: '-1',
      'aria-pressed': 'false',
      dataset: { pair: String(t.pair), kind: t.kind },
    }, t.text);
    b.addEventListener('click', () => choose(t.id));
    boardEl.append(b);
    tileEls.set(t.id, b);
  });
  const first = board.cells.find((t) => t);
  game.cursor = first ? first.id : null;
  layout();
  updateCursor(false);
}

// Sizes the tiles to the space there is: small boards in the program's
// small window, bigger tiles when maximised. A ring of space is kept round
// the board for the lines that run outside it.
function layout() {
  if (!game) return;
  const { rows, cols } = game.board;
  const reserve = 24; // the message line under the board
  const width = area.clientWidth - 8;
  const height = area.clientHeight - reserve;
  const gap = Math.max(3, Math.min(8, Math.round(width / 180)));
  let ring = 14;
  let tileW = 0;
  let tileH = 0;
  for (let pass = 0; pass < 2; ++pass) {
    tileW = Math.min(170, (width - 2 * ring - (cols - 1) * gap) / cols);
    tileH = Math.min(tileW * 0.66, 100, (height - 2 * ring - (rows - 1) * gap) / rows);
    ring = Math.max(10, Math.min(28, tileH * 0.4));
  }
  tileW = Math.floor(tileW);
  tileH = Math.floor(tileH);
  const boardW = 2 * ring + cols * tileW + (cols - 1) * gap;
  const boardH = 2 * ring + rows * tileH + (rows - 1) * gap;
  game.geometry = { ring, gap, tileW, tileH, boardW, boardH };
  Object.assign(boardEl.style, {
    width: `${boardW}px`,
    height: `${boardH}px`,
    left: `${Math.max(0, (area.clientWidth - boardW) / 2)}px`,
    top: `${Math.max(0, (area.clientHeight - reserve - boardH) / 2)}px`,
  });
  const base = Math.min(tileH * 0.4, 28);
  game.board.cells.forEach((t, i) => {
    if (!t) return;
    const b = tileEls.get(t.id);
    const r = Math.floor(i / cols);
    const c = i % cols;
    // Latin letters are up to about 0.62 em wide at this weight, Chinese 1 em.
    const perChar = t.kind === 'word' ? 0.64 : 1.04;
    const size = Math.min(base * (t.kind === 'word' ? 1 : 1.08), (tileW - 12) / (t.text.length * perChar));
    b.classList.toggle('long', size < base * 0.6);
    Object.assign(b.style, {
      left: `${ring + c * (tileW + gap)}px`,
      top: `${ring + r * (tileH + gap)}px`,
      width: `${tileW}px`,
      height: `${tileH}px`,
      fontSize: `${Math.max(10, size).toFixed(1)}px`,
    });
  });
}

// Centre of cell (r, c) on the board, the outer ring included.
function centre(p) {
  const { ring, gap, tileW, tileH, boardW, boardH } = game.geometry;
  const { rows, cols } = game.board;
  const x = p.c < 0 ? ring / 2 : p.c >= cols ? boardW - ring / 2 : ring + p.c * (tileW + gap) + tileW / 2;
  const y = p.r < 0 ? ring / 2 : p.r >= rows ? boardH - ring / 2 : ring + p.r * (tileH + gap) + tileH / 2;
  return `${x.toFixed(1)},${y.toFixed(1)}`;
}

function drawLine(path) {
  // The HTML parser puts <svg> in the SVG namespace by itself.
  const holder = document.createElement('div');
  const { boardW, boardH } = game.geometry;
  holder.innerHTML = `<svg class="link-line" width="${boardW}" height="${boardH}" aria-hidden="true">`
    + `<polyline points="${path.map(centre).join(' ')}"/></svg>`;
  const svg = holder.firstElementChild;
  boardEl.append(svg);
  setTimeout(() => svg.remove(), 450);
}

function updateBar() {
  timeEl.textContent = clock(elapsed());
  scoreEl.textContent = String(game.score);
  const best = progress.best[game.level];
  bestEl.textContent = best ? clock(best) : '—';
  hintButton.disabled = game.finishedMs !== null;
  restartButton.disabled = false;
}

function fillLevelSelect() {
  const reachable = Math.min(progress.highest, levels);
  levelSelect.replaceChildren(...Array.from({ length: reachable }, (_, i) =>
    el('option', { value: String(i + 1) }, `第 ${i + 1} 关`)));
  levelSelect.value = String(game.level);
  levelSelect.disabled = reachable < 2;
}

// ---- playing ----

function positionOf(id) {
  const i = game.board.cells.findIndex((t) => t && t.id === id);
  return i < 0 ? null : { r: Math.floor(i / game.board.cols), c: i % game.board.cols };
}

function setSelected(id) {
  if (game.selected) tileEls.get(game.selected)?.setAttribute('aria-pressed', 'false');
  game.selected = id;
  if (id) tileEls.get(id).setAttribute('aria-pressed', 'true');
}

function choose(id) {
  if (!game || game.finishedMs !== null) return;
  const here = positionOf(id);
  if (!here) return;
  game.cursor = id;
  updateCursor(false);
  if (!game.selected) {
    setSelected(id);
    return;
  }
  if (game.selected === id) {
    setSelected(null);
    return;
  }
  const first = game.selected;
  const there = positionOf(first);
  const a = tileAt(game.board, there.r, there.c);
  const b = tileAt(game.board, here.r, here.c);
  const result = tryPair(game.board, there, here);
  setSelected(null);
  if (!result.ok) {
    for (const t of [first, id]) {
      const e = tileEls.get(t);
      e.classList.remove('nope');
      void e.offsetWidth; // restart the shake when it is already running
      e.classList.add('nope');
    }
    if (result.reason === 'noPath') say(`「${a.text}」和「${b.text}」是一对，但现在连不上：线最多拐两个弯，也不能穿过别的词。`);
    else if (a.kind === b.kind) say(a.kind === 'word' ? '两个都是英文单词，请配一个中文意思。' : '两个都是中文意思，请配一个英文单词。');
    else say(`「${a.text}」和「${b.text}」不是一对。`);
    return;
  }
  drawLine(result.path);
  remove(game.board, there, here);
  for (const t of [first, id]) {
    const e = tileEls.get(t);
    e.classList.add('gone');
    e.setAttribute('aria-hidden', 'true');
    e.tabIndex = -1;
    tileEls.delete(t);
    setTimeout(() => e.remove(), 300);
  }
  if (game.hint && game.hint.includes(first)) game.hint = null;
  game.score += PAIR_POINTS;
  moveCursorOffGone();
  afterRemoval();
  updateBar();
}

function afterRemoval() {
  if (tilesLeft(game.board) === 0) {
    finish();
    return;
  }
  if (removablePairs(game.board).length === 0) {
    game.board = reshuffle(game.board, game.rng);
    clearHint();
    drawTiles();
    say('没有能连起来的一对了，已经重新洗牌。');
  }
}

function clearHint() {
  if (!game.hint) return;
  for (const t of game.hint) tileEls.get(t)?.classList.remove('hint');
  game.hint = null;
}

function hint() {
  if (!game || game.finishedMs !== null) return;
  if (game.hint) {
    say('提示的那一对还在：闪烁的两个词。');
    return;
  }
  const found = removablePairs(game.board);
  if (!found.length) return;
  const [p, q] = found[game.rng.int(found.length)];
  const tiles = [tileAt(game.board, p.r, p.c), tileAt(game.board, q.r, q.c)];
  game.hint = tiles.map((t) => t.id);
  for (const t of tiles) tileEls.get(t.id).classList.add('hint');
  const w = game.words.find((x) => x.pair === tiles[0].pair);
  game.hinted.add(w.pair);
  recordHinted(progress, w.word, w.meaning);
  saveProgress(storage, progress);
  game.score = Math.max(0, game.score - HINT_COST);
  updateBar();
  say(`提示：闪烁的两个词是一对（扣 ${HINT_COST} 分）。`);
}

function finish() {
  game.finishedMs = performance.now() - game.startedAt;
  const seconds = Math.round(game.finishedMs / 1000);
  const bonus = Math.max(0, game.words.length * BONUS_SECONDS_PER_PAIR - seconds);
  game.score += bonus;
  const before = progress.best[game.level];
  recordFinish(progress, game.level, game.finishedMs, levels);
  saveProgress(storage, progress);
  updateBar();
  fillLevelSelect();
  say('');

  const last = game.level >= levels;
  $('finish-title').textContent = last ? `全部 ${levels} 关都通过了！` : `第 ${game.level} 关完成！`;
  const stats = $('finish-stats');
  stats.replaceChildren(
    '用时 ', el('b', {}, clock(game.finishedMs)),
    '，得分 ', el('b', {}, String(game.score)),
    bonus ? `（含时间奖励 ${bonus} 分）` : '',
    before && game.finishedMs < before ? el('span', { class: 'record' }, ' 新纪录！') : '',
    before && game.finishedMs >= before ? `，最好成绩 ${clock(before)}` : '');
  const item = (w, tag) => el('li', {}, el('span', { class: 'en', lang: 'en' }, w.word),
    el('span', { class: 'zh' }, w.meaning), tag ? el('span', { class: 'tag' }, '生词') : null);
  const listed = game.words.slice().sort((x, y) => x.rank - y.rank);
  $('finish-words').replaceChildren(...listed.map((w) => item(w, game.hinted.has(w.pair))));
  const onBoard = new Set(game.words.map((w) => w.word));
  const older = progress.hinted.filter((h) => !onBoard.has(h.word)).slice(0, 24);
  const fresh = listed.filter((w) => game.hinted.has(w.pair));
  $('finish-new').hidden = !fresh.length && !older.length;
  $('finish-new-words').replaceChildren(...fresh.map((w) => item(w, true)), ...older.map((h) => item(h, true)));
  const next = $('next');
  next.hidden = last;
  $('again').textContent = last ? '再玩一次这一关' : '再玩一次';
  finishEl.hidden = false;
  boardEl.inert = true; // keyboard focus stays on the finish screen
  (last ? $('again') : next).focus();
}

// ---- keyboard ----

function updateCursor(focus) {
  for (const [id, e] of tileEls) e.tabIndex = id === game.cursor ? 0 : -1;
  if (focus && game.cursor) tileEls.get(game.cursor)?.focus({ preventScroll: true });
}

function moveCursorOffGone() {
  if (game.cursor && positionOf(game.cursor)) return;
  const hadFocus = boardEl.contains(document.activeElement) || document.activeElement === document.body;
  const next = game.board.cells.find((t) => t);
  game.cursor = next ? next.id : null;
  updateCursor(hadFocus);
  if (hadFocus && !game.cursor) boardEl.focus({ preventScroll: true });
}

// The nearest tile in direction (dr, dc) from the cursor: along its row or
// column first, so the cursor moves as the arrows say even over gaps.
function moveCursor(dr, dc) {
  const from = game.cursor ? positionOf(game.cursor) : { r: 0, c: -1 };
  let best = null;
  game.board.cells.forEach((t, i) => {
    if (!t) return;
    const r = Math.floor(i / game.board.cols);
    const c = i % game.board.cols;
    const along = (r - from.r) * dr + (c - from.c) * dc;
    const across = Math.abs(dr ? c - from.c : r - from.r);
    if (along <= 0) return;
    const cost = along + across * 3;
    if (!best || cost < best.cost) best = { cost, id: t.id };
  });
  if (best) game.cursor = best.id;
  boardEl.classList.add('keys');
  updateCursor(true);
}

const ARROWS = { ArrowUp: [-1, 0], ArrowDown: [1, 0], ArrowLeft: [0, -1], ArrowRight: [0, 1] };

function onKey(event) {
  if (!game || event.ctrlKey || event.altKey || event.metaKey) return;
  if (!finishEl.hidden) return;
  const target = event.target;
  if (target === levelSelect) return;
  if (ARROWS[event.key]) {
    event.preventDefault();
    moveCursor(...ARROWS[event.key]);
  } else if (event.key === 'h' || event.key === 'H') {
    event.preventDefault();
    boardEl.classList.add('keys');
    hint();
  } else if ((event.key === 'Enter' || event.key === ' ') && !(target instanceof HTMLButtonElement)
             && !(target instanceof HTMLAnchorElement) && game.cursor) {
    event.preventDefault();
    boardEl.classList.add('keys');
    choose(game.cursor);
  } else if ((event.key === 'Enter' || event.key === ' ') && target.classList.contains('tile')) {
    boardEl.classList.add('keys');
  }
}

// ---- the page's read-only state, for the program's tests ----

function snapshot() {
  if (!game) return null;
  const { board } = game;
  const tiles = [];
  board.cells.forEach((t, i) => {
    if (t) tiles.push({ id: t.id, pair: t.pair, kind: t.kind, text: t.text, r: Math.floor(i / board.cols), c: i % board.cols });
  });
  return {
    level: game.level,
    levels,
    rows: board.rows,
    cols: board.cols,
    score: game.score,
    finished: game.finishedMs !== null,
    selected: game.selected,
    tiles,
    removable: removablePairs(board).map((pos) => pos.map((p) => tileAt(board, p.r, p.c).id)),
  };
}

// ---- start-up ----

async function main() {
  window.llk = Object.freeze({ snapshot });
  try {
    const response = await fetch('../data/words.json');
    if (!response.ok) throw new Error(`words.json: ${response.status}`);
    words = dealableWords(await response.json());
    levels = levelCount(words);
    if (!levels) throw new Error('no level can be dealt');
  } catch (e) {
    document.documentElement.dataset.state = 'error';
    say('单词载入失败，请稍后再试。', { error: true, stay: true });
    console.error(e);
    return;
  }
  progress = loadProgress(storage, levels);
  window.addEventListener('resize', layout);
  document.addEventListener('keydown', onKey);
  boardEl.addEventListener('mousedown', () => boardEl.classList.remove('keys'));
  hintButton.addEventListener('click', () => { hint(); updateCursor(true); });
  restartButton.addEventListener('click', () => start(game.level));
  levelSelect.addEventListener('change', () => start(Number(levelSelect.value)));
  $('next').addEventListener('click', () => start(Math.min(game.level + 1, levels)));
  $('again').addEventListener('click', () => start(game.level));
  setInterval(() => { if (game && game.finishedMs === null) timeEl.textContent = clock(elapsed()); }, 500);
  start(Math.min(progress.highest, levels));
}

main();
