import assert from "node:assert/strict";
import { describe, test } from "node:test";
import type { Page } from "playwright-core";
import { cursorToEnd, pageForTheseTests, posted, type Posted, settle } from "./harness.ts";

let page: Page;
pageForTheseTests((p) => (page = p));

type Edit = [number, number, string];

async function start(text: string, generation: number): Promise<void> {
  await page.evaluate(([t, g]) => window.setMarkdown(t as string, g as number), [text, generation]);
  await page.focus(".cm-content");
  await cursorToEnd(page);
}

async function lastReport(): Promise<Posted> {
  const reports = await posted(page, "didChange");
  const last = reports.at(-1);
  assert.ok(last, "the page has reported");
  return last;
}

/** The page's report of `text`, once it has been posted. */
async function reportOf(text: string): Promise<Posted> {
  await page.waitForFunction(
    (t) => (window as unknown as { __posted: Posted[] }).__posted.filter((m) => m.name === "didChange").at(-1)?.body === t,
    text,
  );
  return lastReport();
}

async function merge(edits: Edit[], generation: number, report: number | undefined): Promise<string> {
  return page.evaluate(([e, g, r]) => window.mergeMarkdown(e, g as number, r as number), [edits, generation, report] as const);
}

const text = () => page.evaluate(() => window.getMarkdown());

describe("another program's changes merged by the host", () => {
  test("the caret stays on the user's text and the merge is one undo step", async () => {
    await start("Hello world.\n\nSecond paragraph here.", 1);
    await page.keyboard.type(" More");
    const report = await reportOf("Hello world.\n\nSecond paragraph here. More");
    assert.equal(await merge([[0, 5, "Howdy, big"]], 2, report.report), "merged");
    assert.equal(await text(), "Howdy, big world.\n\nSecond paragraph here. More");
    await page.keyboard.type("!");
    assert.equal(await text(), "Howdy, big world.\n\nSecond paragraph here. More!", "typing goes on where it was");

    await page.keyboard.press("Control+z");
    assert.equal(await text(), "Howdy, big world.\n\nSecond paragraph here. More");
    await page.keyboard.press("Control+z");
    assert.equal(await text(), "Hello world.\n\nSecond paragraph here. More", "the merge is undone as one step");
    await reportOf("Hello world.\n\nSecond paragraph here. More");  // the undo is reported
    await page.keyboard.press("Control+y");
    assert.equal(await text(), "Howdy, big world.\n\nSecond paragraph here. More");
  });

  test("a selection stays on the same words", async () => {
    await start("Hello world.\n\nSecond paragraph", 3);
    await page.keyboard.press("Control+Shift+ArrowLeft");
    await page.keyboard.type("x");
    const report = await reportOf("Hello world.\n\nSecond x");
    await page.keyboard.press("Shift+ArrowLeft");
    await page.keyboard.press("Control+Shift+ArrowLeft");
    assert.equal(await merge([[0, 0, "# Title\n\n"]], 4, report.report), "merged");
    await page.keyboard.type("words");
    assert.equal(await text(), "# Title\n\nHello world.\n\nwords");
  });

  test("typing not yet reported is kept, and reported on the merged generation", async () => {
    // The host takes its time: the first report stays on its way, later typing waits.
    await page.evaluate(() => {
      const handler = window.webkit!.messageHandlers!.didChange!;
      const original = handler.postMessage;
      const record = original.bind(handler);
      const waiting: (() => void)[] = [];
      (window as unknown as { __arrive: () => void }).__arrive = () => waiting.splice(0).forEach((f) => f());
      (window as unknown as { __restore: () => void }).__restore = () => void (handler.postMessage = original);
      handler.postMessage = (body: unknown) => {
        record(body);
        return new Promise<void>((arrived) => waiting.push(arrived));
      };
    });
    await start("one two three", 10);
    await page.keyboard.type(" ");
    const report = await reportOf("one two three ");
    await page.keyboard.type("four");
    await settle(page);
    assert.equal((await lastReport()).report, report.report, "the later keys wait for the first report to arrive");
    assert.equal(await merge([[0, 3, "ONE"]], 11, report.report), "merged");
    assert.equal(await text(), "ONE two three four");
    await page.evaluate(() => (window as unknown as { __arrive: () => void }).__arrive());
    const next = await reportOf("ONE two three four");
    assert.equal(next.generation, 11);
    assert.equal(await merge([[0, 0, "x"]], 12, report.report), "stale", "a later report is on its way");
    assert.equal(await text(), "ONE two three four");
    await page.evaluate(() => {
      const w = window as unknown as { __arrive: () => void; __restore: () => void };
      w.__restore();
      w.__arrive();
    });
  });

  test("CRLF notes are merged in their own line breaks; edits that do not fit are refused", async () => {
    await start("a\r\nb\r\nc", 20);
    await page.keyboard.type("!");
    const report = await reportOf("a\r\nb\r\nc!");
    assert.equal(await merge([[2, 2, "x"]], 21, report.report), "refused", "inside a CR LF");
    assert.equal(await merge([[3, 4, "B\nb2"]], 21, report.report), "refused", "a bare LF in a CRLF note");
    assert.equal(await merge([[3, 4, "B"], [1, 1, "?"]], 21, report.report), "refused", "out of order");
    assert.equal(await merge([[3, 99, "B"]], 21, report.report), "refused", "out of range");
    assert.equal(await text(), "a\r\nb\r\nc!");
    assert.equal(await merge([[3, 4, "B\r\nb2"], [6, 7, "C"]], 21, report.report), "merged");
    assert.equal(await text(), "a\r\nB\r\nb2\r\nC!");

    await page.keyboard.type("?");
    const next = await reportOf("a\r\nB\r\nb2\r\nC!?");
    await page.evaluate(() => window.setMarkdown("replaced", 22));
    assert.equal(await merge([[0, 0, "x"]], 23, next.report), "refused", "made on text since replaced");
  });

  test("the scroll position stays on the same text when lines come in above it", async () => {
    const lines = Array.from({ length: 300 }, (_, i) => `line ${i}`).join("\n");
    await start(lines, 30);
    await page.keyboard.type("!");
    const report = await reportOf(lines + "!");
    const topLine = () =>
      page.evaluate(() => {
        const scroller = document.querySelector(".cm-scroller")!.getBoundingClientRect();
        const el = document.elementFromPoint(scroller.left + 20, scroller.top + 8);
        return el?.closest(".cm-line")?.textContent ?? null;
      });
    const frames = () => page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
    await page.evaluate(() => {
      const scroller = document.querySelector(".cm-scroller")!;
      scroller.scrollTop = scroller.scrollHeight / 2;
    });
    await page.waitForFunction(() => document.querySelector(".cm-scroller")!.scrollTop > 0);
    await frames();
    await frames();
    const before = await topLine();
    assert.ok(before?.startsWith("line "), String(before));
    assert.equal(await merge([[0, 0, "new\n".repeat(40)]], 31, report.report), "merged");
    await frames();
    await frames();
    assert.equal(await topLine(), before);
  });
});
