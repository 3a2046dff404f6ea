// The grammars of fenced code and of HTML inside a note: a script of their own
// (assets/languages.js), loaded once the editor is on screen or when a note first
// needs one. Reading them in takes a good part of the page's start (each grammar is
// unpacked from its tables when its module runs), and the first paint needs none.
//
// The packages they share with the editor (state, view, language, the syntax tree and
// highlight tags) come from the editor's script (see shared.ts): one copy of each, so
// their facets, node props and tags are the editor's own.
import { javascript } from "@codemirror/lang-javascript";
import { python } from "@codemirror/lang-python";
import { css } from "@codemirror/lang-css";
import { html, htmlCompletionSource } from "@codemirror/lang-html";
import { json } from "@codemirror/lang-json";
import { sql } from "@codemirror/lang-sql";
import { yaml } from "@codemirror/lang-yaml";
import { shell } from "@codemirror/legacy-modes/mode/shell";
import { swift } from "@codemirror/legacy-modes/mode/swift";
import { diff } from "@codemirror/legacy-modes/mode/diff";
import { rust } from "@codemirror/legacy-modes/mode/rust";
import { go } from "@codemirror/legacy-modes/mode/go";
import { c, cpp, csharp, java, kotlin, objectiveC } from "@codemirror/legacy-modes/mode/clike";

const grammars = {
  javascript,
  python,
  css,
  html,
  htmlCompletionSource,
  json,
  sql,
  yaml,
  streams: { shell, swift, diff, rust, go, c, cpp, csharp, java, kotlin, objectiveC },
};

export type Grammars = typeof grammars;

(globalThis as { flintlyGrammars?: Grammars }).flintlyGrammars = grammars;
