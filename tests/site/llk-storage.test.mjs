// 单词连连看 progress in the page's storage: whatever is stored, or when the
// storage itself fails, the page starts fresh instead of breaking.

import assert from 'node:assert/strict';
import { test } from 'node:test';

import { freshProgress, KEY, loadProgress, recordFinish, recordHinted, saveProgress } from '../../site/www/js/llk/storage.js';

// The Web Storage calls the page uses, over a Map.
class MemoryStorage {
  constructor(entries = {}) { this.map = new Map(Object.entries(entries)); }
  getItem(k) { return this.map.has(k) ? this.map.get(k) : null; }
  setItem(k, v) { this.map.set(k, String(v)); }
}

// What storage throws when the browser denies it or it is full.
const broken = {
  getItem() { throw new Error('SecurityError'); },
  setItem() { throw new Error('QuotaExceededError'); },
};

const LEVELS = 10;
const stored = (value) => new MemoryStorage({ [KEY]: typeof value === 'string' ? value : JSON.stringify(value) });

test('missing, corrupt or foreign values start fresh', () => {
  const cases = [
    ['no storage at all', null],
    ['storage that throws', broken],
    ['nothing stored', new MemoryStorage()],
    ['other keys only', new MemoryStorage({ other: '{"highest":5}' })],
    ['empty string', stored('')],
    ['not JSON', stored('{highest: 3')],
    ['JSON null', stored('null')],
    ['a number', stored('42')],
    ['an array', stored('[1,2,3]')],
    ['another version', stored({ version: 2, highest: 4, best: { 1: 1000 }, hinted: [] })],
    ['no version', stored({ highest: 4, best: { 1: 1000 }, hinted: [] })],
    ['wrong types', stored({ version: 1, highest: '4', best: [1000], hinted: 'cat' })],
    ['levels out of range', stored({ version: 1, highest: 11, best: { 0: 1000, 11: 5, '-1': 3 }, hinted: [] })],
    ['bad times and words', stored({ version: 1, highest: 0.5, best: { 1: -5, 2: 'fast', 3: null },
      hinted: [null, 3, { word: 'cat' }, { word: '', meaning: '猫' }, { word: 'dog', meaning: 7 }] })],
  ];
  for (const [name, storage] of cases) {
    assert.deepEqual(loadProgress(storage, LEVELS), freshProgress(), name);
  }
});

test('good parts of a stored value are kept, bad ones dropped', () => {
  const p = loadProgress(stored({
    version: 1, highest: 3, best: { 1: 61000, 2: 'x', 12: 5 },
    hinted: [{ word: 'cat', meaning: '猫' }, { word: 'cat', meaning: '猫' }, 'dog', { word: 'tree', meaning: '树' }],
  }), LEVELS);
  assert.deepEqual(p, { highest: 3, best: { 1: 61000 }, hinted: [{ word: 'cat', meaning: '猫' }, { word: 'tree', meaning: '树' }] });
  // Fewer levels than when it was stored (smaller data): the level is not kept.
  assert.equal(loadProgress(stored({ version: 1, highest: 7, best: {}, hinted: [] }), 2).highest, 1);
});

test('progress saved is progress loaded, and finishing and hints update it', () => {
  const storage = new MemoryStorage();
  const p = freshProgress();
  recordFinish(p, 1, 90000, LEVELS);
  recordFinish(p, 1, 120000, LEVELS); // slower: the best time stays
  recordFinish(p, 2, 80000, LEVELS);
  recordHinted(p, 'cat', '猫');
  recordHinted(p, 'dog', '狗');
  recordHinted(p, 'cat', '猫'); // again: moves to the front, not twice
  assert.deepEqual(p, { highest: 3, best: { 1: 90000, 2: 80000 }, hinted: [{ word: 'cat', meaning: '猫' }, { word: 'dog', meaning: '狗' }] });
  assert.equal(saveProgress(storage, p), true);
  assert.deepEqual(loadProgress(storage, LEVELS), p);
  // The last level cannot lead past itself.
  recordFinish(p, LEVELS, 1000, LEVELS);
  assert.equal(p.highest, LEVELS);
  // Storage that refuses writes: the game goes on.
  assert.equal(saveProgress(broken, p), false);
  // Many hints keep only the newest.
  for (let i = 0; i < 500; ++i) recordHinted(p, `w${i}`, '词');
  saveProgress(storage, p);
  const back = loadProgress(storage, LEVELS);
  assert.ok(back.hinted.length <= 200);
  assert.equal(back.hinted[0].word, 'w499');
});
