// The 快速测试 page: yes/no on about 50 words, a quarter of them made up.

import { QUICK_LENGTH, answerQuick, estimateQuick, newQuickState, nextQuickItem } from './vocab.js';
import {
  bandChart, dateText, el, estimateLine, levelsBlock, loadBank, onKeys, setState, store, wordTable,
} from './vocab-page.js';

const PROGRESS = 'qcy.vocab.quick.progress';
const LAST = 'qcy.vocab.quick.last';

const $ = (id) => document.getElementById(id);
let bank = null;
let state = null;

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
  state = newQuickState(Math.floor(Math.random() * 2 ** 31));
  store.set(PROGRESS, state);
  showItem();
}

function showItem() {
  const item = nextQuickItem(bank, state);
  store.set(PROGRESS, state);
  if (!item) { finish(); return; }
  const n = state.answers.length;
  $('word').textContent = item.word;
  $('count').textContent = `第 ${n + 1} / ${QUICK_LENGTH} 个`;
  $('progress-bar').style.width = `${(n / QUICK_LENGTH) * 100}%`;
  document.documentElement.dataset.answered = String(n);
  show('quiz');
  setState('testing');
}

function answer(yes) {
  if (!state || state.done || document.documentElement.dataset.state !== 'testing') return;
  answerQuick(state, yes);
  store.set(PROGRESS, state);
  showItem();
}

function finish() {
  const e = estimateQuick(bank, state.answers);
  // The real words answered 不认识, to learn from.
  const unknown = state.answers.filter((a) => a.real && !a.yes).map((a) => bank.byWord.get(a.word)).filter(Boolean)
    .map((m) => ({ word: m.word, ipa: m.ipa, meanings: m.meanings }));
  const result = { time: Date.now(), ...e, unknown };
  store.set(LAST, result);
  store.remove(PROGRESS);
  state = null;
  showResult(result);
}

function showResult(r) {
  const parts = [
    el('h2', {}, '你的英语词汇量'),
    estimateLine(r),
  ];
  if (r.unreliable) {
    parts.push(el('p', { class: 'warning', id: 'warning' },
      `注意：测试里的 ${r.nonwordsAsked} 个假词你选了 ${r.nonwordsClaimed} 个「认识」。这说明有些「认识」是猜的，结果已按此扣减，但仍不可靠。`,
      '请再测一次，不认识的词如实选「不认识」。'));
  } else if (r.falseAlarm > 0) {
    parts.push(el('p', { class: 'fine' }, `你把 ${r.nonwordsClaimed} 个假词选成了「认识」，结果已按此扣减。`));
  }
  parts.push(bandChart(r.bands, {
    bars: (b) => b.share,
    barTitle: (b) => `估计认识 ${Math.round(b.share * 100)}%（问了 ${b.asked} 个，选「认识」${b.yes} 个）`,
    caption: '各词频段中你认识的单词比例（按你的回答估计，已扣除猜测）',
  }));
  parts.push(levelsBlock(r.words));
  parts.push(el('p', { class: 'actions' },
    el('button', { class: 'button primary', id: 'again', type: 'button', onclick: start }, '再测一次'),
    el('a', { class: 'button', href: 'slowtest.php' }, '做详细测试（约十分钟，更准）'),
    el('a', { class: 'button', href: './' }, '返回首页')));
  if (r.unknown && r.unknown.length) parts.push(wordTable(`这次不认识的 ${r.unknown.length} 个单词`, r.unknown, true));
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
  $('yes').addEventListener('click', () => answer(true));
  $('no').addEventListener('click', () => answer(false));
  onKeys((key) => {
    const s = document.documentElement.dataset.state;
    if (s === 'testing') {
      if (key === 'ArrowLeft' || key === '1') { answer(true); return true; }
      if (key === 'ArrowRight' || key === '2') { answer(false); return true; }
    }
    return false;
  });
  // A test in progress survives a reload.
  const saved = store.get(PROGRESS);
  if (saved && saved.kind === 'quick' && !saved.done && Array.isArray(saved.answers)) {
    state = saved;
    showItem();
  } else {
    showIntro();
  }
}

main();
