// Languages for fenced code blocks. Their grammars live in a script of their own
// (grammars.ts), brought in when a note first has code or once the editor is on
// screen; the list is the set a note-taker reaches for, kept small enough for the
// size budget: the heavier grammars (C++, Rust, Java, Go) use the much smaller stream
// modes, which highlight just as well for notes.
import { LanguageDescription, LanguageSupport, StreamLanguage, type StreamParser } from "@codemirror/language";
import type { Grammars } from "./grammars";
import { loadGrammars } from "./grammarLoader";

type Streams = Grammars["streams"];

function stream(parser: StreamParser<unknown>): LanguageSupport {
  return new LanguageSupport(StreamLanguage.define(parser));
}

function lang(name: string, alias: string[], extensions: string[], make: (g: Grammars) => LanguageSupport): LanguageDescription {
  let made: LanguageSupport | undefined;
  return LanguageDescription.of({
    name,
    alias,
    extensions,
    // Built on first use: a note without code blocks pays nothing for them.
    load: () => loadGrammars().then((g) => (made ??= make(g))),
  });
}

const streamed = (mode: keyof Streams) => (g: Grammars) => stream(g.streams[mode] as StreamParser<unknown>);

export const codeLanguages: LanguageDescription[] = [
  lang("JavaScript", ["js", "javascript", "node", "mjs", "cjs"], ["js", "mjs", "cjs"], (g) => g.javascript()),
  lang("JSX", ["jsx"], ["jsx"], (g) => g.javascript({ jsx: true })),
  lang("TypeScript", ["ts", "typescript"], ["ts", "mts", "cts"], (g) => g.javascript({ typescript: true })),
  lang("TSX", ["tsx"], ["tsx"], (g) => g.javascript({ jsx: true, typescript: true })),
  lang("Python", ["py", "python", "python3"], ["py"], (g) => g.python()),
  lang("CSS", ["css"], ["css"], (g) => g.css()),
  lang("HTML", ["html", "htm", "xml", "svg"], ["html", "htm"], (g) => g.html()),
  lang("JSON", ["json", "json5", "jsonc"], ["json"], (g) => g.json()),
  lang("C", ["c", "h"], ["c", "h"], streamed("c")),
  lang("C++", ["cpp", "c++", "cc", "cxx", "hpp"], ["cpp", "cc", "cxx", "hpp"], streamed("cpp")),
  lang("Objective-C", ["objc", "objective-c", "m"], ["m"], streamed("objectiveC")),
  lang("C#", ["cs", "csharp", "c#"], ["cs"], streamed("csharp")),
  lang("Rust", ["rust", "rs"], ["rs"], streamed("rust")),
  lang("SQL", ["sql", "sqlite", "postgresql", "mysql"], ["sql"], (g) => g.sql()),
  lang("YAML", ["yaml", "yml"], ["yaml", "yml"], (g) => g.yaml()),
  lang("Go", ["go", "golang"], ["go"], streamed("go")),
  lang("Java", ["java"], ["java"], streamed("java")),
  lang("Kotlin", ["kotlin", "kt"], ["kt"], streamed("kotlin")),
  lang("Shell", ["sh", "bash", "zsh", "shell", "console", "shellsession"], ["sh", "bash"], streamed("shell")),
  lang("Swift", ["swift"], ["swift"], streamed("swift")),
  lang("Diff", ["diff", "patch"], ["diff", "patch"], streamed("diff")),
];
