import "./shared";
import "./style.css";
import { createEditor } from "./editor";
import { loadGrammars } from "./grammarLoader";
import { post } from "./host";
import { initTheme, setThemeMode } from "./theme";
import { showMessage } from "./toast";

declare global {
  interface Window {
    setMarkdown(text: string, generation?: number): void;
    /** With `caret` (UTF-16 units into `piece`), the caret goes there. */
    appendMarkdown(piece: string, caret?: number): void;
    replaceMarkdown(text: string): void;
    mergeMarkdown(edits: unknown, generation: number, report: number): string;
    getMarkdown(): string;
    revealRange(line: number, column: number, length: number, generation?: number): void;
    setThemeMode(mode: string, scheme?: string): boolean;
    showLinkError(message: string): void;
    showNotice(message: string): void;
    requestUpdate(): void;
  }
}

initTheme();
const editor = createEditor(document.getElementById("editor") ?? document.body);

// The host calls these by name on `window`; they return nothing the host relies on.
window.setMarkdown = (text, generation) => editor.setMarkdown(text, generation);
window.appendMarkdown = (piece, caret) => editor.appendMarkdown(piece, caret);
window.replaceMarkdown = (text) => editor.replaceMarkdown(text);
window.mergeMarkdown = (edits, generation, report) => editor.mergeMarkdown(edits, generation, report);
window.getMarkdown = () => editor.getMarkdown();
window.revealRange = (line, column, length, generation) => editor.revealRange(line, column, length, generation);
window.setThemeMode = (mode, scheme) => setThemeMode(mode, scheme);
window.showLinkError = (message) => showMessage(message);
window.showNotice = (message) => showMessage(message);
window.requestUpdate = () => post("installUpdate", "page");

// A file dropped outside the text would make the engine navigate to it and lose the
// editor; the editor's own drop handling (inside the text) is unaffected.
for (const type of ["dragover", "drop"] as const) {
  window.addEventListener(type, (event) => {
    if (!event.defaultPrevented) event.preventDefault();
  });
}

// The grammars of code and HTML come once the editor is on screen, ahead of a note
// that needs them (one that does before then brings them in itself).
window.addEventListener("load", () =>
  requestIdleCallback(() => void loadGrammars().catch(() => undefined), { timeout: 1000 }),
);

// Typing should go to the note whenever the window is focused.
window.addEventListener("focus", () => editor.view.focus());
editor.view.focus();
