import { syntaxTree } from "@codemirror/language";
import type { EditorState } from "@codemirror/state";
import type { SyntaxNode } from "@lezer/common";

export interface LinkHit {
  /** The link as written in the note; the host decides whether it can be opened. */
  url: string;
  /** The stretch of text a click opens (the whole link, not only its target). */
  from: number;
  to: number;
}

function urlText(state: EditorState, node: SyntaxNode): string {
  const raw = state.sliceDoc(node.from, node.to);
  // `[a](<b c>)` keeps its angle brackets inside the URL node; they are syntax.
  return raw.length >= 2 && raw.startsWith("<") && raw.endsWith(">") ? raw.slice(1, -1) : raw;
}

function normalizeLabel(label: string): string {
  return label.replace(/^\[|\]$/g, "").trim().replace(/\s+/g, " ").toLowerCase();
}

/** Follows `[text][label]`, `[label][]` and `[label]` to their definition. */
function resolveReference(state: EditorState, label: string): string | null {
  const want = normalizeLabel(label);
  let found: string | null = null;
  syntaxTree(state).iterate({
    enter(node) {
      if (found !== null) return false;
      if (node.name !== "LinkReference") return node.name === "Document" || node.name === "Blockquote" || node.name.endsWith("List") || node.name === "ListItem";
      const labelNode = node.node.getChild("LinkLabel");
      const url = node.node.getChild("URL");
      if (labelNode && url && normalizeLabel(state.sliceDoc(labelNode.from, labelNode.to)) === want) {
        found = urlText(state, url);
      }
      return false;
    },
  });
  return found;
}

function hitFor(state: EditorState, node: SyntaxNode): LinkHit | null {
  switch (node.name) {
    case "Link": {
      const url = node.getChild("URL");
      if (url) return { url: urlText(state, url), from: node.from, to: node.to };
      const label = node.getChild("LinkLabel");
      const text = state.sliceDoc(node.from, node.to);
      const ref = label
        ? resolveReference(state, state.sliceDoc(label.from, label.to))
        : resolveReference(state, text.replace(/\[\]$/, ""));
      return ref === null ? null : { url: ref, from: node.from, to: node.to };
    }
    case "Autolink": {
      const url = node.getChild("URL");
      return url ? { url: urlText(state, url), from: node.from, to: node.to } : null;
    }
    case "URL": {
      // A bare URL found by the autolink extension; URLs inside links, images and
      // definitions are handled (or deliberately ignored) by their parents.
      const parent = node.parent?.name;
      if (parent === "Link" || parent === "Autolink" || parent === "Image" || parent === "LinkReference") return null;
      return { url: urlText(state, node), from: node.from, to: node.to };
    }
  }
  return null;
}

/** The link under document position `pos`, if any. */
export function linkAt(state: EditorState, pos: number): LinkHit | null {
  const tree = syntaxTree(state);
  for (const side of [1, -1] as const) {
    for (let node: SyntaxNode | null = tree.resolveInner(pos, side); node; node = node.parent) {
      if (node.name === "Image") break;
      const hit = hitFor(state, node);
      if (hit) return hit;
    }
  }
  return null;
}
