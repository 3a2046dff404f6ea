import { ChangeSet, Text } from "@codemirror/state";
import { type LineEnds, splitLines } from "./lineEnds";

// The host merges another program's version of the note into the text the page last
// reported, and hands back only what changed: [from, to, insert] triples in offsets
// of that text as reported (its line breaks spelled out), in order.

export type HostEdit = [from: number, to: number, insert: string];

/** Whether `insert` spells its line breaks the way the note does. */
function fitsLineEnds(insert: string, ends: LineEnds): boolean {
  if (ends.exact) return true;
  if (ends.eol === "\n") return !insert.includes("\r");
  if (ends.eol === "\r") return !insert.includes("\n");
  return !/\r(?!\n)|(?<!\r)\n/.test(insert);
}

/**
 * The host's edits as a change set on `doc` (the document as reported), or null when
 * they do not fit it: out of order or range, in the middle of a CR LF, or with line
 * breaks of another style (the host then sends the whole text instead).
 */
export function hostChanges(edits: unknown, doc: Text, ends: LineEnds): ChangeSet | null {
  if (!Array.isArray(edits)) return null;
  // In a CR LF note each break is two characters reported and one in the document.
  const extra = !ends.exact && ends.eol === "\r\n" ? 1 : 0;
  const position = (offset: number): number | null => {
    if (extra === 0) return offset <= doc.length ? offset : null;
    let low = 1;
    let high = doc.lines;
    while (low < high) {
      const mid = (low + high + 1) >> 1;
      if (doc.line(mid).from + (mid - 1) * extra <= offset) low = mid;
      else high = mid - 1;
    }
    const line = doc.line(low);
    const within = offset - (line.from + (low - 1) * extra);
    return within <= line.length ? line.from + within : null;
  };
  const specs: { from: number; to: number; insert: Text }[] = [];
  let last = 0;
  for (const edit of edits) {
    if (!Array.isArray(edit) || edit.length !== 3) return null;
    const [from, to, insert] = edit as unknown[];
    if (typeof from !== "number" || typeof to !== "number" || typeof insert !== "string") return null;
    if (!Number.isInteger(from) || !Number.isInteger(to) || from < last || to < from) return null;
    if (!fitsLineEnds(insert, ends)) return null;
    const a = position(from);
    const b = position(to);
    if (a === null || b === null) return null;
    specs.push({ from: a, to: b, insert: Text.of(splitLines(insert, ends)) });
    last = to;
  }
  return ChangeSet.of(specs, doc.length);
}
