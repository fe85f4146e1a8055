// Static checks of the site folder: pages work offline and under any base
// address, the DOM hooks the desktop program relies on exist, and the
// committed data is well formed.

import assert from 'node:assert/strict';
import { readdirSync, readFileSync, statSync } from 'node:fs';
import { dirname, join, relative } from 'node:path';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';

const www = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'site', 'www');

function filesUnder(dir) {
  return readdirSync(dir, { withFileTypes: true }).flatMap((d) => {
    const p = join(dir, d.name);
    return d.isDirectory() ? filesUnder(p) : [p];
  });
}

const all = filesUnder(www);
const textFiles = all.filter((f) => /\.(html|css|js|svg)$/.test(f));
const pages = all.filter((f) => f.endsWith('.html'));
const read = (rel) => readFileSync(join(www, rel), 'utf8');

test('nothing is loaded from outside the site', () => {
  assert.ok(textFiles.length >= 8);
  for (const f of textFiles) {
    // The SVG namespace is an identifier, not something fetched.
    const text = readFileSync(f, 'utf8').replaceAll('xmlns="http://www.w3.org/2000/svg"', '');
    const rel = relative(www, f);
    assert.doesNotMatch(text, /\b(?:https?|ftp|wss?):\/\//i, `${rel} names an outside address`);
    assert.doesNotMatch(text, /(?:src|href|action)\s*=\s*["']\/\//i, `${rel} has a protocol-relative link`);
    assert.doesNotMatch(text, /url\(\s*["']?\/\//i, `${rel} has a protocol-relative url()`);
    assert.doesNotMatch(text, /@import|@font-face/i, `${rel} pulls in styles or fonts`);
  }
});

test('links are relative so the site works under any base address', () => {
  for (const f of pages) {
    const text = readFileSync(f, 'utf8');
    for (const [, url] of text.matchAll(/(?:src|href)\s*=\s*"([^"]*)"/g)) {
      assert.ok(!url.startsWith('/'), `${relative(www, f)}: ${url} is root-relative`);
    }
  }
  for (const f of all.filter((p) => p.endsWith('.js'))) {
    const text = readFileSync(f, 'utf8');
    for (const [, url] of text.matchAll(/fetch\(\s*['"`]([^'"`]*)/g)) {
      assert.ok(!url.startsWith('/'), `${relative(www, f)} fetches ${url} from the root`);
    }
  }
});

test('every page is Chinese, UTF-8 and fits a small window', () => {
  assert.deepEqual(pages.map((p) => relative(www, p)).sort(),
    ['index.html', 'llk/index.html', 'quicktest.html', 'search.html', 'slowtest.html']);
  for (const f of pages) {
    const text = readFileSync(f, 'utf8');
    const rel = relative(www, f);
    assert.match(text, /^<!DOCTYPE html>/i, rel);
    assert.match(text, /<html lang="zh-CN"/, rel);
    assert.match(text, /<meta charset="utf-8">/i, rel);
    assert.match(text, /<meta name="viewport" content="width=device-width/, rel);
    assert.match(text, /<title>[^<]*\p{Script=Han}/u, rel);
  }
});

test('home page offers the four tools and the product name', () => {
  const home = read('index.html');
  for (const [href, label] of [['llk/', '单词连连看'], ['quicktest.php', '快速测试'],
    ['slowtest.php', '详细测试'], ['search.php', '图文字典']]) {
    assert.match(home, new RegExp(`href="${href}"[^>]*>.*${label}`), label);
  }
  assert.match(home, /晴川叶/);
  assert.match(home, /轻松学英语/);
});

test('data sources are credited where their data is shown', () => {
  for (const rel of ['index.html', 'search.html']) {
    const text = read(rel);
    for (const source of ['CLDR', 'SUBTLEX', 'CC-CEDICT', 'CC BY-SA 4.0']) assert.ok(text.includes(source), `${rel}: ${source}`);
  }
});

test('the search page keeps the hooks the desktop program uses', () => {
  const page = read('search.html');
  assert.match(page, /<input id="q" type="search"/);
  assert.match(page, /id="results"/);
  assert.match(page, /data-state="loading"/);
  const script = read('js/search-page.js');
  assert.match(script, /class: 'entry'/);
  assert.match(script, /class: 'en'/);
  assert.match(script, /dataset\.state = 'ready'/);
  assert.match(script, /addEventListener\('input'/);
});

test('emoji data is complete and consistent', () => {
  const data = JSON.parse(read('data/emoji.json'));
  assert.equal(data.groups.length, 9);
  const seen = new Set();
  for (const e of data.entries) {
    assert.ok(e.c && e.en && e.zh, JSON.stringify(e));
    assert.ok(Number.isInteger(e.g) && e.g >= 0 && e.g < data.groups.length, e.c);
    assert.ok(Array.isArray(e.ke) && Array.isArray(e.kz), e.c);
    assert.ok(!e.ke.includes(e.en), `${e.c}: name repeated as keyword`);
    // Chinese uses a few Latin abbreviations as they are (OK, DVD, DNA).
    assert.match(e.zh, /\p{Script=Han}|^[A-Z0-9]+$/u, `${e.c}: Chinese name ${e.zh}`);
    assert.ok(!seen.has(e.c), `${e.c} twice`);
    seen.add(e.c);
  }
  assert.ok(data.entries.length > 1500, `${data.entries.length} entries`);
  // Emoji newer than the colour font would draw as empty boxes.
  assert.ok(data.source.maxEmojiVersion <= 15);
  for (const newer of ['🫩', '🫆', '🪾']) assert.ok(!seen.has(newer), `${newer} is newer than the font`);
  for (const e of ['🍎', '🐈', '❤️', '🇨🇳', '#️⃣', '🫨']) assert.ok(seen.has(e), `${e} missing`);
});

test('word list is frequency ranked with Chinese meanings', () => {
  const data = JSON.parse(read('data/words.json'));
  assert.deepEqual(data.columns.slice(0, 5), ['word', 'count', 'meanings', 'ipa', 'sure']);
  assert.ok(data.rows.length > 5000);
  const seen = new Set();
  let last = Infinity;
  for (const [word, count, meanings, ipa, sure] of data.rows) {
    assert.match(word, /^[a-z]+(?:-[a-z]+)*$/, word);
    assert.ok(!seen.has(word), `${word} twice`);
    seen.add(word);
    assert.ok(Number.isInteger(count) && count > 0, word);
    assert.ok(meanings.length >= 1 && meanings.length <= 3, word);
    for (const m of meanings) assert.match(m, /^\p{Script=Han}+$/u, `${word}: ${m}`);
    assert.ok(count <= last, `${word} out of frequency order`);
    last = count;
    assert.equal(typeof ipa, 'string');
    assert.ok(!ipa.includes('/'), word);
    assert.ok(sure === 0 || sure === 1, word);
  }
});

test('the site stays small', () => {
  const total = all.reduce((s, f) => s + statSync(f).size, 0);
  assert.ok(total < 4 * 1024 * 1024, `${total} bytes`);
});
