// The link rule of 单词连连看 on small boards drawn as text: a capital letter
// is an English word, the same small letter its meaning, # any other tile,
// . an empty cell. The rows of # keep lines off the outer ring where a case
// is about the inside.

import assert from 'node:assert/strict';
import { test } from 'node:test';

import { findLink, removablePairs, tryPair } from '../../site/www/js/llk/rules.js';
import { joinable, validLine } from './llk-solver.mjs';

function parse(rows) {
  const board = { rows: rows.length, cols: rows[0].length, cells: [] };
  let filler = 0;
  rows.forEach((line) => {
    assert.equal(line.length, board.cols);
    for (const ch of line) {
      if (ch === '.') board.cells.push(null);
      else if (ch === '#') board.cells.push({ id: `f${filler}`, pair: `f${filler++}`, kind: 'word', text: '#' });
      else {
        const word = ch === ch.toUpperCase();
        board.cells.push({ id: ch, pair: ch.toLowerCase(), kind: word ? 'word' : 'meaning', text: ch });
      }
    }
  });
  return board;
}

function find(board, id) {
  const i = board.cells.findIndex((t) => t && t.id === id);
  return { r: Math.floor(i / board.cols), c: i % board.cols };
}

const turns = (points) => points.length - 2;

// [name, board, first, second, expected reason or number of turns]
const cases = [
  ['neighbours', ['Aa'], 'A', 'a', 0],
  ['neighbours one above the other', ['###', '#A#', '#a#', '###'], 'A', 'a', 0],
  ['straight line over empty cells', ['#####', '#A..a', '#####'], 'A', 'a', 0],
  ['one turn', ['####', '#A.#', '##a#', '####'], 'A', 'a', 1],
  ['two turns inside the board', ['#####', '#A#a#', '#...#', '#####'], 'A', 'a', 2],
  ['two turns, the other way round', ['#######', '#A..###', '###.#.#', '###..a#', '#######'], 'A', 'a', 2],
  ['three turns are refused', ['#######', '#A..###', '###.#a#', '###...#', '#######'], 'A', 'a', 'noPath'],
  ['blocked straight line', ['#####', '#A#a#', '#####'], 'A', 'a', 'noPath'],
  ['blocked turn', ['####', '#A##', '##a#', '####'], 'A', 'a', 'noPath'],
  ['through the ring above', ['A#a', '###'], 'A', 'a', 2],
  ['through the ring below', ['###', 'A#a'], 'A', 'a', 2],
  ['through the ring on the left', ['A#', '##', 'a#'], 'A', 'a', 2],
  ['through the ring on the right', ['#A', '##', '#a'], 'A', 'a', 2],
  ['round a corner of the ring takes three turns', ['##A', '###', 'a##'], 'A', 'a', 'noPath'],
  ['out into the ring and back in down a gap', ['A#.', '##.', '##a'], 'A', 'a', 2],
  ['the gap closed', ['A##', '##.', '##a'], 'A', 'a', 'noPath'],
  ['the same tile twice', ['Aa'], 'A', 'A', 'same'],
  ['a word and another word\'s meaning', ['Ab', 'aB'], 'A', 'b', 'notPair'],
  ['two English words', ['AB', 'ab'], 'A', 'B', 'notPair'],
  ['two meanings', ['AB', 'ab'], 'a', 'b', 'notPair'],
];

test('link rule on small boards', () => {
  for (const [name, rows, first, second, expected] of cases) {
    const board = parse(rows);
    const a = find(board, first);
    const b = find(board, second);
    const result = tryPair(board, a, b);
    if (typeof expected === 'number') {
      assert.ok(result.ok, `${name}: ${result.reason}`);
      assert.ok(validLine(board, a, b, result.path), `${name}: drawn line ${JSON.stringify(result.path)}`);
      assert.equal(turns(result.path), expected, name);
      assert.ok(joinable(board, a, b), `${name}: the independent check disagrees`);
      // The rule does not depend on which tile came first.
      assert.ok(tryPair(board, b, a).ok, `${name}: reversed`);
    } else {
      assert.deepEqual(result, { ok: false, reason: expected }, name);
      if (expected === 'noPath') assert.ok(!joinable(board, a, b), `${name}: the independent check disagrees`);
    }
  }
});

test('the line takes the fewest turns and matches an independent check everywhere', () => {
  // Every pair of cells on a fixed, irregular board: the game's search and
  // the solver's agree on what can be joined, and every line drawn is valid.
  const board = parse(['#..#.#', '.##..#', '#.#.##', '..#...', '#.##.#']);
  let joined = 0;
  for (let i = 0; i < board.cells.length; ++i) {
    for (let j = 0; j < board.cells.length; ++j) {
      if (i === j || !board.cells[i] || !board.cells[j]) continue;
      const a = { r: Math.floor(i / board.cols), c: i % board.cols };
      const b = { r: Math.floor(j / board.cols), c: j % board.cols };
      const path = findLink(board, a, b);
      assert.equal(Boolean(path), joinable(board, a, b), `${JSON.stringify(a)} ${JSON.stringify(b)}`);
      if (path) {
        assert.ok(validLine(board, a, b, path));
        ++joined;
      }
    }
  }
  assert.ok(joined > 20 && joined < 300, `${joined} joinable`);
});

test('removable pairs are exactly the pairs that can go now', () => {
  const board = parse(['A#b', '###', 'a#B', 'cC.']);
  const ids = removablePairs(board).map((pos) => pos.map((p) => board.cells[p.r * board.cols + p.c].id).sort().join(''));
  // A..a runs down the left ring; b..B down the right; c and C touch.
  assert.deepEqual(ids.sort(), ['Aa', 'Bb', 'Cc']);
  assert.deepEqual(removablePairs(parse(['Ab', 'Ba'])), []);
});
