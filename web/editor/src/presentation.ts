import { HighlightStyle, syntaxTree } from "@codemirror/language";
import { Prec, RangeSetBuilder, type Extension } from "@codemirror/state";
import { highlightTree } from "@lezer/highlight";
import type { Tree } from "@lezer/common";
import { eachPart } from "./sections";
import { Decoration, type DecorationSet, EditorView, ViewPlugin, type ViewUpdate, WidgetType } from "@codemirror/view";
import { tags as t } from "@lezer/highlight";

// Colours come from CSS custom properties so a theme switch is a class change on the
// root element: no reconfiguration, no re-highlighting of a large note.
const highlight = HighlightStyle.define([
  { tag: t.heading1, fontWeight: "700", fontSize: "1.45em" },
  { tag: t.heading2, fontWeight: "700", fontSize: "1.25em" },
  { tag: t.heading3, fontWeight: "700", fontSize: "1.1em" },
  { tag: [t.heading4, t.heading5, t.heading6], fontWeight: "700" },
  { tag: t.strong, fontWeight: "700" },
  { tag: t.emphasis, fontStyle: "italic" },
  { tag: t.strikethrough, textDecoration: "line-through", color: "var(--fl-muted)" },
  { tag: t.link, color: "var(--fl-link)" },
  { tag: t.url, color: "var(--fl-link)", textDecoration: "underline", textDecorationColor: "var(--fl-link-line)" },
  { tag: t.processingInstruction, color: "var(--fl-mark)" },
  { tag: t.monospace, fontFamily: "var(--fl-mono)", fontSize: "0.92em" },
  { tag: t.quote, color: "var(--fl-muted)" },
  { tag: t.contentSeparator, color: "var(--fl-mark)" },
  { tag: t.atom, color: "var(--fl-mark)" },
  // Code inside fenced blocks.
  { tag: [t.keyword, t.modifier, t.controlKeyword, t.operatorKeyword], color: "var(--fl-code-keyword)" },
  { tag: [t.string, t.special(t.string), t.regexp], color: "var(--fl-code-string)" },
  { tag: [t.number, t.bool, t.null], color: "var(--fl-code-number)" },
  { tag: [t.comment, t.lineComment, t.blockComment], color: "var(--fl-code-comment)", fontStyle: "italic" },
  { tag: [t.function(t.variableName), t.function(t.propertyName)], color: "var(--fl-code-function)" },
  { tag: [t.typeName, t.className, t.namespace], color: "var(--fl-code-type)" },
  { tag: [t.tagName, t.attributeName], color: "var(--fl-code-keyword)" },
  { tag: [t.propertyName, t.definition(t.variableName)], color: "var(--fl-code-property)" },
  { tag: t.meta, color: "var(--fl-mark)" },
  { tag: t.invalid, color: "var(--fl-code-invalid)" },
]);

class TaskBox extends WidgetType {
  constructor(readonly checked: boolean) {
    super();
  }
  eq(other: TaskBox): boolean {
    return other.checked === this.checked;
  }
  toDOM(): HTMLElement {
    const box = document.createElement("span");
    box.className = "cm-fl-task" + (this.checked ? " cm-fl-task-done" : "");
    box.setAttribute("role", "checkbox");
    box.setAttribute("aria-checked", String(this.checked));
    return box;
  }
  // The click is handled by the editor's own mousedown handler, which knows the
  // document position; letting the event through keeps that in one place.
  ignoreEvent(): boolean {
    return false;
  }
}

// Line classes; the lines of one position are merged into a single decoration below.
const headingLines = [1, 2, 3, 4, 5, 6].map((n) => `cm-fl-h cm-fl-h${n}`);
const quoteLine = "cm-fl-quote";
const codeLine = "cm-fl-code";
const codeFirst = "cm-fl-code cm-fl-code-first";
const codeLast = "cm-fl-code cm-fl-code-last";
const codeOnly = "cm-fl-code cm-fl-code-first cm-fl-code-last";
const taskDoneLine = "cm-fl-task-line-done";
const boxes = [new TaskBox(false), new TaskBox(true)].map((widget) => Decoration.replace({ widget }));

function build(view: EditorView): DecorationSet {
  const { state } = view;
  // Line decorations must be added in document order, and several syntax nodes can
  // claim one line (a code block inside a quote); collect, then merge per line.
  const lines = new Map<number, string[]>();
  const replaces: { from: number; to: number; deco: Decoration }[] = [];
  // Only the lines inside the visible range are decorated: a fenced block can be the
  // whole of a large note, and every keystroke rebuilds this set.
  let visFrom = 0;
  let visTo = 0;
  const addLines = (from: number, to: number, pick: (i: number, n: number) => string) => {
    const first = state.doc.lineAt(from).number;
    const last = state.doc.lineAt(to).number;
    const start = state.doc.lineAt(Math.max(from, visFrom)).number;
    const end = state.doc.lineAt(Math.min(to, visTo)).number;
    for (let n = start; n <= end; n++) {
      const line = state.doc.line(n);
      const cls = pick(n - first, last - first);
      const list = lines.get(line.from);
      if (list) list.push(cls);
      else lines.set(line.from, [cls]);
    }
  };
  for (const { from, to } of view.visibleRanges) {
    visFrom = from;
    visTo = to;
    syntaxTree(state).iterate({
      from,
      to,
      enter(node) {
        const name = node.name;
        const heading = /^ATXHeading([1-6])$/.exec(name) ?? /^SetextHeading([12])$/.exec(name);
        if (heading) {
          addLines(node.from, node.to, () => headingLines[Number(heading[1]) - 1]);
        } else if (name === "Blockquote") {
          addLines(node.from, node.to, () => quoteLine);
        } else if (name === "FencedCode" || name === "CodeBlock") {
          addLines(node.from, node.to, (i, n) => (n === 0 ? codeOnly : i === 0 ? codeFirst : i === n ? codeLast : codeLine));
          // Inner code is highlighted by its own language; nothing more to add here.
        } else if (name === "TaskMarker") {
          const checked = /x/i.test(state.sliceDoc(node.from + 1, node.to - 1));
          replaces.push({ from: node.from, to: node.to, deco: boxes[checked ? 1 : 0] });
          if (checked) addLines(node.from, node.from, () => taskDoneLine);
        }
      },
    });
  }
  const builder = new RangeSetBuilder<Decoration>();
  const starts = [...new Set([...lines.keys(), ...replaces.map((r) => r.from)])].sort((a, b) => a - b);
  const byStart = new Map(replaces.map((r) => [r.from, r]));
  for (const pos of starts) {
    const cls = lines.get(pos);
    if (cls) builder.add(pos, pos, Decoration.line({ class: [...new Set(cls.join(" ").split(" "))].join(" ") }));
    const r = byStart.get(pos);
    if (r) builder.add(r.from, r.to, r.deco);
  }
  return builder.finish();
}

const decorations = ViewPlugin.fromClass(
  class {
    decorations: DecorationSet;
    constructor(view: EditorView) {
      this.decorations = build(view);
    }
    update(u: ViewUpdate) {
      if (u.docChanged || u.viewportChanged || syntaxTree(u.startState) !== syntaxTree(u.state)) {
        this.decorations = build(u.view);
      }
    }
  },
  { decorations: (v) => v.decorations },
);

/** The document position of a task box element, if `target` is one. */
export function taskBoxAt(view: EditorView, target: EventTarget | null): number | null {
  if (!(target instanceof HTMLElement) || !target.classList.contains("cm-fl-task")) return null;
  const pos = view.posAtDOM(target);
  return view.state.sliceDoc(pos, pos + 1) === "[" ? pos : null;
}

/** Flips `[ ]` and `[x]` at `pos` as an ordinary, undoable edit. */
export function toggleTask(view: EditorView, pos: number): boolean {
  const mark = view.state.sliceDoc(pos, pos + 3);
  if (!/^\[[ xX]\]$/.test(mark)) return false;
  const insert = mark[1] === " " ? "x" : " ";
  view.dispatch({ changes: { from: pos + 1, to: pos + 2, insert }, userEvent: "input.toggle" });
  return true;
}

// Syntax highlighting as the library's own plugin does it, except that the walk to
// the visible text starts at the section holding it: the library's walk steps through
// every top-level block before the viewport, milliseconds per keystroke near the end
// of a large note.
const marks = new Map<string, Decoration>();
const markFor = (cls: string) => {
  let mark = marks.get(cls);
  if (!mark) marks.set(cls, (mark = Decoration.mark({ class: cls })));
  return mark;
};

class Highlighter {
  tree: Tree;
  decorations: DecorationSet;
  decoratedTo: number;
  constructor(view: EditorView) {
    this.tree = syntaxTree(view.state);
    this.decorations = this.build(view);
    this.decoratedTo = view.viewport.to;
  }
  update(u: ViewUpdate) {
    const tree = syntaxTree(u.state);
    const { viewport } = u.view;
    const decoratedTo = u.changes.mapPos(this.decoratedTo, 1);
    if (tree.length < viewport.to && tree.type === this.tree.type && decoratedTo >= viewport.to) {
      // The parser has not reached the viewport's end yet; keep the old colours
      // rather than flashing the unparsed rest plain.
      this.decorations = this.decorations.map(u.changes);
      this.decoratedTo = decoratedTo;
    } else if (tree !== this.tree || u.viewportChanged) {
      this.tree = tree;
      this.decorations = this.build(u.view);
      this.decoratedTo = viewport.to;
    }
  }
  build(view: EditorView): DecorationSet {
    if (!this.tree.length) return Decoration.none;
    const builder = new RangeSetBuilder<Decoration>();
    for (const { from, to } of view.visibleRanges) {
      eachPart(this.tree, from, to, (part, offset) => {
        highlightTree(part, highlight, (a, b, cls) => builder.add(a + offset, b + offset, markFor(cls)), from - offset, to - offset);
      });
    }
    return builder.finish();
  }
}

const syntaxColours: Extension = [
  Prec.high(ViewPlugin.fromClass(Highlighter, { decorations: (v) => v.decorations })),
  highlight.module ? EditorView.styleModule.of(highlight.module) : [],
];

export const presentation: Extension = [syntaxColours, decorations];
