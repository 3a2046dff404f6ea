import { defaultKeymap, history, historyKeymap, indentWithTab, isolateHistory } from "@codemirror/commands";
import { markdown, markdownLanguage } from "@codemirror/lang-markdown";
import { indentUnit } from "@codemirror/language";
import { highlightSelectionMatches, search, searchKeymap } from "@codemirror/search";
import {
  Annotation,
  ChangeSet,
  Compartment,
  EditorSelection,
  EditorState,
  type Extension,
  Text,
  Transaction,
} from "@codemirror/state";
import { drawSelection, dropCursor, EditorView, highlightSpecialChars, keymap } from "@codemirror/view";
import { post } from "./host";
import { codeLanguages } from "./languages";
import { detectLineEnds, diffRange, type LineEnds, plainLineEnds, sameLineEnds, splitLines } from "./lineEnds";
import { caretBlink } from "./caret";
import { linkAt, type LinkHit } from "./links";
import { hostChanges } from "./merge";
import { presentation, taskBoxAt, toggleTask } from "./presentation";
import { parseAhead, sectioned } from "./sections";
import { documentText } from "./serialize";

/** Marks transactions that carry text from the host; those are never echoed back. */
const fromHost = Annotation.define<boolean>();

const historySlot = new Compartment();
/** How long a report may be on its way before the next one goes regardless. */
const maxDeliveryMs = 5000;
/** The pause in typing a note of `length` characters waits for before it is reported. */
const stillnessBeforeReport = (length: number): number => (length < 2_000_000 ? 0 : Math.min(120, length / 250_000));
const separatorSlot = new Compartment();

function separatorFor(ends: LineEnds): Extension {
  return ends.exact ? EditorState.lineSeparator.of("\n") : [];
}

export interface NoteEditor {
  view: EditorView;
  /** `generation` counts the host's replacements; edits are reported against it. */
  setMarkdown(text: string, generation?: number): void;
  appendMarkdown(piece: string, caret?: number): void;
  /** The whole text as one edit of the user's: undo takes it back. */
  replaceMarkdown(text: string): void;
  /**
   * Another program's changes, merged by the host into the text of report `report`:
   * made as one undoable step, mapped over what was typed since. "merged"; "stale" when
   * a later report is on its way (the host merges again on it); "refused" when the
   * edits do not fit (the host then sends the whole text).
   */
  mergeMarkdown(edits: unknown, generation: number, report: number): "merged" | "stale" | "refused";
  getMarkdown(): string;
  /**
   * Selects `length` units from `column` of line `line` (zero-based) and scrolls it into
   * view, once the page holds the text of `generation` (it may arrive after this call).
   */
  revealRange(line: number, column: number, length: number, generation?: number): void;
}

export function createEditor(parent: HTMLElement): NoteEditor {
  let ends: LineEnds = plainLineEnds;
  const serialize = (state: EditorState) => documentText(state.doc, ends.eol);

  // A plain click opens a link only when the user was not already working inside it,
  // so the second click on a link places the cursor for editing.
  let pendingLink: (LinkHit & { x: number; y: number }) | null = null;

  const handlers = EditorView.domEventHandlers({
    mousedown(event, view) {
      pendingLink = null;
      if (event.button !== 0) return false;
      const box = taskBoxAt(view, event.target);
      if (box !== null) {
        event.preventDefault();
        return toggleTask(view, box);
      }
      const pos = view.posAtCoords({ x: event.clientX, y: event.clientY });
      const hit = pos === null ? null : linkAt(view.state, pos);
      if (!hit) return false;
      if (event.ctrlKey || event.metaKey) {
        event.preventDefault();
        post("openLink", hit.url);
        return true;
      }
      const editing = view.hasFocus && view.state.selection.ranges.some((r) => r.to >= hit.from && r.from <= hit.to);
      if (!editing && !event.shiftKey && !event.altKey && event.detail === 1) {
        pendingLink = { ...hit, x: event.clientX, y: event.clientY };
      }
      return false;
    },
    click(event, view) {
      const hit = pendingLink;
      pendingLink = null;
      if (!hit || event.detail !== 1) return false;
      // A drag that started on a link selects text; only a click in place opens it.
      const moved = Math.abs(event.clientX - hit.x) > 4 || Math.abs(event.clientY - hit.y) > 4;
      if (moved || !view.state.selection.main.empty) return false;
      post("openLink", hit.url);
      return false;
    },
  });

  const commands = keymap.of([
    {
      key: "Mod-s",
      preventDefault: true,
      run: (view) => {
        reportNow();
        post("saveNote", serialize(view.state));
        return true;
      },
    },
    {
      key: "Mod-Shift-u",
      preventDefault: true,
      run: () => {
        post("installUpdate", "keyboard");
        return true;
      },
    },
  ]);

  // Reporting an edit means flattening the whole note, which at a megabyte costs more
  // than the edit itself. It runs as its own task right after the keystroke, so the
  // typed character is drawn first and a burst of edits in one task is reported once,
  // with the final text. Anything that must stay in order with it flushes first.
  //
  // Delivering the text to the host takes time of its own in a large note. While a
  // report is on its way (the host says when it has arrived), edits are not reported
  // again: when it arrives, one report carries the latest text. At most one report is
  // in flight from typing; a flush (before the host's text or a save) sends regardless.
  // In a note of many megabytes a report costs the page tens of milliseconds, so it
  // waits until typing has paused for a moment, rather than going out between keys
  // only to be out of date at once.
  let unreported = false;
  let inFlight = 0;
  let stillTimer = 0;
  const channel = new MessageChannel();
  // Every report is numbered (the host's shim sends the number along), and the page
  // keeps the document of the last one with what changed since: a merge the host made
  // on that report is mapped over the typing that followed it. Numbers start anywhere,
  // so a reloaded page never matches a number of the one before.
  let reportSeq = Math.floor(Math.random() * 2 ** 40);
  let lastReport: { id: number; doc: Text; since: ChangeSet } | null = null;
  const postReport = (text: string) => {
    window.editorReport = ++reportSeq;
    lastReport = { id: reportSeq, doc: view.state.doc, since: ChangeSet.empty(view.state.doc.length) };
    return post("didChange", text);
  };
  const deliver = () => {
    unreported = false;
    clearTimeout(stillTimer);
    stillTimer = 0;
    const delivered = postReport(serialize(view.state));
    if (!delivered) return;
    const ticket = ++inFlight;
    const arrived = () => {
      if (inFlight !== ticket) return;
      inFlight = 0;
      clearTimeout(giveUp);
      if (unreported && !stillTimer) channel.port2.postMessage(null);
    };
    // A host that never answers must not silence the editor for good.
    const giveUp = window.setTimeout(arrived, maxDeliveryMs);
    delivered.then(arrived, arrived);
  };
  const reportNow = () => {
    if (unreported) deliver();
  };
  channel.port1.onmessage = () => {
    if (unreported && !inFlight) deliver();
  };
  window.addEventListener("pagehide", reportNow);

  const reportEdits = EditorView.updateListener.of((update) => {
    if (!update.docChanged) return;
    if (lastReport) lastReport.since = lastReport.since.compose(update.changes);
    if (update.transactions.every((tr) => !tr.docChanged || tr.annotation(fromHost))) return;
    const wait = stillnessBeforeReport(update.state.doc.length);
    if (wait > 0) {
      unreported = true;
      clearTimeout(stillTimer);
      stillTimer = window.setTimeout(() => {
        stillTimer = 0;
        if (unreported && !inFlight) deliver();
      }, wait);
    } else if (!unreported) {
      unreported = true;
      channel.port2.postMessage(null);
    }
  });

  const view = new EditorView({
    parent,
    state: EditorState.create({
      extensions: [
        separatorSlot.of([]),
        historySlot.of(history()),
        commands,
        keymap.of([...defaultKeymap, ...historyKeymap, ...searchKeymap, indentWithTab]),
        sectioned(markdown({ base: markdownLanguage, codeLanguages, addKeymap: true })),
        parseAhead,
        indentUnit.of("    "),
        presentation,
        highlightSpecialChars(),
        drawSelection(),
        caretBlink,
        dropCursor(),
        search({ top: true }),
        highlightSelectionMatches(),
        EditorView.lineWrapping,
        EditorView.contentAttributes.of({ spellcheck: "false", autocorrect: "off", autocapitalize: "off" }),
        handlers,
        reportEdits,
      ],
    }),
  });

  /** Starts a fresh undo history, so undo never reaches text the host replaced. */
  const forgetHistory = () => {
    view.dispatch({ effects: historySlot.reconfigure([]), annotations: fromHost.of(true) });
    view.dispatch({ effects: historySlot.reconfigure(history()), annotations: fromHost.of(true) });
  };

  /** A reveal waiting for the text it was made for. */
  let pendingReveal: { line: number; column: number; length: number; generation: number } | null = null;

  function applyReveal(line: number, column: number, length: number): void {
    const doc = view.state.doc;
    const at = doc.line(Math.min(Math.max(1, Math.floor(line) + 1), doc.lines));
    const from = at.from + Math.min(Math.max(0, Math.floor(column)), at.length);
    const to = Math.min(from + Math.max(0, Math.floor(length)), at.to);
    view.dispatch({
      selection: EditorSelection.range(from, to),
      effects: EditorView.scrollIntoView(from, { y: "center" }),
      annotations: fromHost.of(true),
    });
    view.focus();
  }

  function revealRange(line: number, column: number, length: number, generation?: number): void {
    if (![line, column, length].every((n) => typeof n === "number" && Number.isFinite(n))) return;
    if (typeof generation === "number" && window.editorGeneration !== generation) {
      pendingReveal = { line, column, length, generation };
      return;
    }
    pendingReveal = null;
    applyReveal(line, column, length);
  }

  function setMarkdown(text: string, generation?: number): void {
    replaceText(text, generation);
    if (pendingReveal && pendingReveal.generation === window.editorGeneration) {
      const { line, column, length } = pendingReveal;
      pendingReveal = null;
      applyReveal(line, column, length);
    }
  }

  function replaceText(text: string, generation?: number): void {
    if (typeof text !== "string") return;
    // The user's last edit predates this text; the host must hear about it first, and
    // with the generation it was made on, so it can tell it was made on older text.
    reportNow();
    if (typeof generation === "number" && Number.isFinite(generation)) {
      // A text of the generation the page already holds is the host catching up with
      // edits the page made itself (or repeating itself): the page's text is at least as
      // new, so it stays, and the host hears it again in case it missed a report.
      if (window.editorGeneration === generation) {
        if (serialize(view.state) !== text) postReport(serialize(view.state));
        return;
      }
      window.editorGeneration = generation;
    }
    const next = detectLineEnds(text);
    const state = view.state;
    if (sameLineEnds(next, ends) && serialize(state) === text) return;

    const lines = splitLines(text, next);
    const base = { annotations: [fromHost.of(true), Transaction.addToHistory.of(false)] };
    if (!sameLineEnds(next, ends)) {
      // The document has to be split anew; keep the cursor's offset where it fits.
      const head = Math.min(state.selection.main.head, text.length);
      ends = next;
      const doc = Text.of(lines);
      view.dispatch({
        ...base,
        changes: { from: 0, to: state.doc.length, insert: doc },
        selection: EditorSelection.cursor(Math.min(head, doc.length)),
        effects: separatorSlot.reconfigure(separatorFor(next)),
      });
    } else {
      const current = state.doc.toString();
      const wanted = lines.join("\n");
      const { from, toA, toB } = diffRange(current, wanted);
      const insert = Text.of(wanted.slice(from, toB).split("\n"));
      const change = { from, to: toA, insert };
      // A cursor inside the replaced stretch lands at its start rather than being
      // thrown to the far end of new text the user has not seen yet.
      const touched = state.selection.ranges.some((r) => r.to > from && r.from < toA);
      view.dispatch({
        ...base,
        changes: change,
        selection: touched ? EditorSelection.cursor(from) : undefined,
        scrollIntoView: touched,
      });
    }
    forgetHistory();
    // A merge made on a report from before this text would bring back what it replaced.
    lastReport = null;
  }

  function mergeMarkdown(edits: unknown, generation: number, report: number): "merged" | "stale" | "refused" {
    if (!lastReport || typeof generation !== "number" || !Number.isFinite(generation)) return "refused";
    if (report !== lastReport.id) return report < lastReport.id ? "stale" : "refused";
    const changes = hostChanges(edits, lastReport.doc, ends);
    if (!changes) return "refused";
    window.editorGeneration = generation;
    // The file's changes go before what was typed at the same place meanwhile; typing
    // that is not reported yet goes out after this, on the merged generation.
    view.dispatch({
      changes: changes.map(lastReport.since, true),
      annotations: [fromHost.of(true), isolateHistory.of("full")],
      userEvent: "input.merge",
    });
    // Until the next report, nothing more can be merged onto this one.
    lastReport = null;
    return "merged";
  }

  function appendMarkdown(piece: string, caret?: number): void {
    if (typeof piece !== "string" || piece === "") return;
    // The caret counts UTF-16 units of the piece as sent; the editor counts each line
    // break as one, so the place is measured on the piece's text up to it, split the
    // way the piece itself is.
    const at =
      typeof caret === "number" && Number.isInteger(caret) && caret >= 0 && caret <= piece.length ? caret : null;
    const placed = (offset: number) => (at === null ? {} : { selection: { anchor: offset }, scrollIntoView: true });
    if (view.state.doc.length === 0) {
      // Into an empty note the piece becomes the whole text, so it keeps its own line
      // breaks exactly; the insertion is still the user's to undo.
      const next = detectLineEnds(piece);
      ends = next;
      const before = at === null ? 0 : Text.of(splitLines(piece.slice(0, at), next)).length;
      view.dispatch({
        changes: { from: 0, insert: Text.of(splitLines(piece, next)) },
        effects: separatorSlot.reconfigure(separatorFor(next)),
        userEvent: "input.append",
        ...placed(before),
      });
      return;
    }
    // Elsewhere the piece takes the note's line-break style, like pasted text.
    const end = view.state.doc.length;
    const before = at === null ? 0 : view.state.toText(piece.slice(0, at)).length;
    view.dispatch({ changes: { from: end, insert: piece }, userEvent: "input.append", ...placed(end + before) });
  }

  function replaceMarkdown(text: string): void {
    if (typeof text !== "string") return;
    const next = detectLineEnds(text);
    if (!sameLineEnds(next, ends)) {
      // Another line-break style means splitting the document anew, which undo could
      // not take back with it; the host keeps the replaced text, so a plain replacement
      // loses nothing.
      setMarkdown(text);
      return;
    }
    const current = view.state.doc.toString();
    const wanted = splitLines(text, next).join("\n");
    if (current === wanted) return;
    const { from, toA, toB } = diffRange(current, wanted);
    view.dispatch({
      changes: { from, to: toA, insert: Text.of(wanted.slice(from, toB).split("\n")) },
      selection: EditorSelection.cursor(from),
      scrollIntoView: true,
      userEvent: "input.replace",
    });
  }

  return {
    view,
    setMarkdown,
    appendMarkdown,
    replaceMarkdown,
    mergeMarkdown,
    getMarkdown: () => serialize(view.state),
    revealRange,
  };
}
