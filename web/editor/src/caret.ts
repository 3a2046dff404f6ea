import type { Extension } from "@codemirror/state";
import { EditorView, ViewPlugin, type ViewUpdate } from "@codemirror/view";

// The library blinks its drawn caret with an endless CSS animation, which keeps the
// page producing frames for as long as the note is on screen, typing or not. The caret
// here blinks the way the desktop's does instead: two repaints a second (shown for
// half a second, hidden for half a second) from a timer, and after ten seconds without
// input (GNOME's cursor-blink-timeout) it stays shown and nothing runs at all.

/** Half a blink cycle: the caret changes state twice a second. */
export const blinkHalfPeriodMs = 500;
/** How long the caret keeps blinking after the last input. */
export const blinkTimeoutMs = 10_000;

class CaretBlink {
  private timer: number | null = null;
  private lastInput = 0;
  private hidden = false;
  private readonly wake = () => this.restart();
  private readonly onVisibility = () => (document.hidden ? this.stop() : this.restart());
  private readonly onBlur = () => this.stop();

  constructor(private readonly view: EditorView) {
    document.addEventListener("visibilitychange", this.onVisibility);
    view.contentDOM.addEventListener("keydown", this.wake, true);
    view.dom.addEventListener("mousedown", this.wake, true);
    view.contentDOM.addEventListener("blur", this.onBlur);
    this.restart();
  }

  update(update: ViewUpdate): void {
    if (update.selectionSet || update.docChanged || update.focusChanged) this.restart();
  }

  private layer(): HTMLElement | null {
    return this.view.dom.querySelector<HTMLElement>(":scope > .cm-scroller > .cm-cursorLayer");
  }

  private show(shown: boolean): void {
    if (this.hidden === !shown) return;
    this.hidden = !shown;
    const layer = this.layer();
    if (layer) layer.style.visibility = shown ? "" : "hidden";
  }

  /** Input just happened (or focus arrived): the caret is shown and blinks anew. */
  private restart(): void {
    this.lastInput = performance.now();
    this.show(true);
    if (this.timer !== null) clearTimeout(this.timer);
    this.timer = null;
    if (!this.view.hasFocus || document.hidden) return;
    this.timer = window.setTimeout(this.tick, blinkHalfPeriodMs);
  }

  private readonly tick = () => {
    this.timer = null;
    // The caret always comes to rest shown.
    if (performance.now() - this.lastInput >= blinkTimeoutMs || !this.view.hasFocus || document.hidden) {
      this.show(true);
      return;
    }
    this.show(this.hidden);
    this.timer = window.setTimeout(this.tick, blinkHalfPeriodMs);
  };

  private stop(): void {
    if (this.timer !== null) clearTimeout(this.timer);
    this.timer = null;
    this.show(true);
  }

  destroy(): void {
    this.stop();
    document.removeEventListener("visibilitychange", this.onVisibility);
    this.view.contentDOM.removeEventListener("keydown", this.wake, true);
    this.view.dom.removeEventListener("mousedown", this.wake, true);
    this.view.contentDOM.removeEventListener("blur", this.onBlur);
  }
}

export const caretBlink: Extension = [
  ViewPlugin.fromClass(CaretBlink),
  // No running animation on the drawn caret; the plugin above does the blinking.
  EditorView.theme({
    "&.cm-focused > .cm-scroller > .cm-cursorLayer": { animation: "none !important" },
  }),
];
