// Languages for fenced code blocks. Everything is bundled into the one script (the
// page loads from disk and may not fetch), so the list is the set a note-taker
// reaches for, kept small enough for the size budget: the heavier grammars (C++, Rust,
// Java, Go) use the much smaller stream modes, which highlight just as well for notes.
import { LanguageDescription, LanguageSupport, StreamLanguage, type StreamParser } from "@codemirror/language";
import { javascript } from "@codemirror/lang-javascript";
import { python } from "@codemirror/lang-python";
import { css } from "@codemirror/lang-css";
import { html } from "@codemirror/lang-html";
import { json } from "@codemirror/lang-json";
import { sql } from "@codemirror/lang-sql";
import { yaml } from "@codemirror/lang-yaml";
import { shell } from "@codemirror/legacy-modes/mode/shell";
import { swift } from "@codemirror/legacy-modes/mode/swift";
import { diff } from "@codemirror/legacy-modes/mode/diff";
import { rust } from "@codemirror/legacy-modes/mode/rust";
import { go } from "@codemirror/legacy-modes/mode/go";
import { c, cpp, csharp, java, kotlin, objectiveC } from "@codemirror/legacy-modes/mode/clike";

function stream(parser: StreamParser<unknown>): LanguageSupport {
  return new LanguageSupport(StreamLanguage.define(parser));
}

function lang(name: string, alias: string[], extensions: string[], make: () => LanguageSupport): LanguageDescription {
  let made: LanguageSupport | undefined;
  return LanguageDescription.of({
    name,
    alias,
    extensions,
    // Built on first use: a note without code blocks pays nothing for them.
    load: () => Promise.resolve((made ??= make())),
  });
}

export const codeLanguages: LanguageDescription[] = [
  lang("JavaScript", ["js", "javascript", "node", "mjs", "cjs"], ["js", "mjs", "cjs"], () => javascript()),
  lang("JSX", ["jsx"], ["jsx"], () => javascript({ jsx: true })),
  lang("TypeScript", ["ts", "typescript"], ["ts", "mts", "cts"], () => javascript({ typescript: true })),
  lang("TSX", ["tsx"], ["tsx"], () => javascript({ jsx: true, typescript: true })),
  lang("Python", ["py", "python", "python3"], ["py"], () => python()),
  lang("CSS", ["css"], ["css"], () => css()),
  lang("HTML", ["html", "htm", "xml", "svg"], ["html", "htm"], () => html()),
  lang("JSON", ["json", "json5", "jsonc"], ["json"], () => json()),
  lang("C", ["c", "h"], ["c", "h"], () => stream(c)),
  lang("C++", ["cpp", "c++", "cc", "cxx", "hpp"], ["cpp", "cc", "cxx", "hpp"], () => stream(cpp)),
  lang("Objective-C", ["objc", "objective-c", "m"], ["m"], () => stream(objectiveC)),
  lang("C#", ["cs", "csharp", "c#"], ["cs"], () => stream(csharp)),
  lang("Rust", ["rust", "rs"], ["rs"], () => stream(rust)),
  lang("SQL", ["sql", "sqlite", "postgresql", "mysql"], ["sql"], () => sql()),
  lang("YAML", ["yaml", "yml"], ["yaml", "yml"], () => yaml()),
  lang("Go", ["go", "golang"], ["go"], () => stream(go)),
  lang("Java", ["java"], ["java"], () => stream(java)),
  lang("Kotlin", ["kotlin", "kt"], ["kt"], () => stream(kotlin)),
  lang("Shell", ["sh", "bash", "zsh", "shell", "console", "shellsession"], ["sh", "bash"], () => stream(shell)),
  lang("Swift", ["swift"], ["swift"], () => stream(swift)),
  lang("Diff", ["diff", "patch"], ["diff", "patch"], () => stream(diff)),
];
