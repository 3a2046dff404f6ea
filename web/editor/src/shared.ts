// The editor's copies of the packages the grammars script uses too (see grammars.ts),
// handed over on the page's global object; the build points the grammars' imports of
// these packages here.
import * as state from "@codemirror/state";
import * as view from "@codemirror/view";
import * as language from "@codemirror/language";
import * as common from "@lezer/common";
import * as highlight from "@lezer/highlight";

export const sharedPackages = {
  "@codemirror/state": state,
  "@codemirror/view": view,
  "@codemirror/language": language,
  "@lezer/common": common,
  "@lezer/highlight": highlight,
};

(globalThis as { flintlyShared?: typeof sharedPackages }).flintlyShared = sharedPackages;
