// Large notes are parsed in sections (src/sections.ts). Whatever the edit, the tree
// has to be the one a parse of the whole note gives; these edits are the ones that
// reach across a cut: fences and HTML blocks opened and never closed, lists and
// indented text running on, blank lines appearing and vanishing around a cut.
import assert from "node:assert/strict";
import { before, describe, test } from "node:test";
import { markdown, markdownLanguage } from "@codemirror/lang-markdown";
import { ensureSyntaxTree } from "@codemirror/language";
import { EditorState, type Extension } from "@codemirror/state";
import type { Tree } from "@lezer/common";
// Outside a page the grammars are not a script to load: importing them puts them where
// the languages find them.
import "../src/grammars.ts";
import { codeLanguages } from "../src/languages.ts";
import { eachPart, sectioned } from "../src/sections.ts";

function makeNote(size: number): string {
  const blocks = [
    "## Heading",
    "Some *prose* with a [link](https://example.com) and `code`.\nA second line of it.",
    "- [ ] task\n- [x] done\n\n  continued item",
    "> quoted\n> text",
    "```js\nfunction f(a) {\n\n  return a; // sum\n}\n```",
    "    indented code",
    "<div>\nhtml\n</div>",
    "1. one\n2. two",
    "| a | b |\n|---|---|\n| 1 | 2 |",
    "[ref]: https://ref.example/\n\nUses [ref] here.",
  ];
  const parts: string[] = [];
  for (let i = 0, length = 0; length < size; i++) {
    const block = blocks[i % blocks.length] + (i % 7 === 0 ? ` ${i}` : "");
    parts.push(block);
    length += block.length + 2;
  }
  return parts.join("\n\n");
}

function nodes(tree: Tree): string {
  const out: string[] = [];
  tree.iterate({ enter: (n) => void out.push(`${n.name}@${n.from}-${n.to}`) });
  return out.join(" ");
}

const complete = (state: EditorState) => ensureSyntaxTree(state, state.doc.length, 1e9)!;

describe("large notes parsed in sections", () => {
  let whole: Extension;
  let parts: Extension;
  const note = makeNote(100_000);

  before(async () => {
    // Fenced code is parsed by its own language once that is loaded.
    for (const language of codeLanguages) await language.load();
    whole = markdown({ base: markdownLanguage, codeLanguages });
    parts = sectioned(markdown({ base: markdownLanguage, codeLanguages }));
  });

  test("a large note really is cut into sections", () => {
    const tree = complete(EditorState.create({ doc: note, extensions: parts }));
    let sections = 0;
    eachPart(tree, 0, note.length, () => sections++);
    assert.ok(sections > 4, `only ${sections} sections`);
    assert.equal(nodes(tree), nodes(complete(EditorState.create({ doc: note, extensions: whole }))));
  });

  test("edits that reach across cuts give the tree of a whole-note parse", () => {
    const inserts = ["```\n", "~~~\n", "<!--\n", "-->\n", "<script>\n", "- item\n\n", "2. x\n\n", "    code\n\n", "> q\n\n", "\n", "\n\n", "x"];
    const failures: string[] = [];
    // States are immutable, so every case can start from the same parsed note.
    const a0 = EditorState.create({ doc: note, extensions: whole });
    const b0 = EditorState.create({ doc: note, extensions: parts });
    complete(a0);
    complete(b0);
    for (const insert of inserts) {
      for (const where of [0.3, 0.8]) {
        for (const lineStart of [true, false]) {
          let a = a0;
          let b = b0;
          let pos = Math.floor(note.length * where);
          if (lineStart) pos = a.doc.lineAt(pos).from;
          // Open it, take it back out, then put it in twice.
          for (const changes of [{ from: pos, insert }, { from: pos, to: pos + insert.length }, { from: pos, insert: insert + insert }]) {
            a = a.update({ changes }).state;
            b = b.update({ changes }).state;
            if (nodes(complete(a)) !== nodes(complete(b))) failures.push(`${JSON.stringify(insert)} at ${where}${lineStart ? " (line start)" : ""}`);
          }
        }
      }
    }
    assert.deepEqual(failures, []);
  });
});
