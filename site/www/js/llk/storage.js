// The learner's progress in the page's storage: the highest level reached,
// the best time per level and the words a hint was needed for. Whatever is
// stored, or if storage cannot be used at all, the page starts fresh rather
// than breaking.

export const KEY = 'qingchuanye.llk';
const VERSION = 1;
const MAX_HINTED = 200;

export function freshProgress() {
  return { highest: 1, best: {}, hinted: [] };
}

// Only well-formed parts of a stored value are kept; the rest starts fresh.
export function parseProgress(text, levelCount) {
  const fresh = freshProgress();
  let v;
  try {
    v = JSON.parse(text);
  } catch {
    return fresh;
  }
  if (!v || typeof v !== 'object' || Array.isArray(v) || v.version !== VERSION) return fresh;
  const isLevel = (n) => Number.isInteger(n) && n >= 1 && n <= levelCount;
  if (isLevel(v.highest)) fresh.highest = v.highest;
  if (v.best && typeof v.best === 'object' && !Array.isArray(v.best)) {
    for (const [k, ms] of Object.entries(v.best)) {
      if (/^\d+$/.test(k) && isLevel(Number(k)) && Number.isFinite(ms) && ms > 0) fresh.best[Number(k)] = ms;
    }
  }
  if (Array.isArray(v.hinted)) {
    const seen = new Set();
    for (const h of v.hinted) {
      if (!h || typeof h.word !== 'string' || typeof h.meaning !== 'string' || !h.word || !h.meaning) continue;
      if (seen.has(h.word)) continue;
      seen.add(h.word);
      fresh.hinted.push({ word: h.word, meaning: h.meaning });
      if (fresh.hinted.length === MAX_HINTED) break;
    }
  }
  return fresh;
}

export function loadProgress(storage, levelCount) {
  try {
    const text = storage ? storage.getItem(KEY) : null;
    return text == null ? freshProgress() : parseProgress(text, levelCount);
  } catch {
    return freshProgress();
  }
}

// False when storage refused (full, disabled): the game goes on unsaved.
export function saveProgress(storage, progress) {
  try {
    storage.setItem(KEY, JSON.stringify({ version: VERSION, ...progress }));
    return true;
  } catch {
    return false;
  }
}

// A finished board: raises the highest level, keeps the better time.
export function recordFinish(progress, level, ms, levelCount) {
  if (level + 1 > progress.highest) progress.highest = Math.min(level + 1, levelCount);
  if (!progress.best[level] || ms < progress.best[level]) progress.best[level] = ms;
  return progress;
}

// A word the learner needed a hint for, newest first.
export function recordHinted(progress, word, meaning) {
  progress.hinted = [{ word, meaning }, ...progress.hinted.filter((h) => h.word !== word)].slice(0, MAX_HINTED);
  return progress;
}
