import type { Text } from "@codemirror/state";

// Every edit reports the whole note to the host, and flattening a large document line
// by line costs tens of milliseconds per keystroke at a megabyte. The document is a
// tree whose untouched branches are shared between versions, so each branch's text is
// remembered: an edit re-joins only the branches on the path to the changed lines.
const caches = new Map<string, WeakMap<Text, string>>();

function joined(node: Text, eol: string, cache: WeakMap<Text, string>): string {
  const hit = cache.get(node);
  if (hit !== undefined) return hit;
  const children = node.children;
  // Children hold whole lines; the break between two children is implied.
  const text = children ? children.map((child) => joined(child, eol, cache)).join(eol) : node.sliceString(0, node.length, eol);
  cache.set(node, text);
  return text;
}

/** The whole document as one string, with `eol` between lines. */
export function documentText(doc: Text, eol: string): string {
  let cache = caches.get(eol);
  if (!cache) caches.set(eol, (cache = new WeakMap()));
  return joined(doc, eol, cache);
}
