// The vocabulary estimators on the committed word data, driven by simulated
// learners whose true vocabulary is known.

import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';
import {
  QUICK_LENGTH, QUICK_NONWORDS, answerQuick, answerSlow, buildBank, distractorsFor, estimateQuick, estimateSlow,
  formatWords, levelVerdicts, makeRandom, newQuickState, newSlowState, nextQuickItem,
} from '../../site/www/js/vocab.js';

const data = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'site', 'www', 'data');
const read = (f) => JSON.parse(readFileSync(join(data, f), 'utf8'));
const bank = buildBank(read('words.json'), read('nonwords.json'));

// Runs a whole quick test; `respond(item)` says 认识 (true) or 不认识.
function runQuick(seed, respond, stopAfter = QUICK_LENGTH) {
  const state = newQuickState(seed);
  for (let it = nextQuickItem(bank, state); it && state.answers.length < stopAfter; it = nextQuickItem(bank, state)) {
    answerQuick(state, respond(it));
  }
  return state;
}

function runSlow(seed, respond) {
  const state = newSlowState(bank, seed);
  for (const item of state.items) answerSlow(state, respond(item));
  return state;
}

const knowsUpTo = (n) => (it) => it.real && it.rank <= n;

test('quick test: an honest learner who knows every word up to rank N gets N within 10 %', () => {
  for (const n of [800, 2000, 4000, 7000, 11000, 15000]) {
    for (const seed of [1, 2]) {
      const state = runQuick(seed, knowsUpTo(n));
      assert.equal(state.answers.length, QUICK_LENGTH);
      assert.ok(state.done);
      const e = estimateQuick(bank, state.answers);
      assert.ok(Math.abs(e.words - n) <= 0.1 * n, `N=${n} seed ${seed}: estimated ${e.words}`);
      assert.ok(e.low <= e.words && e.words <= e.high, `N=${n}: ${e.low}–${e.high}`);
      assert.ok(!e.unreliable, `N=${n}: honest answers flagged`);
    }
  }
});

test('quick test: about a quarter made-up words, spread out, never repeated', () => {
  const state = runQuick(3, knowsUpTo(3000));
  const made = state.answers.filter((a) => !a.real);
  assert.equal(made.length, QUICK_NONWORDS);
  assert.ok(made.length / QUICK_LENGTH >= 0.2 && made.length / QUICK_LENGTH <= 0.3);
  assert.ok(made.every((a) => bank.nonwords.includes(a.word) && !bank.byWord.has(a.word)));
  assert.equal(new Set(state.answers.map((a) => a.word)).size, QUICK_LENGTH, 'an item came twice');
  assert.ok(!state.answers[0].real === false && !state.answers[1].real === false, 'starts with real words');
  // Real words are trusted items only.
  assert.ok(state.answers.filter((a) => a.real).every((a) => bank.byWord.get(a.word).sure));
});

test('quick test: the next real word comes from the band the estimate is least sure of', () => {
  // After the opening, a learner who knows 3 000 words is asked mostly
  // around rank 3 000, not about the first few hundred words.
  const state = runQuick(4, knowsUpTo(3000));
  const later = state.answers.slice(20).filter((a) => a.real);
  const around = later.filter((a) => a.rank > 1000 && a.rank <= 8000).length;
  assert.ok(around >= later.length * 0.7, `${around} of ${later.length} near the edge`);
});

test('quick test: yes to everything is flagged and worth nothing; no to everything is near zero', () => {
  const cases = [
    // respond, flagged
    [() => true, true],
    [() => false, false],
  ];
  for (const [respond, flagged] of cases) {
    const e = estimateQuick(bank, runQuick(5, respond).answers);
    assert.equal(e.unreliable, flagged);
    assert.ok(e.words < 0.02 * bank.total, `estimated ${e.words}`);
  }
  // Someone who knows 5 000 words but also claims most made-up words is flagged.
  const liar = estimateQuick(bank, runQuick(6, (it) => !it.real || it.rank <= 5000).answers);
  assert.ok(liar.unreliable);
  assert.ok(liar.words < 2500, `guessing not corrected: ${liar.words}`);
});

test('quick test: the interval shrinks as answers come in', () => {
  const state = runQuick(7, knowsUpTo(5000));
  const widths = [10, 25, 50].map((k) => {
    const e = estimateQuick(bank, state.answers.slice(0, k));
    return e.high - e.low;
  });
  assert.ok(widths[0] > widths[1] && widths[1] > widths[2], widths.join(' > '));
});

test('detailed test: about 100 items over all bands, four choices and never a right answer among the wrong ones', () => {
  const state = newSlowState(bank, 11);
  assert.ok(state.items.length >= 95 && state.items.length <= 100, `${state.items.length} items`);
  const bandsAsked = new Set(state.items.map((it) => bank.bands.findIndex((b) => it.rank >= b.lo && it.rank <= b.hi)));
  assert.equal(bandsAsked.size, bank.bands.length, 'every band is asked');
  for (const it of state.items) {
    const item = bank.byWord.get(it.word);
    assert.ok(item.sure, it.word);
    assert.equal(it.choices.length, 4);
    assert.equal(new Set(it.choices).size, 4, `${it.word}: ${it.choices}`);
    assert.ok(it.choices.includes(item.meanings[0]));
  }
});

test('distractors are never a meaning of the item', () => {
  // Words whose neighbours in frequency share meanings: each wrong choice is
  // checked against every meaning and every linked item.
  const random = makeRandom(12);
  const words = ['happy', 'glad', 'big', 'large', 'huge', 'begin', 'start', 'quick', 'fast', 'car', 'automobile',
    'house', 'home', 'sick', 'ill', 'angry', 'mad', 'little', 'small', 'buy', 'purchase', 'afraid', 'scared'];
  for (const w of words) {
    const item = bank.byWord.get(w);
    if (!item || !item.sure) continue;
    for (let round = 0; round < 20; round++) {
      for (const zh of distractorsFor(bank, item, random)) {
        assert.ok(!item.meanings.includes(zh), `${w}: ${zh} is one of its meanings`);
        for (const other of bank.byWord.values()) {
          if (other.meanings[0] === zh && other.sure) {
            assert.ok(!item.near.includes(other.word), `${w}: ${zh} (${other.word}) is linked to it`);
          }
        }
        assert.ok(!item.meanings.some((m) => m.includes(zh) || zh.includes(m)), `${w}: ${zh} overlaps`);
      }
    }
  }
  // happy and glad translate each other, so neither offers the other's meaning.
  const happy = bank.byWord.get('happy');
  const glad = bank.byWord.get('glad');
  if (happy?.sure && glad?.sure) assert.ok(happy.near.includes('glad'));
});

test('detailed test: honest learners, guessers and the guessing correction', () => {
  const guess = (seed) => {
    const random = makeRandom(seed);
    return (it) => it.choices[Math.floor(random() * 4)];
  };
  const cases = [
    // name, respond, expected vocabulary, tolerance
    ['knows 1 500, says 不知道 otherwise', (it) => (it.rank <= 1500 ? it.answer : null), 1500, 0.15],
    ['knows 4 000, says 不知道 otherwise', (it) => (it.rank <= 4000 ? it.answer : null), 4000, 0.1],
    ['knows 9 000, says 不知道 otherwise', (it) => (it.rank <= 9000 ? it.answer : null), 9000, 0.1],
    ['knows 4 000, guesses otherwise', ((g) => (it) => (it.rank <= 4000 ? it.answer : g(it)))(guess(13)), 4000, 0.2],
  ];
  for (const [name, respond, n, tol] of cases) {
    const e = estimateSlow(bank, runSlow(21, respond).answers);
    assert.ok(Math.abs(e.words - n) <= tol * n, `${name}: estimated ${e.words}`);
    assert.ok(e.low <= e.words && e.words <= e.high);
  }
  const dontKnow = estimateSlow(bank, runSlow(22, () => null).answers);
  assert.ok(dontKnow.words < 0.02 * bank.total, `all 不知道: ${dontKnow.words}`);
  const random = estimateSlow(bank, runSlow(23, guess(24)).answers);
  assert.ok(random.words < 0.05 * bank.total, `pure guessing: ${random.words}`);
  // The missed words are the study list, with what they mean.
  const partial = estimateSlow(bank, runSlow(25, (it) => (it.rank <= 3000 ? it.answer : null)).answers);
  assert.ok(partial.missed.length > 0);
  assert.ok(partial.missed.every((m) => m.rank > 3000 && m.meanings.length && typeof m.ipa === 'string'));
});

test('detailed test: the interval shrinks as answers come in', () => {
  const state = runSlow(26, (it) => (it.rank <= 5000 ? it.answer : null));
  // Answers in the order asked, so the first ones cover the common bands.
  const widths = [20, 50, 100].map((k) => {
    const e = estimateSlow(bank, state.answers.slice(0, k));
    return e.high - e.low;
  });
  assert.ok(widths[0] > widths[2] && widths[1] > widths[2], widths.join(', '));
});

test('wording: rounded estimates and levels', () => {
  const cases = [[4213, '4\u2009200'], [987, '1\u2009000'], [12340, '12\u2009500'], [430, '450'], [0, '0']];
  for (const [n, text] of cases) assert.equal(formatWords(n), text, String(n));
  const levels = levelVerdicts(4700);
  assert.deepEqual(levels.filter((l) => l.reached).map((l) => l.name), ['中考', '高考', '四级']);
  assert.ok(levels.find((l) => l.name === '考研').close);
});
