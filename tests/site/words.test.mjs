// The committed word data as a learner meets it: lemmas, meanings, IPA,
// made-up words, and the reviewed sample behind the quality figure in DATA.md.

import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { arpabetToIpa, makeNonwords, readCorrections, seededRandom, trigramModel } from '../../site/tools/lexicon.mjs';

const site = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'site');
const read = (rel) => readFileSync(join(site, rel), 'utf8');
const words = JSON.parse(read('www/data/words.json'));
const col = Object.fromEntries(words.columns.map((c, i) => [c, i]));
const byWord = new Map(words.rows.map((r, i) => [r[col.word], { row: r, rank: i + 1 }]));
const meaningsOf = (w) => byWord.get(w)?.row[col.meanings];
const corrections = readCorrections(read('tools/meaning-corrections.tsv'));
const corrected = new Set([...corrections.meaning.keys(), ...corrections.doubtful, ...corrections.separate, ...corrections.form.keys()]);

test('items are lemmas: forms are counted under their base form', () => {
  const cases = [
    // form, lemma
    ['dogs', 'dog'], ['went', 'go'], ['children', 'child'], ['years', 'year'], ['teeth', 'tooth'],
    ['is', 'be'], ['was', 'be'], ['running', 'run'], ['cats', 'cat'], ['studied', 'study'],
    ['women', 'woman'], ['things', 'thing'], ['feet', 'foot'], ['knew', 'know'], ['bigger', 'big'],
  ];
  for (const [form, lemma] of cases) {
    assert.ok(!byWord.has(form), `${form} should be counted under ${lemma}`);
    assert.ok(byWord.has(lemma), `${lemma} missing`);
  }
  // Words that only look like forms stay items of their own.
  for (const w of ['morning', 'evening', 'clothes', 'news', 'building', 'tired', 'wedding']) assert.ok(byWord.has(w), w);
  // The forms' counts are added: SUBTLEX counts "run" 17 878 times alone.
  assert.ok(byWord.get('run').row[col.count] >= 17878 + 8054 + 4296 + 1637, 'run, running, ran, runs');
  assert.ok(byWord.get('be').rank <= 5);
});

test('first meanings of tricky common words come from the ranking, not from corrections', () => {
  const cases = [
    ['we', '我们'], ['what', '什么'], ['man', '男人'], ['cat', '猫'], ['water', '水'], ['computer', '电脑'], ['dinner', '晚饭'],
    ['apple', '苹果'], ['friend', '朋友'], ['school', '学校'], ['dog', '狗'], ['happy', '高兴'], ['book', '书'],
    ['eat', '吃'], ['family', '家庭'], ['student', '学生'], ['question', '问题'],
    ['evening', '晚上'], ['tooth', '牙齿'], ['go', '去'], ['child', '孩子'], ['mouse', '老鼠'],
  ];
  for (const [w, zh] of cases) {
    assert.ok(!corrections.meaning.has(w), `${w} is corrected by hand; the table is for the ranking`);
    assert.equal(meaningsOf(w)?.[0], zh, w);
  }
  // And the literary single characters and odd readings of the old data are gone.
  const corrected = [['time', '时间'], ['teacher', '老师'], ['phone', '电话'], ['money', '钱'], ['give', '给']];
  for (const [w, zh] of corrected) assert.equal(meaningsOf(w)?.[0], zh, w);
});

test('every item has a sure flag, IPA in CMU form, and at most three meanings', () => {
  for (const r of words.rows) {
    assert.ok(r[col.meanings].length >= 1 && r[col.meanings].length <= 3, r[0]);
    assert.equal(new Set(r[col.meanings]).size, r[col.meanings].length, `${r[0]} repeats a meaning`);
  }
  const ipaOf = (w) => byWord.get(w).row[col.ipa];
  assert.equal(ipaOf('cat'), 'kæt');
  assert.equal(ipaOf('about'), 'əˈbaʊt');
  assert.equal(ipaOf('teacher'), 'ˈtitʃɚ');
  const sure = words.rows.filter((r) => r[col.sure] === 1).length;
  assert.ok(sure > 8000, `${sure} sure items`);
  for (const w of ['fuck', 'shit', 'don', 'the']) assert.notEqual(byWord.get(w)?.row[col.sure], 1, `${w} must not be dealt`);
});

test('ARPAbet to IPA marks stress before the stressed syllable', () => {
  const cases = [
    ['K AE1 T', 'kæt'],
    ['AH0 B AW1 T', 'əˈbaʊt'],
    ['P R AA1 B L AH0 M', 'ˈprɑbləm'],
    ['AH0 N D ER0 S T AE1 N D', 'əndɚˈstænd'],
    ['IH0 K S P L EY1 N', 'ɪkˈspleɪn'],
    ['B ER1 D', 'bɝd'],
    ['S IH1 NG ER0', 'ˈsɪŋɚ'],
  ];
  for (const [arpabet, ipa] of cases) assert.equal(arpabetToIpa(arpabet), ipa, arpabet);
});

test('made-up words are no real words and the generator keeps them out', () => {
  const nonwords = JSON.parse(read('www/data/nonwords.json')).rows.map((r) => r[0]);
  assert.ok(nonwords.length >= 300, `${nonwords.length}`);
  assert.equal(new Set(nonwords).size, nonwords.length);
  for (const w of nonwords) {
    assert.match(w, /^[a-z]{5,8}$/);
    assert.ok(!byWord.has(w), `${w} is an item`);
  }
  // The generator itself, on a small table: never a listed word, never a
  // form of one, never containing a listed bad word.
  const real = ['market', 'basket', 'pocket', 'ticket', 'rocket', 'bracket', 'packet', 'jacket', 'picket', 'socket',
    'locket', 'docket', 'wicket', 'cricket', 'thicket', 'sticker', 'pick', 'rock', 'sock', 'lock', 'stock', 'track'];
  const set = new Set(real);
  const made = makeNonwords({
    model: trigramModel(real, 1), isReal: (w) => set.has(w), offensive: ['ock'], count: 30, minLength: 4,
  });
  assert.ok(made.length > 0);
  for (const w of made) {
    assert.ok(!set.has(w), w);
    assert.ok(!w.includes('ock'), w);
    assert.ok(!set.has(w.replace(/s$/, '')), `${w} is a form of a real word`);
  }
  // The same seed gives the same words.
  const again = makeNonwords({
    model: trigramModel(real, 1), isReal: (w) => set.has(w), offensive: ['ock'], count: 30, minLength: 4,
  });
  assert.deepEqual(again, made);
  assert.notEqual(seededRandom(1)(), seededRandom(2)());
});

test('the reviewed sample is the one the rule picks and gives the figure DATA.md states', () => {
  const fnv = (s) => {
    let h = 0x811c9dc5;
    for (const c of s) { h ^= c.charCodeAt(0); h = Math.imul(h, 0x01000193) >>> 0; }
    return h;
  };
  const picked = words.rows.slice(0, 4500).map((r) => r[col.word]).filter((w) => fnv(w) % 20 === 1 && !corrected.has(w));
  const review = read('tools/meaning-review.tsv').split('\n').filter((l) => l && !l.startsWith('#')).map((l) => l.split('\t'));
  assert.ok(review.length >= 150, `${review.length} reviewed`);
  // Regenerated data with different first meanings needs a new review, not a stale figure.
  assert.deepEqual(review.map((r) => r[0]), picked, 'the sample changed: review it again');
  let right = 0;
  let sure = 0;
  let sureRight = 0;
  for (const [w, , first, , verdict] of review) {
    const { row } = byWord.get(w);
    assert.equal(row[col.meanings][0], first, `${w}: first meaning changed since the review`);
    assert.ok(verdict === '0' || verdict === '1', w);
    right += Number(verdict);
    if (row[col.sure] === 1) { sure++; sureRight += Number(verdict); }
  }
  const pct = (a, b) => (Math.round((1000 * a) / b) / 10).toFixed(1);
  const data = read('DATA.md');
  const m = /first\s+meaning\s+is\s+right\s+for\s+\*\*(\d+)\s+of\s+(\d+)\*\*\s+\(([\d.]+) %\).*?of\s+the\s+(\d+)\s+marked\s+sure,\s+(\d+)\s+\(([\d.]+) %\)/is.exec(data);
  assert.ok(m, 'DATA.md states the measured quality');
  assert.deepEqual(m.slice(1).map(String), [right, review.length, pct(right, review.length), sure, sureRight, pct(sureRight, sure)].map(String));
});

test('the sample of dealt items is the one the rule picks and gives the figure DATA.md states', () => {
  const fnv = (s) => {
    let h = 0x811c9dc5;
    for (const c of s) { h ^= c.charCodeAt(0); h = Math.imul(h, 0x01000193) >>> 0; }
    return h;
  };
  const picked = words.rows.slice(0, 3000).filter((r) => r[col.sure] === 1 && fnv(r[col.word]) % 20 === 2).map((r) => r[col.word]);
  const review = read('tools/meaning-review-dealt.tsv').split('\n').filter((l) => l && !l.startsWith('#')).map((l) => l.split('\t'));
  assert.ok(review.length >= 100, `${review.length} reviewed`);
  assert.deepEqual(review.map((r) => r[0]), picked, 'the sample changed: review it again');
  let right = 0;
  for (const [w, , first, , verdict] of review) {
    assert.equal(meaningsOf(w)[0], first, `${w}: first meaning changed since the review`);
    right += Number(verdict);
  }
  const m = /first\s+meaning\s+is\s+right\s+for\s+\*\*(\d+)\s+of\s+(\d+)\s+dealt\*\*\s+\(([\d.]+) %\)/.exec(read('DATA.md'));
  assert.ok(m, 'DATA.md states the quality of what the tests deal');
  assert.deepEqual(m.slice(1), [String(right), String(review.length), ((1000 * right) / review.length / 10).toFixed(1)]);
});
