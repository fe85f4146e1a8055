// Vocabulary-size estimation for the two tests (快速测试, 详细测试). Plain
// functions over the word data, so the pages and node's test runner share
// exactly this code.
//
// Vocabulary size means: how many of the lemmas of words.json, counted from
// the most frequent, the learner knows. The list is split into frequency
// bands; a test asks about trusted items ("sure") of each band and scales
// the share known in a band up to the band's size.
//
// Quick test (yes/no). A Rasch-style model: the chance that the learner knows
// the word of frequency rank r is 1 / (1 + (r / T)^s): T is the rank where
// knowing drops to one half, s how sharply. The posterior over a grid of
// (log T, s) is kept after every answer. The next real word comes from the
// band whose known share is least certain under that posterior. "认识" on a
// made-up word shows how often the learner says yes without knowing: the
// false-alarm rate f is taken off the known share of every band (h − f), so
// a learner who says yes to everything gets an estimate near zero, and a
// warning.
//
// Detailed test (multiple choice). The same model, fitted to right, wrong and
// "不知道" answers: a learner who does not know a word either says so or
// guesses among the four choices, so a right answer is partly luck (the
// guessing correction) and "不知道" counts as not known, never as a penalty.

export const QUICK_LENGTH = 50;
export const QUICK_NONWORDS = 12;
export const SLOW_LENGTH = 100;

// Upper edges (ranks) of the bands. Fine steps where learners differ most.
const BAND_EDGES = [500, 1000, 2000, 3000, 4000, 5000, 6500, 8000, 10000, 12500, 15000];

// Approximate vocabulary the usual Chinese levels ask for, as commonly
// published; our counts are lemmas of everyday English, so the match is
// only rough, and the pages say so.
export const LEVELS = [
  { name: '中考', words: 1600 },
  { name: '高考', words: 3500 },
  { name: '四级', words: 4500 },
  { name: '六级', words: 6000 },
  { name: '考研', words: 5500 },
  { name: '托福', words: 8000 },
];

// ---------------------------------------------------------------- data

// The item bank: every row of words.json with its rank, the trusted ones
// grouped into bands, and the made-up words.
export function buildBank(wordsData, nonwordsData) {
  const col = Object.fromEntries(wordsData.columns.map((c, i) => [c, i]));
  const total = wordsData.rows.length;
  const edges = BAND_EDGES.filter((e) => e < total).concat(total);
  const bands = edges.map((hi, i) => ({ index: i, lo: i ? edges[i - 1] + 1 : 1, hi, size: hi - (i ? edges[i - 1] : 0), items: [] }));
  const byWord = new Map();
  wordsData.rows.forEach((row, i) => {
    const item = {
      word: row[col.word],
      rank: i + 1,
      meanings: row[col.meanings],
      ipa: col.ipa === undefined ? '' : row[col.ipa],
      sure: col.sure === undefined ? false : row[col.sure] === 1,
      near: col.near === undefined ? [] : row[col.near],
    };
    byWord.set(item.word, item);
    if (item.sure) bands[bandOfRank(edges, item.rank)].items.push(item);
  });
  const nonwords = nonwordsData ? nonwordsData.rows.map((r) => r[0]) : [];
  return { total, bands, edges, byWord, nonwords };
}

function bandOfRank(edges, rank) {
  let i = 0;
  while (i < edges.length - 1 && rank > edges[i]) i++;
  return i;
}

export function bandOf(bank, rank) {
  return bank.bands[bandOfRank(bank.edges, rank)];
}

// A small seeded generator, so a test in progress deals the same items
// again after a reload, and node tests are repeatable.
export function makeRandom(seed) {
  let s = seed >>> 0;
  return () => {
    s = (s + 0x6d2b79f5) >>> 0;
    let t = s;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

const pick = (list, random) => list[Math.floor(random() * list.length)];

// ---------------------------------------------------------------- quick test

const LOG_T = [];
for (let x = 0; x <= Math.log(60000); x += 0.04) LOG_T.push(x);
const SLOPES = [1, 1.5, 2, 3, 4.5, 7, 10];

function knowProb(rank, logT, s) {
  return 1 / (1 + Math.exp(s * (Math.log(rank) - logT)));
}

// Posterior weights over the grid of (log T, s[, extra]), for answers whose
// likelihood given the chance q of knowing the word is lik(q, answer, extra).
// The prior is flat in log T and mildly favours middle slopes.
function gridPosterior(answers, lik, extras = [null]) {
  const grid = [];
  let max = -Infinity;
  for (const logT of LOG_T) {
    for (const s of SLOPES) {
      const prior = -0.5 * ((Math.log(s) - Math.log(3)) / 0.8) ** 2;
      for (const x of extras) {
        let ll = prior;
        for (const a of answers) ll += Math.log(lik(knowProb(a.rank, logT, s), a, x));
        grid.push({ logT, s, x, ll });
        if (ll > max) max = ll;
      }
    }
  }
  let sum = 0;
  for (const g of grid) { g.w = Math.exp(g.ll - max); sum += g.w; }
  for (const g of grid) g.w /= sum;
  return grid;
}

// Yes/no: never quite certain, since anyone can misclick.
const yesNoLikelihood = (q, a) => {
  const p = 0.02 + 0.96 * q;
  return a.yes ? p : 1 - p;
};

function posterior(answers) {
  return gridPosterior(answers.filter((a) => a.real), yesNoLikelihood);
}

export function falseAlarmRate(answers) {
  const non = answers.filter((a) => !a.real);
  if (!non.length) return 0;
  return non.filter((a) => a.yes).length / non.length;
}

// Known share of each band for one grid point, before and after taking off
// the false-alarm rate; the band share is the mean over its ranks, taken at
// a few points of the band.
function bandShares(bank, g) {
  return bank.bands.map((b) => {
    let sum = 0;
    const steps = 8;
    for (let k = 0; k < steps; k++) {
      const r = Math.exp(Math.log(b.lo) + ((k + 0.5) / steps) * (Math.log(b.hi) - Math.log(b.lo)));
      sum += knowProb(r, g.logT, g.s);
    }
    return sum / steps;
  });
}

function weightedQuantile(pairs, q) {
  const sorted = pairs.slice().sort((a, b) => a.v - b.v);
  let acc = 0;
  for (const p of sorted) {
    acc += p.w;
    if (acc >= q) return p.v;
  }
  return sorted.length ? sorted[sorted.length - 1].v : 0;
}

// Estimate from yes/no answers: { words, low, high, bands: [{lo, hi, share,
// asked, yes}], falseAlarm, unreliable }. `low`–`high` is a 90 % interval.
export function estimateQuick(bank, answers) {
  const grid = posterior(answers);
  const f = falseAlarmRate(answers);
  const pairs = [];
  const meanShares = bank.bands.map(() => 0);
  for (const g of grid) {
    if (g.w < 1e-6) continue;
    const shares = bandShares(bank, g).map((h) => Math.max(0, h - f));
    let v = 0;
    shares.forEach((h, i) => { v += h * bank.bands[i].size; meanShares[i] += h * g.w; });
    pairs.push({ v, w: g.w });
  }
  const words = weightedQuantile(pairs, 0.5);
  const bands = bank.bands.map((b, i) => {
    const asked = answers.filter((a) => a.real && a.rank >= b.lo && a.rank <= b.hi);
    return { lo: b.lo, hi: b.hi, share: meanShares[i], asked: asked.length, yes: asked.filter((a) => a.yes).length };
  });
  const nonAsked = answers.filter((a) => !a.real).length;
  return {
    words: Math.round(words),
    low: Math.round(weightedQuantile(pairs, 0.05)),
    high: Math.round(weightedQuantile(pairs, 0.95)),
    bands,
    falseAlarm: f,
    nonwordsAsked: nonAsked,
    nonwordsClaimed: answers.filter((a) => !a.real && a.yes).length,
    // Two or more yes on a dozen made-up words is more than a slip.
    unreliable: nonAsked > 0 && f >= 0.2,
  };
}

// How uncertain each band's known share still is: the posterior variance of
// the share, times the band's size, so the next question goes where it
// moves the estimate most.
function bandUncertainty(bank, grid) {
  const n = bank.bands.length;
  const mean = new Array(n).fill(0);
  const sq = new Array(n).fill(0);
  for (const g of grid) {
    if (g.w < 1e-5) continue;
    bandShares(bank, g).forEach((h, i) => { mean[i] += g.w * h; sq[i] += g.w * h * h; });
  }
  return bank.bands.map((b, i) => (sq[i] - mean[i] * mean[i]) * b.size);
}

// Positions (0-based) of the made-up words among QUICK_LENGTH items: one in
// each stretch of four, never in the first two, so they are spread out.
export function nonwordSlots(random, length = QUICK_LENGTH, count = QUICK_NONWORDS) {
  const slots = [];
  const stretch = Math.floor((length - 2) / count);
  for (let i = 0; i < count; i++) slots.push(2 + i * stretch + Math.floor(random() * stretch));
  return slots;
}

// A quick test in progress: plain data, so a page can keep it in storage.
export function newQuickState(seed) {
  const random = makeRandom(seed);
  return { kind: 'quick', seed, slots: nonwordSlots(random), answers: [], current: null, done: false };
}

// The first real words visit the bands from common to rare, every other
// band, so the model sees the whole range before it chooses for itself.
const OPENING = [1, 3, 5, 7, 9];

// The next item for `state` (also stored in state.current until answered).
export function nextQuickItem(bank, state) {
  if (state.current) return state.current;
  const n = state.answers.length;
  if (n >= QUICK_LENGTH) return null;
  const random = makeRandom(state.seed * 7919 + n * 104729 + 1);
  const used = new Set(state.answers.map((a) => a.word));
  let item;
  if (state.slots.includes(n) && bank.nonwords.length) {
    const left = bank.nonwords.filter((w) => !used.has(w));
    item = { word: pick(left, random), real: false, rank: 0 };
  } else {
    const realSoFar = state.answers.filter((a) => a.real).length;
    let band;
    if (realSoFar < OPENING.length) {
      band = bank.bands[Math.min(OPENING[realSoFar], bank.bands.length - 1)];
    } else {
      const u = bandUncertainty(bank, posterior(state.answers));
      // Bands already asked often lose a little, so one band cannot take every question.
      const asked = bank.bands.map((b) => state.answers.filter((a) => a.real && a.rank >= b.lo && a.rank <= b.hi).length);
      let best = 0;
      let bestScore = -Infinity;
      u.forEach((v, i) => {
        const score = v / (1 + 0.15 * asked[i]) + random() * 1e-9;
        if (bank.bands[i].items.length && score > bestScore) { best = i; bestScore = score; }
      });
      band = bank.bands[best];
    }
    const left = band.items.filter((it) => !used.has(it.word));
    const it = pick(left.length ? left : band.items, random);
    item = { word: it.word, real: true, rank: it.rank };
  }
  state.current = item;
  return item;
}

export function answerQuick(state, yes) {
  if (!state.current) throw new Error('no item to answer');
  state.answers.push({ ...state.current, yes: Boolean(yes) });
  state.current = null;
  state.done = state.answers.length >= QUICK_LENGTH;
}

// ---------------------------------------------------------------- detailed test

// Wrong choices for an item: first meanings of other trusted items close in
// frequency that are no possible meaning of the item itself. A candidate is
// refused when it is one of the item's meanings, when CC-CEDICT links the two
// (the item's `near` list, made when the data was built), when the two
// share a meaning, or when one Chinese word contains the other (快乐 and
// 快乐的 would both be right).
export function distractorsFor(bank, item, random, count = 3) {
  const near = new Set(item.near);
  const own = item.meanings;
  const ok = (other) => {
    if (other.word === item.word || near.has(other.word)) return false;
    const zh = other.meanings[0];
    if (other.meanings.some((m) => own.includes(m))) return false;
    return !own.some((m) => m.includes(zh) || zh.includes(m));
  };
  const band = bandOf(bank, item.rank);
  const pool = [];
  // Similar frequency first: the same band, widening to neighbours if needed.
  for (let radius = 0; radius < bank.bands.length && pool.length < count * 4; radius++) {
    for (const j of [band.index - radius, band.index + radius]) {
      if (j < 0 || j >= bank.bands.length || (radius && j === band.index)) continue;
      if (radius && j === band.index - radius && j === band.index + radius) continue;
      for (const other of bank.bands[j].items) if (ok(other)) pool.push(other);
    }
  }
  const chosen = [];
  const seen = new Set();
  for (let tries = 0; chosen.length < count && tries < 400 && pool.length; tries++) {
    const other = pick(pool, random);
    const zh = other.meanings[0];
    if (seen.has(zh) || chosen.some((c) => c.includes(zh) || zh.includes(c))) continue;
    seen.add(zh);
    chosen.push(zh);
  }
  return chosen;
}

function shuffle(list, random) {
  const a = list.slice();
  for (let i = a.length - 1; i > 0; i--) {
    const j = Math.floor(random() * (i + 1));
    [a[i], a[j]] = [a[j], a[i]];
  }
  return a;
}

// Deals the whole detailed test at once: items spread over the bands in
// proportion to the square root of their size (rare bands are big but tell
// less each), common to rare, each with its four choices in random order.
export function newSlowState(bank, seed, length = SLOW_LENGTH) {
  const random = makeRandom(seed);
  const usable = bank.bands.filter((b) => b.items.length >= 4);
  const weights = usable.map((b) => Math.sqrt(b.size));
  const total = weights.reduce((a, b) => a + b, 0);
  const counts = weights.map((w) => Math.max(4, Math.round((w / total) * length)));
  while (counts.reduce((a, b) => a + b, 0) > length) counts[counts.indexOf(Math.max(...counts))]--;
  while (counts.reduce((a, b) => a + b, 0) < length) counts[counts.indexOf(Math.min(...counts))]++;
  const items = [];
  usable.forEach((b, i) => {
    for (const it of shuffle(b.items, random).slice(0, counts[i])) {
      const wrong = distractorsFor(bank, it, random);
      if (wrong.length < 3) continue;
      items.push({ word: it.word, rank: it.rank, answer: it.meanings[0], choices: shuffle([it.meanings[0], ...wrong], random) });
    }
  });
  return { kind: 'slow', seed, items, answers: [], done: items.length === 0 };
}

// `choice` is the chosen meaning, or null for "不知道".
export function answerSlow(state, choice) {
  const item = state.items[state.answers.length];
  if (!item) throw new Error('no item to answer');
  state.answers.push({ word: item.word, rank: item.rank, choice, right: choice === item.answer });
  state.done = state.answers.length >= state.items.length;
}

// Multiple choice: a learner who knows the word picks its meaning (bar a
// slip); one who does not says "不知道" with chance u, else guesses one of
// the four choices. u is the learner's own habit, fitted with the rest.
const DONT_KNOW_HABITS = [0, 0.1, 0.3, 0.6, 0.9];
const choiceLikelihood = (q, a, u) => {
  const known = 0.97 * q;
  if (a.right) return known + (1 - known) * (1 - u) / 4;
  if (a.choice === null) return (1 - known) * u + 0.005;
  return (1 - known) * (1 - u) * 3 / 4 + 0.005;
};

// Estimate from multiple-choice answers: { words, low, high, bands, missed }.
// Each band reports what was asked and answered, and the known share the
// fitted model gives it (guessing corrected).
export function estimateSlow(bank, answers) {
  const grid = gridPosterior(answers, choiceLikelihood, DONT_KNOW_HABITS);
  const pairs = [];
  const meanShares = bank.bands.map(() => 0);
  for (const g of grid) {
    if (g.w < 1e-6) continue;
    let v = 0;
    bandShares(bank, g).forEach((h, i) => { v += h * bank.bands[i].size; meanShares[i] += h * g.w; });
    pairs.push({ v, w: g.w });
  }
  const bands = bank.bands.map((b, i) => {
    const asked = answers.filter((a) => a.rank >= b.lo && a.rank <= b.hi);
    const right = asked.filter((a) => a.right).length;
    const wrong = asked.filter((a) => !a.right && a.choice !== null).length;
    return { lo: b.lo, hi: b.hi, share: meanShares[i], asked: asked.length, right, wrong, unknown: asked.length - right - wrong };
  });
  const missed = answers.filter((a) => !a.right).map((a) => bank.byWord.get(a.word)).filter(Boolean);
  return {
    words: Math.round(weightedQuantile(pairs, 0.5)),
    low: Math.round(weightedQuantile(pairs, 0.05)),
    high: Math.round(weightedQuantile(pairs, 0.95)),
    bands,
    missed,
  };
}

// ---------------------------------------------------------------- wording

// 4213 → "4 200": estimates are not precise to the word; a thin space
// groups the thousands as Chinese texts on numbers often do.
export function roundWords(n) {
  const step = n >= 10000 ? 500 : n >= 1000 ? 100 : 50;
  return Math.round(n / step) * step;
}

export function formatWords(n) {
  return String(roundWords(n)).replace(/\B(?=(\d{3})+(?!\d))/g, '\u2009');
}

// What the estimate means against the usual levels.
export function levelVerdicts(words) {
  return LEVELS.slice().sort((a, b) => a.words - b.words).map((l) => ({
    ...l,
    reached: words >= l.words,
    close: words < l.words && words >= l.words * 0.85,
  }));
}
