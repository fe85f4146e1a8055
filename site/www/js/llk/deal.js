// Dealing boards that can always be cleared. The deal plays a game first:
// on a board of blank tiles it removes, one after another, two tiles that a
// line can join at that moment, until none are left. Each removed two then
// become one word and its meaning, so that order of play clears the board.
// Removing a tile only opens lines, so whatever removable pair the learner
// picks, the board stays clearable.

import { pairPositions, tileAt, tilesReachable } from './rules.js';

export const LEVELS = [
  { rows: 4, cols: 6, words: 120 },
  { rows: 4, cols: 7, words: 300 },
  { rows: 5, cols: 6, words: 550 },
  { rows: 5, cols: 8, words: 850 },
  { rows: 6, cols: 8, words: 1200 },
  { rows: 6, cols: 8, words: 1650 },
  { rows: 6, cols: 8, words: 2200 },
  { rows: 6, cols: 8, words: 2850 },
  { rows: 6, cols: 8, words: 3600 },
  { rows: 6, cols: 8, words: 4500 },
];

export function pairsFor(level) {
  const l = LEVELS[level - 1];
  return (l.rows * l.cols) / 2;
}

// An order of removing the tiles on cells (board indexes) two at a time,
// each two joinable when they go; null when the random choices strand some.
function playOrder(rows, cols, cells, rng) {
  const board = { rows, cols, cells: new Array(rows * cols).fill(null) };
  for (const i of cells) board.cells[i] = {};
  const order = [];
  for (let left = cells.length; left > 0; left -= 2) {
    const joinable = [];
    board.cells.forEach((t, i) => {
      if (!t) return;
      for (const j of tilesReachable(board, { r: Math.floor(i / cols), c: i % cols })) {
        if (j > i) joinable.push([i, j]);
      }
    });
    if (!joinable.length) return null;
    // Mostly tiles apart from each other: neighbours are too easy to spot.
    const apart = joinable.filter(([i, j]) => j - i !== 1 && j - i !== cols);
    const from = apart.length && rng() < 0.8 ? apart : joinable;
    const two = from[rng.int(from.length)];
    board.cells[two[0]] = null;
    board.cells[two[1]] = null;
    order.push(two);
  }
  return order;
}

// pairs ([{pair, word, meaning}]) dealt on cells; null if no order was found.
function dealOn(pairs, rows, cols, cells, rng) {
  if (cells.length !== pairs.length * 2) throw new Error('cells and pairs do not match');
  for (let attempt = 0; attempt < 100; ++attempt) {
    const order = playOrder(rows, cols, cells, rng);
    if (!order) continue;
    const board = { rows, cols, cells: new Array(rows * cols).fill(null) };
    const shuffled = rng.shuffle(pairs.slice());
    order.forEach((two, n) => {
      const p = shuffled[n];
      const [w, m] = rng() < 0.5 ? two : [two[1], two[0]];
      board.cells[w] = { id: `${p.pair}w`, pair: p.pair, kind: 'word', text: p.word };
      board.cells[m] = { id: `${p.pair}m`, pair: p.pair, kind: 'meaning', text: p.meaning };
    });
    return board;
  }
  return null;
}

// A full rows x cols board of the given pairs.
export function dealBoard(pairs, rows, cols, rng) {
  const all = Array.from({ length: rows * cols }, (_, i) => i);
  const board = dealOn(pairs, rows, cols, all, rng);
  if (!board) throw new Error('no clearable board found');
  return board;
}

// The tiles left on board, dealt again on the cells they hold now (or, if
// those cells admit no clearing order, on a block from the top left corner).
export function reshuffle(board, rng) {
  const pairs = [];
  for (const [pair, pos] of pairPositions(board)) {
    const [a, b] = pos.map((p) => tileAt(board, p.r, p.c));
    const [word, meaning] = a.kind === 'word' ? [a, b] : [b, a];
    pairs.push({ pair, word: word.text, meaning: meaning.text });
  }
  const cells = [];
  board.cells.forEach((t, i) => { if (t) cells.push(i); });
  const kept = dealOn(pairs, board.rows, board.cols, cells, rng);
  if (kept) return kept;
  const block = Array.from({ length: cells.length }, (_, i) => i);
  const moved = dealOn(pairs, board.rows, board.cols, block, rng);
  if (!moved) throw new Error('no clearable board found');
  return moved;
}
