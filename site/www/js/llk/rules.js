// The link rule of 连连看. A board is {rows, cols, cells}: cells holds
// rows * cols entries in row-major order, each a tile {id, pair, kind, text}
// or null once removed. Two tiles join when a line of at most three straight
// segments runs between them through empty cells; the ring of cells just
// outside the board (row -1 and rows, column -1 and cols) is always empty.

export const MAX_TURNS = 2;

const DIRS = [[-1, 0], [1, 0], [0, -1], [0, 1]];

export function tileAt(board, r, c) {
  if (r < 0 || c < 0 || r >= board.rows || c >= board.cols) return null;
  return board.cells[r * board.cols + c];
}

// Walks out from the cell a in straight runs through empty cells, breadth
// first by segments: every cell a run from the previous round reaches costs
// one more turn than they did, up to MAX_TURNS. Each run that ends on a tile
// is reported as reached(r, c, corner), corner being the cell the run set
// out from; the walk stops when reached returns true. Returns the map from
// each cell set out from to the corner its own run came from.
function sweep(board, a, reached) {
  const inRange = (r, c) => r >= -1 && c >= -1 && r <= board.rows && c <= board.cols;
  const key = (r, c) => (r + 1) * (board.cols + 2) + (c + 1);
  const from = new Map([[key(a.r, a.c), null]]);
  let frontier = [{ r: a.r, c: a.c, dir: -1 }];
  for (let turns = 0; turns <= MAX_TURNS && frontier.length; ++turns) {
    const next = [];
    for (const cell of frontier) {
      for (let d = 0; d < 4; ++d) {
        if (d === cell.dir) continue;
        const [dr, dc] = DIRS[d];
        for (let r = cell.r + dr, c = cell.c + dc; inRange(r, c); r += dr, c += dc) {
          if (tileAt(board, r, c)) {
            if (reached(r, c, cell)) return { from, key };
            break;
          }
          const k = key(r, c);
          if (!from.has(k)) {
            from.set(k, cell);
            next.push({ r, c, dir: d });
          }
        }
      }
    }
    frontier = next;
  }
  return { from, key };
}

// The line from a to b as its corner points (a, up to two turns, b), or null
// when no line with at most two turns exists. a and b are tiles' {r, c}.
export function findLink(board, a, b) {
  if (a.r === b.r && a.c === b.c) return null;
  let corner = null;
  const { from, key } = sweep(board, a, (r, c, cell) => {
    if (r !== b.r || c !== b.c) return false;
    corner = cell;
    return true;
  });
  if (!corner) return null;
  const points = [b];
  for (let p = corner; !(p.r === a.r && p.c === a.c); p = from.get(key(p.r, p.c))) points.push(p);
  points.push(a);
  return points.reverse().map(({ r, c }) => ({ r, c }));
}

// The tiles that a line with at most two turns joins to the cell a, as
// board indexes. Dealing uses it on boards of stand-in tiles.
export function tilesReachable(board, a) {
  const hit = new Set();
  sweep(board, a, (r, c) => {
    hit.add(r * board.cols + c);
    return false;
  });
  hit.delete(a.r * board.cols + a.c);
  return hit;
}

// Whether selecting a then b removes them: {ok: true, path} or {ok: false,
// reason} with reason 'same' (one tile twice), 'empty', 'notPair' (not a
// word and its meaning) or 'noPath' (a pair that cannot be joined yet).
export function tryPair(board, a, b) {
  if (a.r === b.r && a.c === b.c) return { ok: false, reason: 'same' };
  const ta = tileAt(board, a.r, a.c);
  const tb = tileAt(board, b.r, b.c);
  if (!ta || !tb) return { ok: false, reason: 'empty' };
  if (ta.pair !== tb.pair || ta.kind === tb.kind) return { ok: false, reason: 'notPair' };
  const path = findLink(board, a, b);
  return path ? { ok: true, path } : { ok: false, reason: 'noPath' };
}

export function remove(board, a, b) {
  board.cells[a.r * board.cols + a.c] = null;
  board.cells[b.r * board.cols + b.c] = null;
}

// Positions of each pair still on the board: Map pair -> [{r, c}, {r, c}].
export function pairPositions(board) {
  const byPair = new Map();
  board.cells.forEach((t, i) => {
    if (!t) return;
    const p = { r: Math.floor(i / board.cols), c: i % board.cols };
    if (!byPair.has(t.pair)) byPair.set(t.pair, []);
    byPair.get(t.pair).push(p);
  });
  return byPair;
}

// Every pair that could be removed now, as [{r, c}, {r, c}] in board order.
export function removablePairs(board) {
  const found = [];
  for (const [, pos] of pairPositions(board)) {
    if (pos.length === 2 && findLink(board, pos[0], pos[1])) found.push(pos);
  }
  return found;
}

export function tilesLeft(board) {
  return board.cells.reduce((n, t) => n + (t ? 1 : 0), 0);
}
