import assert from "node:assert/strict";
import { describe, test } from "node:test";
import type { Page } from "playwright-core";
import { clearPosted, cursorToEnd, pageErrors, pageForTheseTests, posted, type Session, settle } from "./harness.ts";

let page: Page;
let session: Session;
pageForTheseTests((p, s) => {
  page = p;
  session = s;
});

// Texts are built inside the page from code units, so nothing on the way (test
// runner, protocol, JSON) can normalise them before the editor sees them.
const hostile: Record<string, string> = {
  "template-literal syntax": "a `tick` \\ back\\slash ${alert(1)} \\${x} \\` end",
  "CRLF line ends": "# Title\r\n\r\n- one\r\n- two\r\n",
  "lone CR line ends": "one\rtwo\r\rthree",
  "mixed line ends": "lf\ncrlf\r\ncr\rend\r",
  "line and paragraph separators": "a\u2028b\u2029c\n",
  "NUL and control characters": "nul\u0000here\u0001\u001f\u007f\ttab",
  "emoji and joiners": "👩‍👩‍👧 🇰🇷 é (e\u0301) 한글",
  "lone surrogates": "high \ud83d alone, low \ude00 alone, \ufffd replaced",
  "byte order mark and zero width": "\ufeffstart\u200bmid\u200dend",
  "markup and script": "</script><script>alert(1)</script><img src=x onerror=alert(1)>",
  "empty": "",
  "only line breaks": "\n\n\r\n",
};

async function setText(text: string): Promise<void> {
  const codes = Array.from({ length: text.length }, (_, i) => text.charCodeAt(i));
  await page.evaluate((codes) => window.setMarkdown(String.fromCharCode(...codes)), codes);
}

async function text(): Promise<string> {
  const codes = await page.evaluate(() => {
    const t = window.getMarkdown();
    return Array.from({ length: t.length }, (_, i) => t.charCodeAt(i));
  });
  return String.fromCharCode(...codes);
}

async function lastDidChange(): Promise<string | undefined> {
  await settle(page);
  const list = await page.evaluate(() =>
    (window as unknown as { __posted: { name: string; body: string }[] }).__posted
      .filter((m) => m.name === "didChange")
      .map((m) => Array.from({ length: m.body.length }, (_, i) => m.body.charCodeAt(i))),
  );
  const last = list.at(-1);
  return last && String.fromCharCode(...last);
}

describe("text from the host", () => {
  for (const [name, value] of Object.entries(hostile)) {
    test(`${name} arrive and go back exactly`, async () => {
      await setText("something else first");
      await clearPosted(page);
      await setText(value);
      assert.equal(await text(), value, "held text");
      assert.deepEqual(await posted(page, "didChange"), [], "setting text is not an edit");
      // An edit at the very end proves the whole text is reported as it was given.
      await page.focus(".cm-content");
      await cursorToEnd(page);
      await page.keyboard.type("Z");
      assert.equal(await lastDidChange(), value + "Z", "reported after an edit");
    });
  }

  test("a megabyte note arrives whole", async () => {
    const big = "## Section\n\nSome *text* with `code` and [a link](https://x.y).\n".repeat(16_000);
    const same = await page.evaluate((t) => {
      window.setMarkdown(t);
      return window.getMarkdown() === t;
    }, big);
    assert.ok(same);
  });

  test("undo never reaches past text the host set", async () => {
    await setText("first note");
    await page.focus(".cm-content");
    await cursorToEnd(page);
    await page.keyboard.type(" edited");
    await setText("second note");
    await page.keyboard.press("Control+z");
    await page.keyboard.press("Control+z");
    assert.equal(await text(), "second note");

    // A text that keeps what was typed (the note as saved, with more from elsewhere):
    // undo must not take the typing out of it.
    await page.keyboard.type(" typed");
    await setText("second note typed, then changed elsewhere");
    await page.keyboard.press("Control+z");
    assert.equal(await text(), "second note typed, then changed elsewhere");

    await setText("");
    await setText("loaded");
    await page.keyboard.press("Control+z");
    assert.equal(await text(), "loaded", "undo does not empty the editor");
  });

  test("the same text again keeps the cursor; a change elsewhere leaves it in place", async () => {
    await setText("alpha beta gamma");
    await page.focus(".cm-content");
    await page.keyboard.press("Control+Home");
    for (let i = 0; i < 5; i++) await page.keyboard.press("ArrowRight");
    await setText("alpha beta gamma");
    await setText("alpha beta gamma and more");
    await page.keyboard.type("!");
    assert.equal(await text(), "alpha! beta gamma and more");
  });

  test("values that are not strings are ignored", async () => {
    await setText("kept");
    await page.evaluate(() => {
      const w = window as unknown as Record<string, (v: unknown) => void>;
      w.setMarkdown(undefined);
      w.setMarkdown(42);
      w.appendMarkdown(null);
      w.appendMarkdown({});
    });
    assert.equal(await text(), "kept");
  });
});

describe("appending", () => {
  test("adds to the end, keeps the cursor and is one undo step", async () => {
    await setText("line one\nline two");
    await page.focus(".cm-content");
    await page.keyboard.press("Control+Home");
    await clearPosted(page);
    await page.evaluate(() => window.appendMarkdown("\n\n## Template\n- [ ] item"));
    const whole = "line one\nline two\n\n## Template\n- [ ] item";
    assert.equal(await text(), whole);
    assert.equal(await lastDidChange(), whole, "the host learns the whole text");
    await page.keyboard.type(">");
    assert.equal(await text(), ">" + whole, "cursor stayed at the start");
    await page.keyboard.press("Control+z");
    await page.keyboard.press("Control+z");
    assert.equal(await text(), "line one\nline two", "the insertion can be undone");
  });

  test("into an empty note the piece keeps its own line breaks", async () => {
    await setText("");
    await page.evaluate(() => window.appendMarkdown("a\r\nb\r\n"));
    assert.equal(await text(), "a\r\nb\r\n");
  });

  test("with a caret, typing goes where the caret was placed, line breaks of either style counted once", async () => {
    for (const [note, piece, caret, expected] of [
      ["", "## Title\n- [ ] \n", 15, "## Title\n- [ ] x\n"],
      ["a", "\n\nb\r\nc", 5, "a\n\nb\nxc"],
      ["a\r\nb", "\n\nc", 3, "a\r\nb\r\n\r\ncx"],
    ] as const) {
      await setText(note);
      await page.evaluate(([p, c]) => window.appendMarkdown(p, c), [piece, caret] as const);
      await page.focus(".cm-content");
      await page.keyboard.type("x");
      assert.equal(await text(), expected, JSON.stringify([note, piece, caret]));
    }
  });

  test("a caret that is not a place in the piece is ignored", async () => {
    await setText("kept");
    await page.focus(".cm-content");
    await page.keyboard.press("Control+Home");
    await page.evaluate(() => window.appendMarkdown("!", 99));
    await page.keyboard.type(">");
    assert.equal(await text(), ">kept!");
  });

  test("into a CRLF note the piece follows the note's line breaks", async () => {
    await setText("a\r\nb");
    await page.evaluate(() => window.appendMarkdown("\n\nc"));
    assert.equal(await text(), "a\r\nb\r\n\r\nc");
  });
});

describe("replacing the whole text as an edit", () => {
  test("the host hears it, and one undo brings back what was there", async () => {
    await setText("# Trip\nday one\nday two");
    await page.focus(".cm-content");
    await cursorToEnd(page);
    await page.keyboard.type("\nday three");
    await clearPosted(page);
    await page.evaluate(() => window.replaceMarkdown("# Trip\nday one"));
    assert.equal(await text(), "# Trip\nday one");
    assert.equal(await lastDidChange(), "# Trip\nday one", "an edit of the user's, reported like typing");
    await page.keyboard.press("Control+z");
    assert.equal(await text(), "# Trip\nday one\nday two\nday three", "one step back, typing included");
    assert.equal(await lastDidChange(), "# Trip\nday one\nday two\nday three");
  });

  test("a text with other line breaks still replaces the page's", async () => {
    await setText("a\nb");
    await page.evaluate(() => window.replaceMarkdown("a\r\nb\r\nc"));
    assert.equal(await text(), "a\r\nb\r\nc");
  });
});

describe("edits reported to the host", () => {
  test("edits post the whole text, in order, ending with the final text", async () => {
    await setText("");
    await clearPosted(page);
    await page.focus(".cm-content");
    const states = ["a", "ab", "ab\n", "ab"];
    await page.keyboard.type("ab");
    await page.keyboard.press("Enter");
    await page.keyboard.press("Backspace");
    const bodies = (await posted(page, "didChange")).map((m) => m.body);
    // Keys that arrive before the page got round to reporting are reported together,
    // so each report is one of the states, in order, and the last is the final text.
    assert.ok(bodies.length >= 1);
    let at = 0;
    for (const body of bodies) {
      at = states.indexOf(body as string, at);
      assert.ok(at >= 0, `unexpected or out-of-order report ${JSON.stringify(body)} in ${JSON.stringify(bodies)}`);
    }
    assert.equal(bodies.at(-1), "ab");
  });

  test("an edit made just before the host sets a text is reported before it, on the older generation", async () => {
    await page.evaluate(() => window.setMarkdown("old", 4));
    await clearPosted(page);
    // Same task: the edit's report is still pending when the host's text arrives.
    await page.evaluate(() => {
      window.appendMarkdown("!");
      window.setMarkdown("new", 5);
    });
    const reports = (await posted(page, "didChange")).map((m) => [m.body, m.generation]);
    assert.deepEqual(reports, [["old!", 4]], "reported once, with the edit, and the host's text is not echoed");
    assert.equal(await text(), "new");
    await page.focus(".cm-content");
    await cursorToEnd(page);
    await page.keyboard.type("?");
    assert.deepEqual((await posted(page, "didChange")).at(-1)?.generation, 5, "later edits are on the new text");

    // The host repeating a text of the same generation is behind the page: the typing stays.
    await page.evaluate(() => window.setMarkdown("new", 5));
    assert.equal(await text(), "new?");
    assert.deepEqual((await posted(page, "didChange")).at(-1)?.body, "new?", "and the host hears it again");
  });

  test("while a report is being delivered, edits wait for it and the next report carries the latest text", async () => {
    const slow = await session.open();
    // A host that takes delivery only when told to, like one busy with a big note.
    await slow.evaluate(() => {
      const w = window as unknown as {
        webkit: { messageHandlers: Record<string, { postMessage(body: unknown): unknown }> };
        __reports: string[];
        __pending: (() => void)[];
        __busiest: number;
      };
      w.__reports = [];
      w.__pending = [];
      w.__busiest = 0;
      w.webkit.messageHandlers.didChange.postMessage = (body) => {
        w.__reports.push(body as string);
        w.__busiest = Math.max(w.__busiest, w.__pending.length + 1);
        return new Promise<void>((resolve) => w.__pending.push(resolve));
      };
    });
    const state = () =>
      slow.evaluate(() => {
        const w = window as unknown as { __reports: string[]; __pending: unknown[]; __busiest: number };
        return { reports: w.__reports.slice(), pending: w.__pending.length, busiest: w.__busiest };
      });
    const release = () =>
      slow.evaluate(() => (window as unknown as { __pending: (() => void)[] }).__pending.shift()?.());
    await slow.evaluate(() => window.setMarkdown("note"));
    await slow.focus(".cm-content");
    await cursorToEnd(slow);
    await slow.keyboard.type("1");
    await settle(slow);
    await slow.keyboard.type("23");
    await settle(slow);
    await slow.keyboard.type("4");
    await settle(slow);
    let now = await state();
    assert.deepEqual(now.reports, ["note1"], "nothing more is posted while the first report is on its way");
    await release();
    await settle(slow);
    await settle(slow);
    now = await state();
    assert.deepEqual(now.reports, ["note1", "note1234"], "then one report with the latest text");
    await slow.keyboard.type("5");
    await release();
    await settle(slow);
    await settle(slow);
    now = await state();
    assert.equal(now.reports.at(-1), "note12345");
    assert.equal(now.busiest, 1, "never more than one report in flight from typing");
    // A save still goes out at once, with the latest text, behind its report.
    await slow.keyboard.type("6");
    await slow.keyboard.press("Control+s");
    now = await state();
    assert.equal(now.reports.at(-1), "note123456");
    assert.equal(await slow.evaluate(() => window.getMarkdown()), "note123456");
    assert.deepEqual(pageErrors(slow), []);
    await slow.context().close();
  });

  test("Enter continues a list", async () => {
    await setText("- one");
    await page.focus(".cm-content");
    await cursorToEnd(page);
    await page.keyboard.press("Enter");
    await page.keyboard.type("two");
    assert.equal(await text(), "- one\n- two");
  });

  test("Ctrl+S asks the host to save with the text, and is not an edit", async () => {
    await setText("save me\r\nplease");
    await clearPosted(page);
    await page.focus(".cm-content");
    await page.keyboard.press("Control+s");
    assert.deepEqual(
      (await posted(page)).map((m) => [m.name, m.body]),
      [["saveNote", "save me\r\nplease"]],
    );
  });

  test("the page can ask for an update install", async () => {
    await clearPosted(page);
    await page.focus(".cm-content");
    await page.keyboard.press("Control+Shift+U");
    await page.evaluate(() => window.requestUpdate());
    assert.deepEqual((await posted(page)).map((m) => m.name), ["installUpdate", "installUpdate"]);
  });

  test("a page without a host still edits", async () => {
    const bare = await session.open();
    await bare.evaluate(() => {
      delete (window as { webkit?: unknown }).webkit;
      window.setMarkdown("x");
    });
    await bare.focus(".cm-content");
    await bare.keyboard.type("y");
    assert.equal(await bare.evaluate(() => window.getMarkdown()), "yx");
    assert.deepEqual(pageErrors(bare), []);
    await bare.context().close();
  });
});

// Quick open asks for the match right after opening the note, before the note's text
// has reached the page: the reveal must wait for that text, not land in the old one.
describe("revealing a match", () => {
  test("waits for the text it was made for, then selects the match and scrolls to it", async () => {
    await page.evaluate(() => window.setMarkdown("old note", 40));
    const long = Array.from({ length: 400 }, (_, i) => `line ${i}`).join("\n") + "\nthe Café is here\n";
    await page.evaluate(() => window.revealRange(400, 4, 4, 41));
    const before = await page.evaluate(() => window.getSelection()?.toString() ?? "");
    assert.notEqual(before, "Café");
    await page.evaluate((t) => window.setMarkdown(t, 41), long);
    await settle(page);
    const shown = await page.evaluate(() => {
      const sel = document.querySelector(".cm-content")?.closest(".cm-editor");
      const line = Array.from(sel?.querySelectorAll(".cm-line") ?? []).find((l) => l.textContent?.includes("Café"));
      const box = line?.getBoundingClientRect();
      return { visible: !!box && box.top >= 0 && box.bottom <= window.innerHeight, selected: window.getSelection()?.toString() };
    });
    assert.equal(shown.selected, "Café");
    assert.ok(shown.visible, "the match is scrolled into view");
  });
});
