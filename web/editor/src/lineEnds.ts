// The editor keeps lines without their break characters, so a note has to be told
// how to put them back. A note with one consistent style (LF, CRLF or lone CR) is
// edited normally and written back in that style. A note that mixes styles is held
// split on LF only, with every CR kept as an ordinary character, so it still comes
// back exactly as it went in.

export interface LineEnds {
  /** Joins lines when the text is handed back to the host. */
  eol: "\n" | "\r\n" | "\r";
  /** Mixed styles: split on LF only and keep CRs in the line content. */
  exact: boolean;
}

export const plainLineEnds: LineEnds = { eol: "\n", exact: false };

function count(text: string, ch: string): number {
  let n = 0;
  for (let i = text.indexOf(ch); i >= 0; i = text.indexOf(ch, i + 1)) n++;
  return n;
}

export function detectLineEnds(text: string): LineEnds {
  const cr = count(text, "\r");
  if (cr === 0) return plainLineEnds;
  const lf = count(text, "\n");
  if (lf === 0) return { eol: "\r", exact: false };
  const crlf = count(text, "\r\n");
  if (crlf === cr && crlf === lf) return { eol: "\r\n", exact: false };
  return { eol: "\n", exact: true };
}

export function sameLineEnds(a: LineEnds, b: LineEnds): boolean {
  return a.eol === b.eol && a.exact === b.exact;
}

const anyBreak = /\r\n?|\n/;

/** The lines the editor holds for `text` under the given style. */
export function splitLines(text: string, ends: LineEnds): string[] {
  return text.split(ends.exact ? "\n" : anyBreak);
}

/**
 * The smallest single replacement that turns `a` into `b`: keeping the common head
 * and tail untouched is what lets the cursor, the scroll position and the parse tree
 * survive when the host sends a text that is mostly what the editor already shows.
 */
export function diffRange(a: string, b: string): { from: number; toA: number; toB: number } {
  const max = Math.min(a.length, b.length);
  let from = 0;
  while (from < max && a.charCodeAt(from) === b.charCodeAt(from)) from++;
  // Never split a surrogate pair between the kept head and the replaced middle.
  if (from > 0 && isHighSurrogate(a.charCodeAt(from - 1))) from--;
  let tail = 0;
  const room = max - from;
  while (tail < room && a.charCodeAt(a.length - 1 - tail) === b.charCodeAt(b.length - 1 - tail)) tail++;
  if (tail > 0 && isLowSurrogate(a.charCodeAt(a.length - tail))) tail--;
  return { from, toA: a.length - tail, toB: b.length - tail };
}

function isHighSurrogate(c: number): boolean {
  return c >= 0xd800 && c <= 0xdbff;
}
function isLowSurrogate(c: number): boolean {
  return c >= 0xdc00 && c <= 0xdfff;
}
