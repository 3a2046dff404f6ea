// What the Markdown language gets when it asks for HTML support (the build puts this
// module in place of @codemirror/lang-html in the editor's script). HTML blocks and
// tags in a note are read by the real HTML grammar once the grammars script is there;
// until then those stretches are left unparsed, and parsed again when it arrives, as
// CodeMirror does for any language still loading.
import type { CompletionContext, CompletionResult } from "@codemirror/autocomplete";
import { defineLanguageFacet, Language, LanguageSupport, ParseContext } from "@codemirror/language";
import { EditorState } from "@codemirror/state";
import { EditorView } from "@codemirror/view";
import { type Input, Parser, type PartialParse, type TreeFragment } from "@lezer/common";
import { loadedGrammars, loadGrammars } from "./grammarLoader";

type HtmlConfig = Parameters<typeof import("@codemirror/lang-html").html>[0];
type InputHandler = Parameters<typeof EditorView.inputHandler.of>[0];

class DeferredHtml {
  private real: import("@codemirror/language").LanguageSupport | undefined;
  private handlers: readonly InputHandler[] | undefined;

  constructor(private readonly config: HtmlConfig) {}

  support(): LanguageSupport | undefined {
    const grammars = loadedGrammars();
    if (grammars && !this.real) this.real = grammars.html(this.config);
    return this.real;
  }

  /** The real support's input handlers (closing tags as they are typed). */
  inputHandlers(): readonly InputHandler[] {
    const real = this.support();
    if (!real) return [];
    this.handlers ??= EditorState.create({ extensions: real.support }).facet(EditorView.inputHandler);
    return this.handlers;
  }
}

class DeferredHtmlParser extends Parser {
  constructor(private readonly html: DeferredHtml) {
    super();
  }

  createParse(input: Input, fragments: readonly TreeFragment[], ranges: readonly { from: number; to: number }[]): PartialParse {
    const real = this.html.support();
    if (real) return real.language.parser.createParse(input, fragments, ranges);
    return ParseContext.getSkippingParser(loadGrammars()).createParse(input, fragments, ranges);
  }
}

export function html(config: HtmlConfig = {}): LanguageSupport {
  const deferred = new DeferredHtml(config);
  const language = new Language(defineLanguageFacet(), new DeferredHtmlParser(deferred), [], "html");
  const typing =
    config.autoCloseTags === false
      ? []
      : EditorView.inputHandler.of((view, from, to, text, insert) =>
          deferred.inputHandlers().some((handler) => handler(view, from, to, text, insert)),
        );
  return new LanguageSupport(language, typing);
}

export function htmlCompletionSource(context: CompletionContext): CompletionResult | null | Promise<CompletionResult | null> {
  const grammars = loadedGrammars();
  return grammars ? grammars.htmlCompletionSource(context) : null;
}
