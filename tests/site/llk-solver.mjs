// A solver for 连连看 boards written apart from the game's own code, so the
// tests do not take the game's word for what can be joined. A line with at
// most two turns is A -> P -> Q -> B, each leg straight and through empty
// cells, P in A's row or column and Q in B's.

export function occupied(board, r, c) {
  return r >= 0 && c >= 0 && r < board.rows && c < board.cols && board.cells[r * board.cols + c] !== null;
}

// A zero-length leg (p is q) is clear.
function clearLeg(board, p, q) {
  if (p.r !== q.r && p.c !== q.c) return false;
  const dr = Math.sign(q.r - p.r);
  const dc = Math.sign(q.c - p.c);
  for (let r = p.r + dr, c = p.c + dc; r !== q.r || c !== q.c; r += dr, c += dc) {
    if (occupied(board, r, c)) return false;
  }
  return true;
}

function lineOf(board, p) {
  const points = [];
  for (let r = -1; r <= board.rows; ++r) points.push({ r, c: p.c });
  for (let c = -1; c <= board.cols; ++c) points.push({ r: p.r, c });
  return points;
}

export function joinable(board, a, b) {
  if (a.r === b.r && a.c === b.c) return false;
  const free = (p, end) => (p.r === end.r && p.c === end.c) || !occupied(board, p.r, p.c);
  for (const p of lineOf(board, a)) {
    if (!free(p, a) || !clearLeg(board, a, p)) continue;
    for (const q of lineOf(board, b)) {
      if (!free(q, b)) continue;
      const pq = (p.r === q.r && p.c === q.c) || clearLeg(board, p, q);
      const qb = (q.r === b.r && q.c === b.c) || clearLeg(board, q, b);
      if (pq && qb) return true;
    }
  }
  return false;
}

// Checks a line the game drew: starts at a, ends at b, at most two turns,
// straight legs through empty cells inside the board and its outer ring.
export function validLine(board, a, b, points) {
  if (!points || points.length < 2 || points.length > 4) return false;
  const [first, last] = [points[0], points[points.length - 1]];
  if (first.r !== a.r || first.c !== a.c || last.r !== b.r || last.c !== b.c) return false;
  for (const p of points) if (p.r < -1 || p.c < -1 || p.r > board.rows || p.c > board.cols) return false;
  for (let i = 0; i + 1 < points.length; ++i) if (!clearLeg(board, points[i], points[i + 1])) return false;
  for (let i = 1; i + 1 < points.length; ++i) if (occupied(board, points[i].r, points[i].c)) return false;
  return true;
}

// Removing a pair only opens lines, so taking any joinable pair each time
// clears the board exactly when some order does. Returns the tiles left.
export function solve(original) {
  const board = { rows: original.rows, cols: original.cols, cells: original.cells.slice() };
  for (;;) {
    const byPair = new Map();
    board.cells.forEach((t, i) => {
      if (t) byPair.set(t.pair, [...(byPair.get(t.pair) || []), { r: Math.floor(i / board.cols), c: i % board.cols }]);
    });
    let removed = false;
    for (const pos of byPair.values()) {
      if (pos.length === 2 && joinable(board, pos[0], pos[1])) {
        for (const p of pos) board.cells[p.r * board.cols + p.c] = null;
        removed = true;
        break;
      }
    }
    if (!removed) return board.cells.filter((t) => t).length;
  }
}
