// Where the game's words come from: site/www/data/words.json, rows from
// most to least frequent, columns looked up by name. Only words whose first
// meaning the data marks as sure are dealt. Data without that mark is read
// with a short list of words whose usual translation was checked by hand.

import { LEVELS } from './deal.js';

// word -> its usual Chinese translation, checked by hand.
export const CHECKED = new Map([
  ['time', '时间'],
  ['man', '男人'],
  ['woman', '女人'],
  ['people', '人们'],
  ['dad', '爸爸'],
  ['mom', '妈妈'],
  ['brother', '兄弟'],
  ['sister', '姐妹'],
  ['son', '儿子'],
  ['daughter', '女儿'],
  ['wife', '妻子'],
  ['husband', '丈夫'],
  ['friend', '朋友'],
  ['family', '家庭'],
  ['child', '孩子'],
  ['baby', '婴儿'],
  ['boy', '男孩'],
  ['girl', '女孩'],
  ['house', '房子'],
  ['home', '家'],
  ['room', '房间'],
  ['door', '门'],
  ['window', '窗户'],
  ['car', '汽车'],
  ['money', '钱'],
  ['water', '水'],
  ['food', '食物'],
  ['book', '书'],
  ['school', '学校'],
  ['city', '城市'],
  ['country', '国家'],
  ['world', '世界'],
  ['night', '夜晚'],
  ['morning', '早上'],
  ['year', '年'],
  ['week', '星期'],
  ['hour', '小时'],
  ['minute', '分钟'],
  ['name', '名字'],
  ['job', '工作'],
  ['phone', '电话'],
  ['head', '头'],
  ['hand', '手'],
  ['eye', '眼睛'],
  ['heart', '心'],
  ['face', '脸'],
  ['hair', '头发'],
  ['body', '身体'],
  ['blood', '血'],
  ['dog', '狗'],
  ['cat', '猫'],
  ['horse', '马'],
  ['bird', '鸟'],
  ['fish', '鱼'],
  ['tree', '树'],
  ['flower', '花'],
  ['sun', '太阳'],
  ['moon', '月亮'],
  ['star', '星星'],
  ['sky', '天空'],
  ['sea', '海'],
  ['river', '河'],
  ['road', '路'],
  ['street', '街道'],
  ['town', '城镇'],
  ['king', '国王'],
  ['doctor', '医生'],
  ['police', '警察'],
  ['teacher', '老师'],
  ['student', '学生'],
  ['war', '战争'],
  ['game', '游戏'],
  ['music', '音乐'],
  ['song', '歌'],
  ['story', '故事'],
  ['gun', '枪'],
  ['boat', '船'],
  ['train', '火车'],
  ['plane', '飞机'],
  ['bed', '床'],
  ['table', '桌子'],
  ['chair', '椅子'],
  ['key', '钥匙'],
  ['box', '盒子'],
  ['bag', '包'],
  ['shoe', '鞋'],
  ['hat', '帽子'],
  ['coffee', '咖啡'],
  ['tea', '茶'],
  ['milk', '牛奶'],
  ['bread', '面包'],
  ['egg', '鸡蛋'],
  ['apple', '苹果'],
  ['meat', '肉'],
  ['beer', '啤酒'],
  ['cake', '蛋糕'],
  ['fire', '火'],
  ['snow', '雪'],
  ['rain', '雨'],
  ['wind', '风'],
  ['paper', '纸'],
  ['gold', '金子'],
  ['color', '颜色'],
  ['red', '红色'],
  ['blue', '蓝色'],
  ['green', '绿色'],
  ['white', '白色'],
  ['black', '黑色'],
  ['yellow', '黄色'],
  ['know', '知道'],
  ['go', '去'],
  ['come', '来'],
  ['see', '看见'],
  ['look', '看'],
  ['eat', '吃'],
  ['drink', '喝'],
  ['sleep', '睡觉'],
  ['buy', '买'],
  ['sell', '卖'],
  ['open', '打开'],
  ['read', '读'],
  ['write', '写'],
  ['run', '跑'],
  ['fly', '飞'],
  ['swim', '游泳'],
  ['help', '帮助'],
  ['ask', '问'],
  ['answer', '回答'],
  ['learn', '学习'],
  ['forget', '忘记'],
  ['remember', '记得'],
  ['wait', '等待'],
  ['laugh', '笑'],
  ['cry', '哭'],
  ['die', '死'],
  ['kill', '杀'],
  ['sit', '坐'],
  ['stand', '站'],
  ['win', '赢'],
  ['love', '爱'],
  ['like', '喜欢'],
  ['hate', '恨'],
  ['find', '找到'],
  ['give', '给'],
  ['take', '拿'],
  ['put', '放'],
  ['start', '开始'],
  ['stop', '停止'],
  ['play', '玩'],
  ['good', '好'],
  ['bad', '坏'],
  ['big', '大'],
  ['small', '小'],
  ['new', '新'],
  ['hot', '热'],
  ['cold', '冷'],
  ['happy', '快乐'],
  ['sad', '伤心'],
  ['beautiful', '美丽'],
  ['rich', '富有'],
  ['poor', '穷'],
  ['young', '年轻'],
  ['fast', '快'],
  ['slow', '慢'],
  ['long', '长'],
  ['short', '短'],
  ['high', '高'],
  ['easy', '容易'],
  ['difficult', '困难'],
  ['clean', '干净'],
  ['dirty', '脏'],
  ['empty', '空'],
  ['dark', '黑暗'],
  ['strong', '强壮'],
  ['weak', '弱'],
  ['wrong', '错'],
  ['hungry', '饿'],
  ['tired', '累'],
  ['afraid', '害怕'],
  ['angry', '生气'],
  ['busy', '忙'],
  ['quiet', '安静'],
  ['safe', '安全'],
  ['two', '二'],
  ['three', '三'],
  ['four', '四'],
  ['five', '五'],
  ['six', '六'],
  ['seven', '七'],
  ['eight', '八'],
  ['nine', '九'],
  ['ten', '十'],
  ['hundred', '百'],
  ['thousand', '千'],
  ['today', '今天'],
  ['tomorrow', '明天'],
  ['yesterday', '昨天'],
  ['always', '总是']
]);

// The dealable words in frequency order: [{word, rank, meaning, meanings,
// near}], rank counting from 1 in the whole list, meaning the one shown on a
// tile, near the words (from the data's "near" column, when it has one)
// whose meaning could be taken for this word's.
export function dealableWords(data) {
  const cols = data && Array.isArray(data.columns) ? data.columns : [];
  const col = (name) => cols.indexOf(name);
  const [iWord, iMeanings, iSure, iNear] = [col('word'), col('meanings'), col('sure'), col('near')];
  if (iWord < 0 || iMeanings < 0 || !Array.isArray(data.rows)) throw new Error('words.json has no word or meanings column');
  const words = [];
  data.rows.forEach((row, i) => {
    const word = row[iWord];
    const meanings = Array.isArray(row[iMeanings]) ? row[iMeanings].filter((m) => typeof m === 'string' && m) : [];
    if (typeof word !== 'string' || !word) return;
    const near = iNear >= 0 && Array.isArray(row[iNear]) ? row[iNear].filter((w) => typeof w === 'string') : [];
    if (iSure >= 0) {
      if (row[iSure] === 1 && meanings.length) words.push({ word, rank: i + 1, meaning: meanings[0], meanings, near });
    } else if (CHECKED.has(word)) {
      const meaning = CHECKED.get(word);
      words.push({ word, rank: i + 1, meaning, meanings: [meaning], near });
    }
  });
  return words;
}

// The slice of words (from dealableWords) that a level draws on: level 1
// the most frequent, each later level the next, rarer stretch.
export function levelBand(words, level) {
  const from = level > 1 ? LEVELS[level - 2].words : 0;
  return words.slice(Math.min(from, words.length), Math.min(LEVELS[level - 1].words, words.length));
}

// How many levels the data can fill: a level needs twice its pairs in its
// band, so that boards differ from one game to the next.
export function levelCount(words) {
  let n = 0;
  while (n < LEVELS.length) {
    const l = LEVELS[n];
    if (levelBand(words, n + 1).length < l.rows * l.cols) break;
    ++n;
  }
  return n;
}

// count words from band, no two of which could be taken for each other's
// meaning: a tile's meaning is no meaning of any other word on the board,
// and no word is near another. Returns [{pair, word, meaning, meanings,
// near, rank}], or null if the band is short.
export function pickWords(band, count, rng) {
  const chosen = [];
  const shown = new Set();
  const taken = new Set();
  const words = new Set();
  const nearChosen = new Set();
  for (const w of rng.shuffle(band.slice())) {
    if (chosen.length === count) break;
    if (taken.has(w.meaning) || w.meanings.some((m) => shown.has(m))) continue;
    if (nearChosen.has(w.word) || (w.near || []).some((n) => words.has(n))) continue;
    chosen.push({ ...w, pair: chosen.length });
    shown.add(w.meaning);
    for (const m of w.meanings) taken.add(m);
    words.add(w.word);
    for (const n of w.near || []) nearChosen.add(n);
  }
  return chosen.length === count ? chosen : null;
}
