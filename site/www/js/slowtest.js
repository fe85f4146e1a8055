// The 详细测试 page: four Chinese meanings and 不知道 for about 100 words.

import { answerSlow, estimateSlow, newSlowState } from './vocab.js';
import {
  bandChart, dateText, el, estimateLine, levelsBlock, loadBank, onKeys, setState, store, wordTable,
} from './vocab-page.js';

const PROGRESS = 'qcy.vocab.slow.progress';
const LAST = 'qcy.vocab.slow.last';

const $ = (id) => document.getElementById(id);
let bank = null;
let state = null;
// Set once the server has shown it cannot speak; the button stays hidden.
let speechBroken = false;
let audio = null;

function show(id) {
  for (const s of ['intro', 'quiz', 'result']) $(s).hidden = s !== id;
  $('status').hidden = true;
  $('main').scrollTop = 0;
}

function showIntro() {
  const last = store.get(LAST);
  const box = $('last');
  box.hidden = !last;
  if (last) {
    box.replaceChildren(el('p', {}, `上次测试（${dateText(last.time)}）：`, estimateLine(last),
      el('button', { class: 'button', type: 'button', onclick: () => showResult(last) }, '查看上次结果')));
  }
  show('intro');
  setState('start');
  $('start').focus();
}

function start() {
  state = newSlowState(bank, Math.floor(Math.random() * 2 ** 31));
  store.set(PROGRESS, state);
  $('feedback').textContent = '';
  showItem();
}

function speechUrl(word) {
  return `speech?w=${encodeURIComponent(word)}`;
}

function hideSpeech() {
  speechBroken = true;
  $('speak').hidden = true;
}

function speak() {
  const item = state && state.items[state.answers.length];
  if (!item || speechBroken) return;
  if (audio) audio.pause();
  audio = new Audio(speechUrl(item.word));
  audio.addEventListener('error', hideSpeech, { once: true });
  audio.play().catch((err) => {
    // NotAllowedError is the browser's autoplay rule, not a broken server.
    if (err && err.name !== 'NotAllowedError' && err.name !== 'AbortError') hideSpeech();
  });
}

// Asks once whether the server speaks at all, so a site without the speech
// endpoint never shows a button that does nothing.
function probeSpeech(word) {
  fetch(speechUrl(word), { method: 'HEAD' })
    .then((r) => { if (!r.ok) hideSpeech(); })
    .catch(hideSpeech);
}

function showItem() {
  if (state.done) { finish(); return; }
  const n = state.answers.length;
  const item = state.items[n];
  $('word').textContent = item.word;
  $('count').textContent = `第 ${n + 1} / ${state.items.length} 个`;
  $('progress-bar').style.width = `${(n / state.items.length) * 100}%`;
  $('speak').hidden = speechBroken;
  const buttons = item.choices.map((zh, i) => el('button', {
    class: 'button choice', type: 'button', dataset: { choice: zh }, onclick: () => answer(zh),
  }, el('kbd', {}, String(i + 1)), zh));
  buttons.push(el('button', { class: 'button choice dontknow', id: 'dontknow', type: 'button', onclick: () => answer(null) },
    el('kbd', {}, '5'), '不知道'));
  $('choices').replaceChildren(...buttons);
  document.documentElement.dataset.answered = String(n);
  show('quiz');
  setState('testing');
}

function answer(choice) {
  if (!state || state.done || document.documentElement.dataset.state !== 'testing') return;
  const item = state.items[state.answers.length];
  answerSlow(state, choice);
  store.set(PROGRESS, state);
  const fb = $('feedback');
  const right = choice === item.answer;
  fb.replaceChildren(`上一个：${item.word} = ${item.answer} `,
    el('span', { class: right ? 'right' : 'wrong' }, right ? '✓' : choice === null ? '（不知道）' : '✗'));
  showItem();
}

function finish() {
  const e = estimateSlow(bank, state.answers);
  const result = {
    time: Date.now(),
    words: e.words,
    low: e.low,
    high: e.high,
    bands: e.bands,
    missed: e.missed.map((m) => ({ word: m.word, ipa: m.ipa, meanings: m.meanings })),
  };
  store.set(LAST, result);
  store.remove(PROGRESS);
  state = null;
  showResult(result);
}

function studyList(missed) {
  if (!missed.length) return el('p', {}, '这次没有答错或不知道的单词，太棒了！');
  return wordTable(`学习清单：答错和不知道的 ${missed.length} 个单词`, missed, true);
}

function showResult(r) {
  const parts = [
    el('h2', {}, '你的英语词汇量'),
    estimateLine(r),
    el('p', { class: 'fine' }, '已扣除猜对的部分；「不知道」算作不认识。'),
    bandChart(r.bands, {
      bars: (b) => (b.asked ? b.right / b.asked : null),
      line: (b) => b.share,
      barTitle: (b) => `答对 ${b.right} / ${b.asked}，答错 ${b.wrong}，不知道 ${b.unknown}`,
      lineTitle: (b) => `估计认识 ${Math.round(b.share * 100)}%`,
      caption: '柱：各词频段答对的比例；橙线：扣除猜测后估计认识的比例',
    }),
    levelsBlock(r.words),
    el('p', { class: 'actions' },
      el('button', { class: 'button primary', id: 'again', type: 'button', onclick: start }, '再测一次'),
      el('a', { class: 'button', href: './' }, '返回首页')),
    studyList(r.missed || []),
  ];
  $('result').replaceChildren(...parts);
  show('result');
  setState('result');
}

async function main() {
  try {
    bank = await loadBank();
  } catch (err) {
    $('status').textContent = '单词数据载入失败，请刷新页面再试一次。';
    setState('error');
    console.error('vocabulary data', err);
    return;
  }
  $('start').addEventListener('click', start);
  $('speak').addEventListener('click', speak);
  onKeys((key) => {
    if (document.documentElement.dataset.state !== 'testing' || !state) return false;
    const item = state.items[state.answers.length];
    if (/^[1-4]$/.test(key)) { answer(item.choices[Number(key) - 1]); return true; }
    if (key === '5' || key === '0') { answer(null); return true; }
    if (key === ' ') { speak(); return true; }
    return false;
  });
  const first = bank.bands[0].items[0];
  if (first) probeSpeech(first.word);
  // A test in progress survives a reload.
  const saved = store.get(PROGRESS);
  if (saved && saved.kind === 'slow' && !saved.done && Array.isArray(saved.items) && saved.items.length) {
    state = saved;
    showItem();
  } else {
    showIntro();
  }
}

main();
