// Brings in the grammars script (grammars.ts) once, on first need.
import type { Grammars } from "./grammars";

const slot = globalThis as { flintlyGrammars?: Grammars };
let loading: Promise<Grammars> | undefined;

/** The grammars, if they are already there. */
export function loadedGrammars(): Grammars | undefined {
  return slot.flintlyGrammars;
}

/** The grammars, loading their script beside the page's own the first time. */
export function loadGrammars(): Promise<Grammars> {
  if (slot.flintlyGrammars) return Promise.resolve(slot.flintlyGrammars);
  loading ??= new Promise<Grammars>((resolve, reject) => {
    const script = document.createElement("script");
    script.src = "assets/languages.js";
    script.onload = () =>
      slot.flintlyGrammars ? resolve(slot.flintlyGrammars) : reject(new Error("languages.js defined no grammars"));
    script.onerror = () => {
      // A later need tries again rather than failing for good.
      loading = undefined;
      script.remove();
      reject(new Error("languages.js could not be loaded"));
    };
    document.head.appendChild(script);
  });
  return loading;
}
