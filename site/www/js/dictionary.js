// Search for the picture dictionary (图文字典). Plain functions over plain data
// so the page and node's test runner use exactly the same code.
//
// Ranking. Every entry has an English name ("red apple"), English keywords,
// a Chinese name ("红苹果") and Chinese keywords. A query is split into
// tokens; a token is English or Chinese depending on whether it holds Han
// characters, and is matched against the words of that language only
// (English names and keywords are split into words; a Chinese name is split
// at its punctuation, "旗: 中国" → 旗, 中国; Chinese keywords stay whole).
// Each token is given the best of these kinds of match, better first:
//
//   1 NAME_WORD       the token is a whole word of the name        apple → red apple
//   2 KEYWORD_WORD    … a whole word of a keyword                  kitty → cat face
//   3 NAME_PREFIX     … the start of a word of the name            app   → red apple
//   4 KEYWORD_PREFIX  … the start of a word of a keyword
//   5 NAME_INFIX      … inside a Chinese word of the name          果   → 红苹果
//   6 KEYWORD_INFIX   … inside a Chinese keyword
//
// English is matched by whole words and word starts only: a letter string
// inside a word is usually another word ("apple" in "grapple", "car" in
// "scarf"). Chinese words are not separated by spaces, so there a query
// inside a name or keyword is a match of its own kind. An entry must
// match every token and ranks by its worst token; an entry whose whole name
// equals the query ranks above everything (0 EXACT). English tokens with no
// match at all are retried in their singular form (cats → cat).
// Within a kind of match, entries whose matched English words are more
// frequent in everyday English (SUBTLEX-US rank) come first, then entries
// with shorter names, then the emoji's own order, which keeps related
// pictures together.

export const Match = Object.freeze({
  EXACT: 0,
  NAME_WORD: 1,
  KEYWORD_WORD: 2,
  NAME_PREFIX: 3,
  KEYWORD_PREFIX: 4,
  NAME_INFIX: 5,
  KEYWORD_INFIX: 6,
});

const HAN = /[\u3400-\u4dbf\u4e00-\u9fff\uf900-\ufaff]/u;
const EN_WORD_SPLIT = /[^\p{L}\p{N}']+/u;
const ZH_PART_SPLIT = /[\s:：,，、;；·()（）]+/u;
const NO_RANK = Number.MAX_SAFE_INTEGER;

export function normalize(text) {
  return String(text ?? '')
    .normalize('NFKC')
    .toLowerCase()
    .replace(/[’‘`]/g, "'")
    .replace(/\s+/g, ' ')
    .trim();
}

export function isChinese(text) {
  return HAN.test(text);
}

function tokenize(normalized) {
  if (!normalized) return [];
  const tokens = [];
  for (const piece of normalized.split(' ')) {
    if (isChinese(piece)) {
      for (const part of piece.split(ZH_PART_SPLIT)) if (part) tokens.push(part);
    } else {
      for (const w of piece.split(EN_WORD_SPLIT)) if (w) tokens.push(w);
    }
  }
  return tokens;
}

// Postings: word → list of [entryId, inName]. Words are also kept sorted so
// a prefix is a binary-searched range instead of a scan.
class WordTable {
  constructor() {
    this.postings = new Map();
    this.sorted = [];
  }

  add(word, id, inName) {
    let list = this.postings.get(word);
    if (!list) this.postings.set(word, (list = []));
    list.push([id, inName]);
  }

  finish() {
    this.sorted = [...this.postings.keys()].sort();
  }

  lowerBound(s) {
    let lo = 0;
    let hi = this.sorted.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (this.sorted[mid] < s) lo = mid + 1;
      else hi = mid;
    }
    return lo;
  }

  *withPrefix(prefix) {
    for (let i = this.lowerBound(prefix); i < this.sorted.length; i++) {
      const w = this.sorted[i];
      if (!w.startsWith(prefix)) break;
      yield w;
    }
  }
}

export function buildIndex(data) {
  const groups = data.groups.map((g, i) => ({ index: i, id: g.id, en: g.en, zh: g.zh, count: 0 }));
  const ranks = new Map(Object.entries(data.ranks || {}));
  const en = new WordTable();
  const zh = new WordTable();
  const entries = data.entries.map((e, id) => {
    const name = normalize(e.en);
    const nameWords = name.split(EN_WORD_SPLIT).filter(Boolean);
    const zhName = normalize(e.zh);
    for (const w of new Set(nameWords)) en.add(w, id, true);
    const kwWords = new Set();
    for (const k of e.ke) for (const w of normalize(k).split(EN_WORD_SPLIT)) if (w && !nameWords.includes(w)) kwWords.add(w);
    for (const w of kwWords) en.add(w, id, false);
    const zhParts = new Set(zhName.split(ZH_PART_SPLIT).filter(Boolean));
    for (const p of zhParts) zh.add(p, id, true);
    for (const k of new Set(e.kz.map(normalize))) if (k && !zhParts.has(k)) zh.add(k, id, false);
    if (groups[e.g]) groups[e.g].count++;
    return {
      id,
      emoji: e.c,
      group: e.g,
      en: e.en,
      zh: e.zh,
      keywordsEn: e.ke,
      keywordsZh: e.kz,
      name,
      zhName,
      nameLength: nameWords.length,
    };
  });
  en.finish();
  zh.finish();
  return { entries, groups, ranks, en, zh };
}

function rankOf(index, word) {
  return index.ranks.get(word) ?? NO_RANK;
}

// Best match of one token for every entry it matches: Map id → {kind, rank}.
function matchToken(index, token) {
  const chinese = isChinese(token);
  const table = chinese ? index.zh : index.en;
  const best = new Map();
  const offer = (word, kindInName, kindInKeyword) => {
    const rank = chinese ? NO_RANK : rankOf(index, word);
    for (const [id, inName] of table.postings.get(word)) {
      const kind = inName ? kindInName : kindInKeyword;
      const cur = best.get(id);
      if (!cur || kind < cur.kind || (kind === cur.kind && rank < cur.rank)) best.set(id, { kind, rank });
    }
  };
  if (table.postings.has(token)) offer(token, Match.NAME_WORD, Match.KEYWORD_WORD);
  for (const w of table.withPrefix(token)) {
    if (w !== token) offer(w, Match.NAME_PREFIX, Match.KEYWORD_PREFIX);
  }
  if (chinese) {
    for (const w of table.sorted) {
      if (!w.startsWith(token) && w.includes(token)) offer(w, Match.NAME_INFIX, Match.KEYWORD_INFIX);
    }
  }
  return best;
}

function singular(word) {
  if (word.length > 4 && word.endsWith('ies')) return word.slice(0, -3) + 'y';
  if (word.length > 3 && /(ches|shes|sses|xes|oes)$/.test(word)) return word.slice(0, -2);
  if (word.length > 2 && word.endsWith('s') && !word.endsWith('ss')) return word.slice(0, -1);
  return null;
}

function matchTokenWithFallback(index, token) {
  const found = matchToken(index, token);
  if (found.size || isChinese(token)) return found;
  const one = singular(token);
  return one ? matchToken(index, one) : found;
}

// Returns { results: [{entry, match}], query } sorted best first. An empty
// query lists the entries (of `group`, if given) in their own order, with
// match null. `group` (a group index) limits any search to that group.
export function search(index, query, { group = null } = {}) {
  const q = normalize(query);
  const inGroup = (e) => group === null || group === undefined || e.group === group;
  if (!q) {
    return { query: q, results: index.entries.filter(inGroup).map((entry) => ({ entry, match: null })) };
  }
  const tokens = tokenize(q);
  if (!tokens.length) return { query: q, results: [] };

  let combined = null; // id → {kind, rank}: worst kind over tokens, best rank
  for (const token of tokens) {
    const m = matchTokenWithFallback(index, token);
    if (!combined) {
      combined = m;
      continue;
    }
    const next = new Map();
    for (const [id, a] of combined) {
      const b = m.get(id);
      if (b) next.set(id, { kind: Math.max(a.kind, b.kind), rank: Math.min(a.rank, b.rank) });
    }
    combined = next;
    if (!combined.size) break;
  }

  const results = [];
  for (const [id, m] of combined) {
    const entry = index.entries[id];
    if (!inGroup(entry)) continue;
    const exact = entry.name === q || entry.zhName === q;
    results.push({ entry, match: exact ? Match.EXACT : m.kind, rank: m.rank });
  }
  results.sort((a, b) => a.match - b.match
    || a.rank - b.rank
    || a.entry.nameLength - b.entry.nameLength
    || a.entry.zhName.length - b.entry.zhName.length
    || a.entry.id - b.entry.id);
  return { query: q, results: results.map(({ entry, match }) => ({ entry, match })) };
}

// Edit distance where swapping two neighbouring letters counts as one edit
// (optimal string alignment), since "dgo" for "dog" is one typo, not two.
function editDistance(a, b, limit) {
  if (Math.abs(a.length - b.length) > limit) return limit + 1;
  let before = null;
  let prev = Array.from({ length: b.length + 1 }, (_, j) => j);
  for (let i = 1; i <= a.length; i++) {
    const cur = [i];
    let rowMin = i;
    for (let j = 1; j <= b.length; j++) {
      const cost = a[i - 1] === b[j - 1] ? 0 : 1;
      let d = Math.min(prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + cost);
      if (before && i > 1 && j > 1 && a[i - 1] === b[j - 2] && a[i - 2] === b[j - 1]) d = Math.min(d, before[j - 2] + 1);
      cur[j] = d;
      rowMin = Math.min(rowMin, d);
    }
    if (rowMin > limit) return limit + 1;
    before = prev;
    prev = cur;
  }
  return prev[b.length];
}

function charFrequencies(index) {
  if (!index.zhCharFrequencies) {
    const df = new Map();
    for (const w of index.zh.sorted) for (const ch of new Set([...w])) df.set(ch, (df.get(ch) || 0) + 1);
    index.zhCharFrequencies = df;
  }
  return index.zhCharFrequencies;
}

// Words the user may have meant when a search finds nothing: for English,
// dictionary words a typo or two away (common words first); for Chinese,
// dictionary words that share characters with the query, longest overlap
// first. Only words that themselves find something are offered.
export function suggest(index, query, limit = 6) {
  const tokens = tokenize(normalize(query));
  const scored = new Map();
  for (const token of tokens) {
    if (isChinese(token)) {
      // Characters found in many dictionary words (子, 的, 人 …) say little
      // about what was meant, so they count for less, and alone they are
      // not enough for a suggestion.
      const df = charFrequencies(index);
      const weight = (ch) => 1 / Math.log2(2 + (df.get(ch) || 0));
      const chars = new Set([...token]);
      for (const w of index.zh.sorted) {
        if (w === token) continue;
        let shared = 0;
        for (const ch of new Set([...w])) if (chars.has(ch)) shared += weight(ch);
        if (shared < 0.25) continue;
        // A word the query contains (苹果 in 苹果树) is the best guess.
        const score = -shared * 10 - (token.includes(w) ? 5 : 0) + Math.abs(w.length - token.length) * 0.1;
        const cur = scored.get(w);
        if (cur === undefined || score < cur) scored.set(w, score);
      }
    } else {
      const limitDist = token.length <= 4 ? 1 : 2;
      for (const w of index.en.sorted) {
        if (w === token || w.length < 2) continue;
        const d = editDistance(token, w, limitDist);
        if (d > limitDist) continue;
        // Distance first, then words of the typed length (a swapped or
        // mistyped letter is likelier than a missing one), then frequency
        // rank (at most ~75 000).
        const score = d * 1e7 + (w.length === token.length ? 0 : 1e6) + Math.min(rankOf(index, w), 999999);
        const cur = scored.get(w);
        if (cur === undefined || score < cur) scored.set(w, score);
      }
    }
  }
  return [...scored.entries()]
    .sort((a, b) => a[1] - b[1] || a[0].localeCompare(b[0]))
    .slice(0, limit)
    .map(([w]) => w);
}

// The frequency-ranked word list (words.json): English word → Chinese
// meanings, and back.
export function buildWordIndex(data) {
  const col = Object.fromEntries(data.columns.map((c, i) => [c, i]));
  const byWord = new Map();
  const byMeaning = new Map();
  data.rows.forEach((row, i) => {
    const item = {
      word: row[col.word], count: row[col.count], rank: i + 1, meanings: row[col.meanings],
      ipa: col.ipa === undefined ? '' : row[col.ipa],
    };
    byWord.set(item.word, item);
    for (const m of item.meanings) {
      let list = byMeaning.get(m);
      if (!list) byMeaning.set(m, (list = []));
      list.push(item);
    }
  });
  return { byWord, byMeaning, size: data.rows.length };
}

// English query → its entry; Chinese query → the English words that list it
// as a meaning, most frequent first. Always an array.
export function lookupWord(wordIndex, query, limit = 5) {
  const q = normalize(query);
  if (!q) return [];
  if (isChinese(q)) return (wordIndex.byMeaning.get(q.replace(/\s+/g, '')) || []).slice(0, limit);
  const direct = wordIndex.byWord.get(q);
  if (direct) return [direct];
  const one = singular(q);
  const base = one && wordIndex.byWord.get(one);
  return base ? [base] : [];
}
