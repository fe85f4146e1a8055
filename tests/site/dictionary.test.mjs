// Search and ranking of the picture dictionary, run against the committed
// data that the page itself loads.

import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { test } from 'node:test';
import { fileURLToPath, pathToFileURL } from 'node:url';

const www = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'site', 'www');
const dict = await import(pathToFileURL(join(www, 'js', 'dictionary.js')).href);
const { Match, buildIndex, buildWordIndex, lookupWord, normalize, search, suggest } = dict;

const emojiData = JSON.parse(readFileSync(join(www, 'data', 'emoji.json'), 'utf8'));
const wordsData = JSON.parse(readFileSync(join(www, 'data', 'words.json'), 'utf8'));
const index = buildIndex(emojiData);
const words = buildWordIndex(wordsData);

const names = (q, opts) => search(index, q, opts).results.map((r) => r.entry.en);
const emojis = (q, opts) => search(index, q, opts).results.map((r) => r.entry.emoji);
const groupIndex = (id) => index.groups.findIndex((g) => g.id === id);

// The matching rules restated naively, to check search() against.
const enWords = (s) => normalize(s).split(/[^\p{L}\p{N}']+/u).filter(Boolean);
function naiveMatches(entry, token) {
  if (/\p{Script=Han}/u.test(token)) {
    const fields = [entry.zh, ...entry.keywordsZh].map(normalize);
    return fields.some((f) => f.includes(token));
  }
  const ws = [...enWords(entry.en), ...entry.keywordsEn.flatMap(enWords)];
  return ws.some((w) => w.startsWith(token));
}

test('normalize folds case, width, apostrophes and spaces', () => {
  const cases = [
    ['  Red   APPLE ', 'red apple'],
    ['ＣＡＴ', 'cat'],
    ['man’s shoe', "man's shoe"],
    ['\t猫\n', '猫'],
    ['', ''],
    [null, ''],
  ];
  for (const [input, want] of cases) assert.equal(normalize(input), want, JSON.stringify(input));
});

test('top results for English and Chinese queries', () => {
  // query → the first results, in order
  const cases = [
    ['cat', ['🐈']],
    ['dog', ['🐕', '🐶']],
    ['CAT', ['🐈']],
    ['  dog  ', ['🐕']],
    ['red apple', ['🍎']],
    ['apple', ['🍎', '🍏']],
    ['cats', ['🐈']],
    ['china', ['🇨🇳']],
    ['thumbs up', ['👍']],
    ['猫', ['🐈']],
    ['狗', ['🐕']],
    ['苹果', ['🍎', '🍏']],
    ['红苹果', ['🍎']],
    ['中国', ['🇨🇳']],
    ['red 苹果', ['🍎']],
  ];
  for (const [q, want] of cases) {
    assert.deepEqual(emojis(q).slice(0, want.length), want, `query ${q}: ${names(q).slice(0, 5)}`);
  }
});

test('ranking: exact name, then whole word, keyword, word start; English never inside a word', () => {
  assert.equal(search(index, 'cat').results[0].match, Match.EXACT);
  // "car" meets every English kind of match: police car, taxi (keyword
  // car), credit card, … in that order, and never scarf.
  const { results } = search(index, 'car');
  for (let i = 1; i < results.length; i++) {
    assert.ok(results[i - 1].match <= results[i].match, `car: result ${i} out of order`);
  }
  const kinds = new Set(results.map((r) => r.match));
  for (const k of [Match.NAME_WORD, Match.KEYWORD_WORD, Match.NAME_PREFIX]) assert.ok(kinds.has(k), `car has kind ${k}`);
  const car = names('car');
  assert.ok(car.indexOf('police car') < car.indexOf('taxi'));
  assert.ok(car.indexOf('taxi') < car.indexOf('credit card'));

  // A letter string inside a word is another word: no grapple for apple,
  // no scarf for car, no basketball for ball.
  for (const q of ['apple', 'car', 'ball', 'cat', 'ring']) {
    for (const r of search(index, q).results) {
      const words = [r.entry.en, ...r.entry.keywordsEn].flatMap(enWords);
      assert.ok(words.some((w) => w.startsWith(q)), `${q} found ${r.entry.en} (${r.entry.keywordsEn.join(', ')})`);
      assert.ok(r.match !== Match.NAME_INFIX && r.match !== Match.KEYWORD_INFIX, `${q}: ${r.entry.en}`);
    }
  }
  assert.ok(!names('apple').some((n) => /wrestl/.test(n)), 'apple does not find people wrestling');
  const ball = names('ball');
  assert.ok(ball.indexOf('soccer ball') >= 0);
  // basketball is found through its keyword "ball", after the names.
  assert.ok(ball.indexOf('basketball') > ball.indexOf('soccer ball'));
  // Chinese is not written in words, so a query inside a name still counts.
  assert.ok(search(index, '果').results.some((r) => r.entry.emoji === '🍎' && r.match === Match.NAME_INFIX));

  // A keyword-only hit ranks below a name hit.
  const kitty = search(index, 'kitty').results;
  assert.ok(kitty.some((r) => r.entry.emoji === '🐱' && r.match === Match.KEYWORD_WORD));

  // While typing: a prefix already finds the word, common words first.
  const app = search(index, 'app').results;
  assert.equal(app[0].match, Match.NAME_PREFIX);
  assert.ok(enWords(app[0].entry.en).some((w) => w.startsWith('app')));
  assert.ok(names('appl').slice(0, 2).includes('red apple'));
});

test('results are exactly the entries that match, for many queries', () => {
  const queries = ['a', 'ca', 'cat', 'ball', 'hear', 'heart', 'sun', 'face', 'car', 'tree', 'x',
    '猫', '心', '花', '车', '笑', '旗'];
  for (const q of queries) {
    const got = new Set(emojis(q));
    const token = normalize(q);
    const want = index.entries.filter((e) => naiveMatches(e, token)).map((e) => e.emoji);
    assert.equal(got.size, want.length, `query ${q}: ${got.size} results, ${want.length} matching entries`);
    for (const e of want) assert.ok(got.has(e), `query ${q} misses ${e}`);
  }
});

test('every token of a multi-word query must match', () => {
  const { results } = search(index, 'face cat');
  assert.ok(results.length > 0);
  for (const r of results) {
    assert.ok(naiveMatches(r.entry, 'face') && naiveMatches(r.entry, 'cat'), r.entry.en);
  }
  assert.deepEqual(names('cat xyzzyq'), []);
});

test('empty query lists everything, or one category, in the data order', () => {
  for (const q of ['', '   ']) {
    const all = search(index, q).results;
    assert.equal(all.length, emojiData.entries.length);
    assert.deepEqual(all.slice(0, 3).map((r) => r.entry.emoji), emojiData.entries.slice(0, 3).map((e) => e.c));
    assert.ok(all.every((r) => r.match === null));
  }
  const animals = groupIndex('animals');
  const listed = search(index, '', { group: animals }).results;
  assert.equal(listed.length, emojiData.entries.filter((e) => e.g === animals).length);
  assert.ok(listed.length > 50);
  assert.ok(listed.every((r) => r.entry.group === animals));
  // A category also narrows a search.
  const inFood = search(index, 'red', { group: groupIndex('food') }).results;
  assert.ok(inFood.length > 0 && inFood.every((r) => r.entry.group === groupIndex('food')));
  assert.ok(inFood.some((r) => r.entry.emoji === '🍎'));
});

test('categories have Chinese names and cover every entry', () => {
  assert.deepEqual(index.groups.map((g) => g.id),
    ['smileys', 'people', 'animals', 'food', 'travel', 'activities', 'objects', 'symbols', 'flags']);
  for (const g of index.groups) {
    assert.match(g.zh, /^\p{Script=Han}+$/u, g.id);
    assert.ok(g.count > 0, g.id);
  }
  assert.equal(index.groups.reduce((s, g) => s + g.count, 0), index.entries.length);
});

test('no match gives nothing, with useful suggestions', () => {
  const cases = [
    // query, a suggestion that must be offered
    ['dgo', 'dog'],
    ['happpy', 'happy'],
    ['elephent', 'elephant'],
    ['苹果树', '苹果'],
  ];
  for (const [q, want] of cases) {
    assert.deepEqual(search(index, q).results, [], `${q} should find nothing`);
    const s = suggest(index, q);
    assert.ok(s.includes(want), `${q}: suggestions ${s}`);
    for (const w of s) assert.ok(search(index, w).results.length > 0, `suggestion ${w} finds something`);
  }
  assert.deepEqual(search(index, 'qzxqzxqzx').results, []);
  assert.deepEqual(search(index, ',,, ;').results, []);
});

test('word list: meanings by English word and English words by meaning', () => {
  assert.ok(words.size > 5000);
  const apple = lookupWord(words, 'Apple');
  assert.equal(apple.length, 1);
  assert.ok(apple[0].meanings.includes('苹果'), String(apple[0].meanings));
  assert.ok(lookupWord(words, 'computer')[0].meanings.includes('电脑'));
  assert.equal(lookupWord(words, 'apples')[0]?.word, 'apple');
  assert.ok(lookupWord(words, '苹果').some((w) => w.word === 'apple'));
  const byCat = lookupWord(words, '猫').map((w) => w.word);
  assert.ok(byCat.includes('cat'), String(byCat));
  assert.deepEqual(lookupWord(words, ''), []);
  assert.deepEqual(lookupWord(words, 'qzxqzx'), []);
  // Ranked by frequency: ranks follow the corpus counts.
  const rows = wordsData.rows;
  for (let i = 1; i < rows.length; i++) assert.ok(rows[i - 1][1] >= rows[i][1], `row ${i} out of order`);
  assert.ok(lookupWord(words, 'the')[0].rank < lookupWord(words, 'apple')[0].rank);
});

test('fast enough to search on every keystroke', () => {
  let t = performance.now();
  const fresh = buildIndex(emojiData);
  const buildMs = performance.now() - t;
  assert.ok(buildMs < 1000, `index built in ${buildMs} ms`);
  const typed = ['h', 'ha', 'hap', 'happ', 'happy', 'c', 'ca', 'cat', '猫', '苹', '苹果', 'red a', 'red ap'];
  t = performance.now();
  for (let round = 0; round < 20; round++) for (const q of typed) search(fresh, q);
  const perSearch = (performance.now() - t) / (20 * typed.length);
  assert.ok(perSearch < 20, `${perSearch.toFixed(2)} ms per search`);
});
