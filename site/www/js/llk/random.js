// A small seeded generator, so a deal can be repeated from its seed.
export function makeRandom(seed) {
  let s = seed >>> 0;
  const next = () => {
    s = (s + 0x6d2b79f5) >>> 0;
    let t = s;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  next.int = (n) => Math.floor(next() * n);
  next.shuffle = (list) => {
    for (let i = list.length - 1; i > 0; --i) {
      const j = next.int(i + 1);
      [list[i], list[j]] = [list[j], list[i]];
    }
    return list;
  };
  return next;
}

export function randomSeed() {
  return Math.floor(Math.random() * 4294967296) >>> 0;
}
