// Dealing 单词连连看 boards: every board dealt can be cleared (checked by a
// solver written apart from the dealing), every pair is unambiguous, each
// level draws on its own frequency band, and reshuffling keeps the tiles and
// leaves a board that can be cleared.

import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { test } from 'node:test';

import { dealBoard, LEVELS, pairsFor, reshuffle } from '../../site/www/js/llk/deal.js';
import { makeRandom } from '../../site/www/js/llk/random.js';
import { removablePairs, remove } from '../../site/www/js/llk/rules.js';
import { CHECKED, dealableWords, levelBand, levelCount, pickWords } from '../../site/www/js/llk/words.js';
import { solve } from './llk-solver.mjs';

const data = JSON.parse(readFileSync(new URL('../../site/www/data/words.json', import.meta.url), 'utf8'));
const SEEDS = 12;

// Words data as the contract describes it, with the "sure" column: every
// fifth row doubtful, and each doubtful row's meaning marked so that it is
// recognised if it is ever dealt. Meanings repeat every 700 rows, and each
// word is near the next, so that ambiguous words are there to be avoided.
function syntheticData(rows) {
  return {
    columns: ['word', 'count', 'meanings', 'ipa', 'sure', 'near'],
    rows: Array.from({ length: rows }, (_, i) => {
      const sure = i % 5 === 4 ? 0 : 1;
      return [`w${i}`, rows - i, sure ? [`意${i % 700}`, `义${i}`] : [`疑${i}`], '', sure, [`w${i + 1}`]];
    }),
  };
}

function tiles(board) {
  return board.cells.filter((t) => t).map((t) => `${t.id}|${t.pair}|${t.kind}|${t.text}`).sort();
}

function checkBoard(board, chosen, name) {
  const left = solve(board);
  assert.equal(left, 0, `${name}: ${left} tiles cannot be cleared`);
  assert.equal(board.cells.filter((t) => t).length, chosen.length * 2, name);
  const shown = board.cells.filter((t) => t && t.kind === 'meaning').map((t) => t.text);
  for (const w of chosen) {
    const mine = board.cells.filter((t) => t && t.pair === w.pair);
    assert.deepEqual(mine.map((t) => [t.kind, t.text]).sort(), [['meaning', w.meaning], ['word', w.word]], name);
    assert.equal(w.meaning, w.meanings[0], `${name}: ${w.word} shows its usual meaning`);
    // No other word on the board could be taken for this meaning.
    for (const other of chosen) {
      if (other === w) continue;
      assert.ok(!other.meanings.includes(w.meaning), `${name}: ${w.meaning} fits ${w.word} and ${other.word}`);
      assert.ok(!w.near.includes(other.word), `${name}: ${w.word} is near ${other.word}`);
    }
  }
  assert.equal(new Set(shown).size, shown.length, `${name}: a meaning twice`);
}

test('only sure words are dealt, with their first meaning; data without the mark uses the checked list', () => {
  const words = dealableWords(syntheticData(300));
  assert.equal(words.length, 240);
  assert.ok(words.every((w) => !w.meaning.startsWith('疑')));
  assert.deepEqual(words.slice(0, 2).map((w) => [w.word, w.rank, w.meaning]), [['w0', 1, '意0'], ['w1', 2, '意1']]);

  // The committed data is read the same way, whichever form it has.
  const real = dealableWords(data);
  const hasSure = data.columns.includes('sure');
  assert.ok(real.length >= 2 * pairsFor(1), `${real.length} words`);
  for (const w of real.slice(0, 50)) {
    const row = data.rows[w.rank - 1];
    assert.equal(row[data.columns.indexOf('word')], w.word);
    if (hasSure) assert.equal(row[data.columns.indexOf('sure')], 1, w.word);
    else assert.equal(w.meaning, CHECKED.get(w.word), w.word);
  }
  assert.ok(real.every((w, i) => i === 0 || real[i - 1].rank < w.rank), 'frequency order');
  assert.throws(() => dealableWords({ columns: ['count'], rows: [] }));
});

test('hand-checked words are real words of the data with one meaning each', () => {
  const index = new Map(data.rows.map((row, i) => [row[data.columns.indexOf('word')], i]));
  const meanings = new Set();
  for (const [word, meaning] of CHECKED) {
    assert.ok(index.has(word), `${word} is not in words.json`);
    assert.match(meaning, /^\p{Script=Han}+$/u, word);
    assert.ok(!meanings.has(meaning), `${meaning} twice`);
    meanings.add(meaning);
  }
});

test('every level deals clearable, unambiguous boards from its own frequency band', () => {
  const words = dealableWords(syntheticData(6000));
  const sureRanks = words.map((w) => w.rank);
  assert.equal(levelCount(words), LEVELS.length);
  let previousBand = 0;
  LEVELS.forEach((shape, n) => {
    const level = n + 1;
    // The band by its own definition: the next stretch of sure words.
    const ranks = new Set(sureRanks.slice(previousBand, shape.words));
    previousBand = shape.words;
    const band = levelBand(words, level);
    assert.deepEqual(band.map((w) => w.rank), [...ranks], `level ${level} band`);
    for (let seed = 1; seed <= SEEDS; ++seed) {
      const rng = makeRandom(seed * 7919 + level);
      const chosen = pickWords(band, pairsFor(level), rng);
      assert.ok(chosen, `level ${level} seed ${seed}: no words`);
      for (const w of chosen) assert.ok(ranks.has(w.rank), `level ${level}: ${w.word} outside its band`);
      const board = dealBoard(chosen, shape.rows, shape.cols, rng);
      assert.deepEqual([board.rows, board.cols], [shape.rows, shape.cols]);
      checkBoard(board, chosen, `level ${level} seed ${seed}`);
    }
  });
  // Later levels are rarer words and bigger boards.
  for (let n = 1; n < LEVELS.length; ++n) {
    assert.ok(levelBand(words, n + 1)[0].rank > levelBand(words, n).at(-1).rank);
    assert.ok(pairsFor(n + 1) >= pairsFor(n));
  }
  assert.ok(pairsFor(LEVELS.length) > pairsFor(1));
});

test('the committed words deal clearable boards for every level they fill', () => {
  const words = dealableWords(data);
  const levels = levelCount(words);
  assert.ok(levels >= 1);
  for (let level = 1; level <= levels; ++level) {
    const band = levelBand(words, level);
    for (let seed = 1; seed <= SEEDS; ++seed) {
      const rng = makeRandom(seed);
      const chosen = pickWords(band, pairsFor(level), rng);
      assert.ok(chosen, `level ${level} seed ${seed}`);
      checkBoard(dealBoard(chosen, LEVELS[level - 1].rows, LEVELS[level - 1].cols, rng), chosen, `level ${level} seed ${seed}`);
    }
  }
});

test('a band without enough distinct meanings deals nothing rather than an ambiguous board', () => {
  const band = Array.from({ length: 30 }, (_, i) => ({ word: `w${i}`, rank: i + 1, meaning: `意${i % 5}`, meanings: [`意${i % 5}`] }));
  assert.equal(pickWords(band, 6, makeRandom(1)), null);
  assert.equal(pickWords(band, 5, makeRandom(1)).length, 5);
});

test('reshuffling keeps exactly the remaining tiles and can be cleared', () => {
  // A board where nothing can go: each word's meaning sits across the
  // corner from it, and lines round the outside need three turns.
  const stuck = { rows: 2, cols: 2, cells: [
    { id: '0w', pair: 0, kind: 'word', text: 'cat' }, { id: '1m', pair: 1, kind: 'meaning', text: '狗' },
    { id: '1w', pair: 1, kind: 'word', text: 'dog' }, { id: '0m', pair: 0, kind: 'meaning', text: '猫' },
  ] };
  assert.deepEqual(removablePairs(stuck), []);
  const boards = [stuck];
  // Boards part way through a game, on every board size.
  for (const [n, shape] of LEVELS.entries()) {
    const pairs = Array.from({ length: pairsFor(n + 1) }, (_, i) => ({ pair: i, word: `w${i}`, meaning: `义${i}` }));
    for (let seed = 1; seed <= 4; ++seed) {
      const rng = makeRandom(seed + 100 * n);
      const board = dealBoard(pairs, shape.rows, shape.cols, rng);
      for (let k = rng.int(pairs.length - 1); k > 0; --k) {
        const found = removablePairs(board);
        remove(board, ...found[rng.int(found.length)]);
      }
      boards.push(board);
    }
  }
  for (const [n, board] of boards.entries()) {
    for (let seed = 1; seed <= 3; ++seed) {
      const again = reshuffle(board, makeRandom(seed * 31 + n));
      assert.deepEqual(tiles(again), tiles(board), `board ${n}`);
      assert.deepEqual([again.rows, again.cols], [board.rows, board.cols]);
      // The tiles stay on the cells they held.
      assert.deepEqual(again.cells.map((t) => Boolean(t)), board.cells.map((t) => Boolean(t)), `board ${n} cells`);
      assert.equal(solve(again), 0, `board ${n} seed ${seed}`);
      assert.ok(removablePairs(again).length > 0);
    }
  }
  // The stuck board is dealt again on its own four cells.
  const again = reshuffle(stuck, makeRandom(5));
  assert.ok(again.cells.every((t) => t));
});
