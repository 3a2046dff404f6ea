import { type Input, NodeType, Parser, type PartialParse, Tree, TreeFragment } from "@lezer/common";
import { ensureSyntaxTree, Language, LanguageSupport, ParseContext, syntaxTree } from "@codemirror/language";
import { EditorState, type Extension, type StateField } from "@codemirror/state";
import { type EditorView, ViewPlugin, type ViewUpdate } from "@codemirror/view";

// Re-parsing Markdown after an edit costs time in proportion to the whole note, not
// to the edit: the parser rebuilds and rebalances the note's flat list of top-level
// blocks (and re-walks it for fenced code), which at a megabyte is 10-25 ms of every
// keystroke. This parser cuts a large note into sections at places where Markdown
// cannot carry anything across, parses each section on its own with the Markdown
// parser, and reuses untouched sections as they are, so an edit re-parses only the
// section it lands in. The result is the tree the plain parser would build, except
// that top-level blocks are grouped under anonymous nodes, which cursors skip.

/** Notes below this size are parsed in one piece; their re-parse is cheap enough. */
const minSectioned = 64 * 1024;
/** Roughly how much text a section holds. */
const sectionSize = 8 * 1024;
/** How far the text on screen must lie beyond the parse before the gap is skipped. */
const skipDistance = 4 * sectionSize;

interface Section {
  /** Start in the document the tree was parsed from. */
  from: number;
  tree: Tree;
}

// The sections behind every tree this parser built, so the next parse can find them
// through the fragments the editor hands back.
const sectionsOf = new WeakMap<Tree, Section[]>();
// Stretches left unparsed because the screen shows text far beyond them (see
// `skipToViewport`); never reused as if they had been parsed.
const placeholders = new WeakSet<Tree>();

const blankLine = /^[ \t]*$/;
// A line that could carry on a list or an indented block from above it.
const continuation = /^(?:[ \t]|[-+*](?:[ \t]|$)|\d{1,9}[.)](?:[ \t]|$))/;

class SectionedParse implements PartialParse {
  stoppedAt: number | null = null;
  private done: Section[] = [];
  /** Start of the text not yet covered by `done`. */
  private pos = 0;
  /** The section being parsed: its range and its parse. */
  private current: { from: number; to: number; parse: PartialParse } | null = null;
  /** Old sections that are still valid, in document coordinates, in order. */
  private reusable: Section[];
  private docType: NodeType | null = null;

  constructor(
    private readonly inner: Parser,
    private readonly input: Input,
    private readonly fragments: readonly TreeFragment[],
  ) {
    this.reusable = findReusable(fragments);
  }

  get parsedPos(): number {
    return this.current ? Math.max(this.pos, this.current.parse.parsedPos) : this.pos;
  }

  stopAt(pos: number): void {
    this.stoppedAt = pos;
    if (this.current && this.current.to > pos) this.current.parse.stopAt(pos);
  }

  advance(): Tree | null {
    const length = this.input.length;
    if (!this.current) {
      if (this.pos >= length || (this.stoppedAt !== null && this.pos >= this.stoppedAt)) return this.finish();
      // An old section starting here is taken whole, as long as the text before
      // it still ends the way a cut needs.
      while (this.reusable.length && this.reusable[0].from < this.pos) this.reusable.shift();
      const next = this.reusable[0];
      if (next && next.from === this.pos) {
        this.reusable.shift();
        this.push(next);
        return null;
      }
      if (this.skipToViewport()) return null;
      this.start(this.pos, this.cutAfter(this.pos));
      return null;
    }
    const tree = this.current.parse.advance();
    if (!tree) return null;
    const { from, to } = this.current;
    this.current = null;
    if (tree.length < to - from) {
      // Stopped early on request; what was parsed is all this parse returns.
      this.push({ from, tree });
      return this.finish();
    }
    if (to < length && !endsClosed(tree, this.input, to)) {
      // Something here runs on past the cut (an unclosed fence or HTML block, a
      // list going on): parse again to the next possible cut.
      this.start(from, this.cutAfter(to));
      return null;
    }
    this.push({ from, tree });
    return null;
  }

  /**
   * A note opened with the screen far into it (the cursor at its end) would have every
   * keystroke there parse on towards the screen inside the keystroke, 20 ms at a time,
   * until the whole stretch in between is done. Like the library's own stream parsers,
   * the stretch is left as an empty placeholder that the editor parses again once it
   * is scrolled into view; the background parse fills it in meanwhile (it parses with
   * the whole note as its viewport).
   */
  private skipToViewport(): boolean {
    const cx = ParseContext.get();
    if (!cx) return false;
    const { from } = cx.viewport;
    if (from - sectionSize - this.pos < skipDistance) return false;
    if (this.stoppedAt !== null && this.stoppedAt < from) return false;
    const cut = findCut(this.input, from - sectionSize, from);
    if (cut >= from || !cutHere(this.input, cut)) return false;
    const tree = new Tree(NodeType.none, [], [], cut - this.pos);
    placeholders.add(tree);
    cx.skipUntilInView(this.pos, cut);
    this.done.push({ from: this.pos, tree });
    this.pos = cut;
    return true;
  }

  private start(from: number, to: number): void {
    const parse = this.inner.startParse(this.input, this.fragments, [{ from, to }]);
    if (this.stoppedAt !== null && this.stoppedAt < to) parse.stopAt(this.stoppedAt);
    this.current = { from, to, parse };
  }

  private push(section: Section): void {
    this.done.push(section);
    this.docType ??= section.tree.type;
    this.pos = section.from + section.tree.length;
  }

  /**
   * Where the section starting at `from` should end: at the first possible cut after
   * a section's worth of text, at an old section's start when one comes first, or at
   * the end of the note.
   */
  private cutAfter(from: number): number {
    const length = this.input.length;
    const next = this.reusable.find((s) => s.from > from);
    const limit = next ? next.from : length;
    if (limit - from <= sectionSize * 2) return limit;
    return Math.min(findCut(this.input, from + sectionSize, limit), limit);
  }

  private finish(): Tree {
    const sections = this.done;
    const type = this.docType ?? this.inner.parse("").type;
    const length = sections.length ? this.pos : 0;
    const tree = new Tree(
      type,
      // Anonymous groups, like the ones the library itself balances trees with.
      sections.map((s) => new Tree(NodeType.none, s.tree.children, s.tree.positions, s.tree.length)),
      sections.map((s) => s.from),
      length,
    );
    sectionsOf.set(tree, sections);
    return tree;
  }
}

/** The old sections lying wholly inside unchanged text, moved to their new places. */
function findReusable(fragments: readonly TreeFragment[]): Section[] {
  const out: Section[] = [];
  for (const f of fragments) {
    const sections = sectionsOf.get(f.tree);
    if (!sections) continue;
    for (const s of sections) {
      const from = s.from - f.offset;
      const to = from + s.tree.length;
      // A section touching an open edge of the fragment may have been cut short or
      // may now continue into changed text.
      if (from < f.from || to > f.to || (from === f.from && f.openStart) || (to === f.to && f.openEnd)) continue;
      if (placeholders.has(s.tree)) continue;
      out.push({ from, tree: s.tree });
    }
  }
  return out.sort((a, b) => a.from - b.from);
}

function lineAt(input: Input, pos: number): { from: number; to: number; text: string } {
  // Lines in notes are short; reading a window around the position is enough, and
  // a very long line just widens the window.
  let from = pos;
  let back = 256;
  for (;;) {
    const start = Math.max(0, from - back);
    const text = input.read(start, from);
    const nl = text.lastIndexOf("\n");
    if (nl >= 0) {
      from = start + nl + 1;
      break;
    }
    if (start === 0) {
      from = 0;
      break;
    }
    back *= 4;
  }
  let to = pos;
  let ahead = 256;
  for (;;) {
    const end = Math.min(input.length, to + ahead);
    const text = input.read(to, end);
    const nl = text.indexOf("\n");
    if (nl >= 0) {
      to += nl;
      break;
    }
    if (end === input.length) {
      to = end;
      break;
    }
    ahead *= 4;
  }
  return { from, to, text: input.read(from, to) };
}

/**
 * Whether the text can be cut at `pos`, a line start: the line before is blank and
 * the line at `pos` starts a fresh top-level block that cannot continue anything.
 */
function cutHere(input: Input, pos: number): boolean {
  if (pos <= 0 || pos >= input.length) return false;
  if (input.read(pos - 1, pos) !== "\n") return false;
  const line = lineAt(input, pos);
  if (line.text === "" || continuation.test(line.text) || blankLine.test(line.text)) return false;
  return blankLine.test(lineAt(input, pos - 1).text);
}

/** The first possible cut at or after `from`, or `limit` if there is none before it. */
function findCut(input: Input, from: number, limit: number): number {
  let pos = from;
  while (pos < limit) {
    const end = Math.min(limit, pos + 4096);
    const text = input.read(pos, end);
    for (let i = text.indexOf("\n\n"); i >= 0; i = text.indexOf("\n\n", i + 1)) {
      if (cutHere(input, pos + i + 2)) return pos + i + 2;
    }
    // A cut straddling the window edge is found by the next window's overlap.
    if (end === limit) break;
    pos = end - 1;
  }
  return limit;
}

/**
 * Whether a section parsed up to `to` really ends there: the cut is still a valid one
 * and the section's last block ended before the blank line in front of it. A block
 * that reaches the cut (an unclosed fence, an HTML block waiting for its end marker)
 * would have gone on past it.
 */
function endsClosed(tree: Tree, input: Input, to: number): boolean {
  if (!cutHere(input, to)) return false;
  const last = tree.topNode.lastChild;
  if (!last) return true;
  const lastEnd = last.to + (to - tree.length);
  return lastEnd < lineAt(input, to - 1).from;
}

export class SectionedParser extends Parser {
  constructor(readonly inner: Parser) {
    super();
  }

  createParse(input: Input, fragments: readonly TreeFragment[], ranges: readonly { from: number; to: number }[]): PartialParse {
    const whole = ranges.length === 1 && ranges[0].from === 0 && ranges[0].to === input.length;
    if (!whole || input.length < minSectioned) return this.inner.startParse(input, fragments, ranges);
    return new SectionedParse(this.inner, input, fragments);
  }
}

/** The same language support, parsing large notes in sections. */
export function sectioned(support: LanguageSupport): LanguageSupport {
  const { language } = support;
  return new LanguageSupport(new Language(language.data, new SectionedParser(language.parser), [], language.name), support.support);
}

// The editor parses only a little past what is on screen. In a large note, jumping to
// its end (or searching) then leaves the first keystrokes there to parse everything
// in between, tens of milliseconds each. Parsing the rest in idle time means the whole
// tree is usually ready before the user gets there, and with sections a complete tree
// is cheap to keep up to date. Typing comes first: slices are short enough to sit
// between two frames, and none starts while input is waiting to be handled.
const maxSliceMs = 6;

interface Scheduling {
  isInputPending?(): boolean;
}
const inputPending = (): boolean => {
  const scheduling = (navigator as Navigator & { scheduling?: Scheduling }).scheduling;
  return typeof scheduling?.isInputPending === "function" && scheduling.isInputPending();
};

class ParseAhead {
  private pending: number | null = null;

  constructor(private readonly view: EditorView) {
    this.schedule();
  }

  update(update: ViewUpdate): void {
    if (update.docChanged || syntaxTree(update.startState) !== syntaxTree(update.state)) this.schedule();
  }

  private schedule(): void {
    if (this.pending !== null) return;
    const run = (deadline?: IdleDeadline) => {
      this.pending = null;
      const { state } = this.view;
      if (state.doc.length < minSectioned) return;
      if (inputPending()) {
        this.schedule();
        return;
      }
      const budget = deadline ? Math.min(maxSliceMs, Math.max(2, deadline.timeRemaining() - 1)) : 4;
      const tree = ensureSyntaxTree(state, state.doc.length, budget);
      if (!tree) this.schedule();
      // A finished tree reaches the view (and its highlighting) like any other.
      else if (tree !== syntaxTree(state)) this.view.dispatch({});
    };
    this.pending = typeof requestIdleCallback === "function" ? requestIdleCallback(run, { timeout: 500 }) : window.setTimeout(() => run(), 20);
  }

  destroy(): void {
    if (this.pending === null) return;
    if (typeof cancelIdleCallback === "function") cancelIdleCallback(this.pending);
    else clearTimeout(this.pending);
  }
}

// The language's parse state, which the library keeps internal. Only `takeTree` is used.
interface ParseContextLike {
  takeTree(): void;
}
const languageState = (Language as unknown as { state?: StateField<{ context?: ParseContextLike }> }).state;

// When an edit arrives while a background parse is part-way through the note, the
// library rebuilds its parse state from the fragments it had *before* that parse, and
// then re-parses everything the interrupted parse had covered inside the keystroke's
// own transaction (up to 20 ms). Closing the running parse first makes its progress
// part of the fragments the edit is applied to, so only the edited section is parsed
// again.
const keepParseProgress = EditorState.transactionExtender.of((tr) => {
  if (tr.docChanged && languageState) tr.startState.field(languageState, false)?.context?.takeTree();
  return null;
});

export const parseAhead: Extension = [ViewPlugin.fromClass(ParseAhead), keepParseProgress];

/**
 * Calls `f` with each part of `tree` that overlaps `from`..`to` and where that part
 * starts: the overlapping sections of a sectioned tree, or else the whole tree. Walks
 * that step through a node's children one by one (highlighting does) then cover one
 * section's blocks instead of every block of the note before the range.
 */
export function eachPart(tree: Tree, from: number, to: number, f: (part: Tree, offset: number) => void): void {
  if (!sectionsOf.has(tree)) {
    f(tree, 0);
    return;
  }
  const { children, positions } = tree;
  for (let i = 0; i < children.length; i++) {
    const start = positions[i];
    const part = children[i] as Tree;
    if (start > to) break;
    if (start + part.length >= from) f(part, start);
  }
}
