// The word-list logic of build-data.mjs, as plain functions so the tests can
// run them on small tables: lemmas, meaning candidates from CC-CEDICT ranked
// by Chinese word frequency, IPA from CMU ARPAbet, and made-up words.

// ---------------------------------------------------------------- lemmas

// Chooses the base form a SUBTLEX word is counted under.
//   lemmatizer  wink-lemmatizer (noun/verb/adjective)
//   wordnet     set of WordNet lemmas (wink-lexicon's wn-words)
//   count       Map word → corpus count
//   keep        set of forms that stay separate items whatever the rules say
//
// A form that is only an inflection ("dogs", "went") always joins its lemma.
// A form that WordNet also lists as a word of its own ("things", "saw",
// "morning", "tired") joins the lemma only when the lemma is the more
// frequent word: "saw" is read as the past of "see" far more often than as
// the tool, while "morning" is no form of "morn" in anyone's mind. The few
// words where that guess is wrong ("evening" is no form of "even") are in
// the corrections file.
// Regular endings, tried besides the lemmatizer's own answers: wink-lemmatizer
// leaves a form alone when WordNet happens to list it ("years", "things",
// "being"), which would make it an item of its own.
function regularStems(word) {
  const out = [];
  if (/(?:ss|us|is|ics|ous)$/.test(word)) return out;
  if (word.endsWith('ies')) out.push({ l: `${word.slice(0, -3)}y`, plural: true });
  if (word.endsWith('es')) out.push({ l: word.slice(0, -2), plural: true });
  if (word.endsWith('s')) out.push({ l: word.slice(0, -1), plural: true });
  for (const suf of ['ing', 'ed']) {
    if (!word.endsWith(suf)) continue;
    const stem = word.slice(0, -suf.length);
    out.push({ l: stem }, { l: `${stem}e` });
    if (/([b-df-hj-np-tv-z])\1$/.test(stem)) out.push({ l: stem.slice(0, -1) });
    if (suf === 'ed' && stem.endsWith('i')) out.push({ l: `${stem.slice(0, -1)}y` });
  }
  return out;
}

// Chooses the base form a SUBTLEX word is counted under.
//   lemmatizer  wink-lemmatizer (noun/verb/adjective)
//   wordnet     Map WordNet lemma → { noun, verb } (from wink-lexicon)
//   count       Map word → corpus count
//   keep        set of forms that stay separate items whatever the rules say
//
// A form that is only an inflection ("dogs", "went") always joins its lemma,
// and so does a plural ("years", "teeth"). A form that WordNet also lists as
// a word of its own ("saw", "morning", "tired") joins the lemma only when the
// lemma is the more frequent word: "saw" is read as the past of "see" far
// more often than as the tool, while "morning" is no form of "morn" in
// anyone's mind. The few words where that guess is wrong ("evening" is no
// form of "even", "clothes" none of "cloth") are in the corrections file.
export function chooseLemma(word, { lemmatizer, wordnet, count, keep, forms = new Map() }) {
  if (keep.has(word)) return word;
  if (forms.has(word)) return forms.get(word);
  const own = count.get(word) || 0;
  // What the noun lemmatizer finds is a plural ("teeth", "children").
  const cands = [{ l: lemmatizer.verb(word) }, { l: lemmatizer.noun(word), plural: true }, { l: lemmatizer.adjective(word) }];
  for (const c of regularStems(word)) {
    const pos = wordnet.get(c.l);
    if (pos && (c.plural ? pos.noun || pos.verb : pos.verb)) cands.push(c);
  }
  let best = null;
  for (const { l, plural } of cands) {
    if (!l || l === word || !/^[a-z]+(?:-[a-z]+)*$/.test(l) || l.length < 2) continue;
    if (!count.has(l) && !wordnet.has(l)) continue;
    const n = count.get(l) || 0;
    if (!best || n > best.n) best = { l, n, plural };
    else if (l === best.l && plural) best.plural = true;
  }
  if (!best) return word;
  if (!wordnet.has(word) || best.plural) return best.l;
  return best.n >= own ? best.l : word;
}

// ---------------------------------------------------------------- meanings

// Hand-checked corrections for common words the ranking gets wrong, and
// lemma decisions it cannot make; see site/DATA.md.
//   meaning   WORD  中文 中文…   these meanings, in this order, trusted
//   doubtful  WORD  -          keep the word out of the tests
//   separate  WORD  -          count this form as an item of its own
//   form      WORD  LEMMA      count this form under that lemma
export function readCorrections(text) {
  const meaning = new Map();
  const doubtful = new Set();
  const separate = new Set();
  const form = new Map();
  for (const line of text.split('\n')) {
    if (!line.trim() || line.startsWith('#')) continue;
    const [kind, word, value] = line.split('\t');
    if (kind === 'meaning') meaning.set(word, value.split(/\s+/).filter(Boolean));
    else if (kind === 'form') form.set(word, value);
    else if (kind === 'doubtful') doubtful.add(word);
    else if (kind === 'separate') separate.add(word);
    else throw new Error(`corrections: unknown kind "${kind}" in: ${line}`);
  }
  return { meaning, doubtful, separate, form };
}


const HAN = /^[\u3400-\u4dbf\u4e00-\u9fff]+$/u;
// Senses that are cross-references rather than meanings.
const NOT_A_MEANING = /^(surname |variant of|old variant|also written|used in|see |see also|abbr\. for|erhua variant|japanese variant|cl:|classifier for|pr\. |taiwan pr\.|\(old\)|\(archaic\))/i;
// Register labels that make a Chinese word a poor first translation for a learner.
const MARKED = /\((?:[^)]*\b(?:dialect|archaic|old|literary|classical|tw|taiwan|hk|cantonese|slang|internet slang|loanword|onom\.|bound form|vulgar|derog\.|obsolete|buddhism|taoism|math\.|chemistry|medicine|physics|botany|zoology|euphemism|honorific|humble|polite|formal|written|old-fashioned|fig\.|topolect|neologism)(?![a-z])[^)]*)\)/i;
// English words too general to decide anything when a gloss merely mentions them.
export const FUNCTION_WORDS = new Set(('a an the to of in on at by for from with as or and be is are was it its '
  + 'sth sb one oneself etc up out off into over about not no so that this these those').split(' '));

const PARTICLES = new Set('at to for on up out in with about after over down off into'.split(' '));

// Normalises one gloss ("to run (of a machine)", "a man", "what?") to the
// English words it translates, and says what the notes around it were.
export function parseGloss(gloss) {
  const plain = gloss.replace(/\(?CL:[^)]*\)?/g, ' ');
  const leadingNote = /^\s*(?:to\s+)?[([]/.test(plain);
  const trailingNote = !leadingNote && /[([]/.test(plain);
  const text = plain.replace(/\([^)]*\)/g, ' ').replace(/\[[^\]]*\]/g, ' ')
    .replace(/[?!.,"]/g, ' ').replace(/\s+/g, ' ').trim().toLowerCase()
    .replace(/^(?:to|a|an) (?=\S)/, '');
  return { text, leadingNote, trailingNote };
}

// Reads CC-CEDICT backwards. Returns
//   exact:    English word → [{ zh, si, gi, senses, marked, leadingNote, trailingNote, first }]
//             entries with a gloss that is exactly the word ("to run", "a man")
//   partial:  English word → same, for two-word glosses that contain it ("phone call")
//   mentions: Chinese word → Set of the content words of all its glosses, whatever their kind
export function readCedict(rows) {
  const exact = new Map();
  const partial = new Map();
  const mentions = new Map();
  const push = (map, key, value) => {
    let list = map.get(key);
    if (!list) map.set(key, (list = []));
    list.push(value);
  };
  for (const [, simp, pinyin, defs, variants] of rows) {
    if (!HAN.test(simp)) continue;
    if (/^[A-Z]/.test(pinyin)) continue; // proper nouns
    const senses = (typeof defs === 'string' ? [defs] : defs).filter((s) => !NOT_A_MEANING.test(s));
    if (!senses.length) continue;
    let words = mentions.get(simp);
    if (!words) mentions.set(simp, (words = new Set()));
    const isVariant = variants && variants.length > 0;
    senses.forEach((sense, si) => {
      const marked = MARKED.test(sense);
      sense.split(/;\s*/).forEach((gloss, gi) => {
        const g = parseGloss(gloss);
        const tokens = g.text.split(/[^a-z'-]+/).filter(Boolean);
        for (const t of tokens) if (!FUNCTION_WORDS.has(t)) words.add(t);
        if (isVariant) return;
        const cand = { zh: simp, si, gi, senses: senses.length, marked, ...g, first: si === 0 && gi === 0 };
        if (/^[a-z][a-z'-]*$/.test(g.text)) push(exact, g.text, cand);
        else if (tokens.length === 2 && /^[a-z' -]+$/.test(g.text)) {
          // "cell phone" is a kind of phone; "look at" is a way to look.
          if (!FUNCTION_WORDS.has(tokens[1])) push(partial, tokens[1], { ...cand, partial: true });
          else if (PARTICLES.has(tokens[1]) && !FUNCTION_WORDS.has(tokens[0])) push(partial, tokens[0], { ...cand, partial: true });
        }
      });
    });
  }
  return { exact, partial, mentions };
}

// Parses jieba's dictionary ("word count tag" a line) into Map word → count.
export function readJieba(text) {
  const freq = new Map();
  for (const line of text.split('\n')) {
    const [w, n] = line.split(' ');
    if (w && n) freq.set(w, (freq.get(w) || 0) + Number(n));
  }
  return freq;
}

// For each character, the jieba counts of the longer words that contain it.
const inWordsCache = new WeakMap();
function countsInWords(freq) {
  let m = inWordsCache.get(freq);
  if (!m) {
    m = new Map();
    for (const [w, n] of freq) {
      const chars = [...w];
      if (chars.length < 2) continue;
      for (const ch of new Set(chars)) m.set(ch, (m.get(ch) || 0) + n);
    }
    inWordsCache.set(freq, m);
  }
  return m;
}

// Everyday-ness of a candidate, in log10 units of jieba counts. jieba's
// counts for single characters include every time the character stood alone
// in a phrase jieba could not split, so they are worth a tenth; long words are
// usually set phrases rather than the translation.
export function scoreCandidate(c, freq) {
  const n = freq.get(c.zh) || 0;
  const len = [...c.zh].length;
  let s = Math.log10(1 + n);
  s += len === 1 ? -0.7 : len === 2 ? 0 : len === 3 ? -0.4 : -0.8;
  // Its frequency belongs mostly to its first sense.
  s -= Math.min(c.si, 4) * 0.5 + Math.min(c.gi, 3) * 0.35;
  if (c.marked) s -= 1.5;
  if (c.leadingNote) s -= 0.4;
  if (c.trailingNote) s -= 0.3;
  if (c.first) s += 0.5;
  if (c.partial) s -= 1.2;
  if (n === 0) s -= 1;
  return s;
}

// The Chinese meanings of an English word, best first: at most `limit`,
// within reach of the best, without a single character that only repeats
// part of a meaning already chosen (时间 then 时). `sure` says whether the
// first one can be shown to a learner as the answer.
export function rankMeanings(word, cedict, freq, limit = 3) {
  const cands = [];
  for (const c of cedict.exact.get(word) || []) cands.push({ ...c, score: scoreCandidate(c, freq) });
  for (const c of cedict.partial.get(word) || []) cands.push({ ...c, score: scoreCandidate(c, freq) });
  if (!cands.length) return null;
  cands.sort((a, b) => b.score - a.score || (a.zh < b.zh ? -1 : a.zh > b.zh ? 1 : 0));
  const best = cands[0];
  const meanings = [];
  for (const c of cands) {
    if (meanings.length >= limit || c.score < best.score - 1.2) break;
    if (meanings.includes(c.zh)) continue;
    if ([...c.zh].length === 1 && meanings.some((m) => m.includes(c.zh))) continue;
    meanings.push(c.zh);
  }
  const n = freq.get(best.zh) || 0;
  const runnerUp = cands.find((c) => c.zh !== best.zh);
  // Trusted: a plain, exact gloss of a Chinese word people actually use,
  // not a near tie with a different word.
  // A single character counts only when it is a word of its own in text
  // (狗, 书), not mostly a part of compounds (宙 of 宇宙).
  const single = [...best.zh].length === 1;
  const free = single ? n / (n + (countsInWords(freq).get(best.zh) || 0) + 1) : 1;
  const sure = !best.partial && !best.marked && n >= 30 && (!single || (n >= 1000 && free >= 0.15))
    // The word is what the Chinese headword chiefly means, not a late sense
    // of it (结果 is "result" long before it is "to kill").
    && (best.si === 0 || best.senses <= 2)
    && (!runnerUp || best.score - runnerUp.score > 0.15 || meanings.length > 1);
  return { meanings, sure, score: best.score };
}

// ---------------------------------------------------------------- IPA

const VOWELS = {
  AA: 'ɑ', AE: 'æ', AH: 'ʌ', AO: 'ɔ', AW: 'aʊ', AY: 'aɪ', EH: 'ɛ', ER: 'ɝ', EY: 'eɪ',
  IH: 'ɪ', IY: 'i', OW: 'oʊ', OY: 'ɔɪ', UH: 'ʊ', UW: 'u',
};
const CONSONANTS = {
  B: 'b', CH: 'tʃ', D: 'd', DH: 'ð', F: 'f', G: 'g', HH: 'h', JH: 'dʒ', K: 'k', L: 'l', M: 'm',
  N: 'n', NG: 'ŋ', P: 'p', R: 'r', S: 's', SH: 'ʃ', T: 't', TH: 'θ', V: 'v', W: 'w', Y: 'j',
  Z: 'z', ZH: 'ʒ',
};
// Consonant clusters English allows at the start of a syllable; the stress
// mark goes before the longest of these in front of a stressed vowel.
const ONSETS = new Set(['P L', 'P R', 'B L', 'B R', 'T R', 'D R', 'K L', 'K R', 'K W', 'G L', 'G R',
  'F L', 'F R', 'TH R', 'SH R', 'S P', 'S T', 'S K', 'S M', 'S N', 'S W', 'S L', 'T W', 'D W',
  'S P L', 'S P R', 'S T R', 'S K R', 'S K W', 'P Y', 'B Y', 'K Y', 'F Y', 'M Y', 'HH Y', 'V Y']);

// "K AE1 T" → "kæt"; "AH0 B AW1 T" → "əˈbaʊt". Unstressed AH and ER are ə, ɚ.
export function arpabetToIpa(arpabet) {
  const phones = arpabet.trim().split(/\s+/);
  const out = phones.map((p) => {
    const m = /^([A-Z]+)([012])?$/.exec(p);
    if (!m) return '';
    const [, base, stress] = m;
    if (VOWELS[base]) {
      if (base === 'AH' && stress === '0') return 'ə';
      if (base === 'ER' && stress === '0') return 'ɚ';
      return VOWELS[base];
    }
    return CONSONANTS[base] || '';
  });
  const vowelCount = phones.filter((p) => /[012]$/.test(p)).length;
  const marks = new Array(phones.length).fill('');
  let prevVowel = -1;
  phones.forEach((p, i) => {
    const m = /([12])$/.exec(p);
    if (m && vowelCount > 1) {
      // Start of the stressed syllable: the longest legal onset before the vowel.
      let start = i;
      for (let k = i - 1; k > prevVowel; k--) {
        const cluster = phones.slice(k, i).join(' ');
        if (k === i - 1 ? CONSONANTS[phones[k]] && phones[k] !== 'NG' : ONSETS.has(cluster)) start = k;
        else break;
      }
      marks[start] = m[1] === '1' ? 'ˈ' : 'ˌ';
    }
    if (/[012]$/.test(p)) prevVowel = i;
  });
  return out.map((s, i) => marks[i] + s).join('');
}

// ---------------------------------------------------------------- made-up words

// A small seeded generator, so the made-up words are the same on every build.
export function seededRandom(seed) {
  let s = seed >>> 0;
  return () => {
    s = (s + 0x6d2b79f5) >>> 0;
    let t = s;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

// Letter trigram statistics of real words. Continuations seen fewer than
// `minCount` times are dropped: they are the odd spellings of loanwords and
// names, and would make words no English reader would guess at.
export function trigramModel(words, minCount = 4) {
  const next = new Map();
  for (const w of words) {
    const s = `^^${w}$`;
    for (let i = 2; i < s.length; i++) {
      const key = s.slice(i - 2, i);
      let m = next.get(key);
      if (!m) next.set(key, (m = new Map()));
      m.set(s[i], (m.get(s[i]) || 0) + 1);
    }
  }
  const table = new Map();
  for (const [key, m] of [...next.entries()].sort()) {
    const letters = [...m.keys()].filter((l) => m.get(l) >= minCount).sort();
    if (!letters.length) continue;
    const weights = letters.map((l) => m.get(l));
    table.set(key, { letters, weights, total: weights.reduce((x, y) => x + y, 0) });
  }
  return table;
}

export function sampleWord(model, random, maxLength = 12) {
  let w = '^^';
  while (w.length < maxLength + 3) {
    const t = model.get(w.slice(-2));
    if (!t) return null;
    let r = random() * t.total;
    let i = 0;
    while (i < t.letters.length - 1 && r >= t.weights[i]) r -= t.weights[i++];
    const ch = t.letters[i];
    if (ch === '$') return w.slice(2);
    w += ch;
  }
  return null;
}

// Endings that would make a made-up word read as a form of a real word
// ("blick" real → "blicks" would be no test of knowing words).
const SUFFIXES = ['s', 'es', 'ed', 'd', 'ing', 'er', 'ers', 'est', 'ly', 'y', 'ness', 'ment', 'ful', 'less', 'able', 'ism', 'ist'];
// Likewise a real word behind a prefix ("unday", "rework").
const PREFIXES = ['un', 're', 'in', 'dis', 'pre', 'de', 'mis', 'over', 'out', 'sub', 'non'];

// Made-up words that look and sound English and are no real word, no form of
// one, and contain no offensive word. `isReal` says whether a string is a
// word of any of the big lists; `offensive` is a list of words never to contain.
export function makeNonwords({ model, isReal, offensive, count, seed = 20261211, minLength = 5, maxLength = 8 }) {
  const random = seededRandom(seed);
  const out = [];
  const seen = new Set();
  for (let tries = 0; out.length < count && tries < count * 2000; tries++) {
    const w = sampleWord(model, random, maxLength);
    if (!w || w.length < minLength || w.length > maxLength || seen.has(w)) continue;
    if (!/^[a-z]+$/.test(w) || !/[aeiouy]/.test(w)) continue;
    if (/(.)\1\1/.test(w) || /[^aeiouy]{4}/.test(w) || /[aeiou]{3}/.test(w)) continue;
    seen.add(w);
    if (isReal(w)) continue;
    if (SUFFIXES.some((suf) => w.endsWith(suf) && w.length - suf.length >= 3
      && (isReal(w.slice(0, -suf.length)) || isReal(`${w.slice(0, -suf.length)}e`)))) continue;
    if (PREFIXES.some((pre) => w.startsWith(pre) && w.length - pre.length >= 3 && isReal(w.slice(pre.length)))) continue;
    if (offensive.some((bad) => w.includes(bad))) continue;
    out.push(w);
  }
  return out;
}
