// Opens the built page in the system's Chromium, as a host would: from a file://
// URL, with a recording stand-in for the host's message handlers installed before
// any page script runs.
import assert from "node:assert/strict";
import { after, before } from "node:test";
import { chromium, type Browser, type Page } from "playwright-core";
import { resolve } from "node:path";
import { pathToFileURL } from "node:url";

export const pageUrl = pathToFileURL(resolve(import.meta.dirname ?? __dirname, "..", "dist", "index.html")).href;

export interface Posted {
  name: string;
  body: unknown;
  /** The host's text generation the page had when it posted. */
  generation?: number;
  /** The number the page gave its text report. */
  report?: number;
}

// Written as source text: functions handed to the browser must not carry the name
// helpers that the TypeScript loader adds to compiled test code.
const recorder = `
  (() => {
    const posted = [];
    window.__posted = posted;
    const handlers = {};
    for (const name of ["didChange", "openLink", "saveNote", "installUpdate"]) {
      handlers[name] = {
        postMessage: (body) =>
          void posted.push({ name, body, generation: window.editorGeneration, report: window.editorReport, at: performance.now() }),
      };
    }
    window.webkit = { messageHandlers: handlers };
    // Test code compiled by the loader refers to this helper in evaluated functions.
    window.__name = window.__name || ((fn) => fn);
  })();
`;

export interface Session {
  browser: Browser;
  close(): Promise<void>;
  open(options?: { colorScheme?: "light" | "dark"; width?: number; height?: number }): Promise<Page>;
}

export async function launch(): Promise<Session> {
  const browser = await chromium.launch({
    executablePath: process.env.CHROMIUM ?? "/usr/bin/chromium",
    args: [
      "--headless",
      "--no-sandbox",
      "--disable-gpu",
      "--disable-quic",
      "--no-first-run",
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
    ],
    // Playwright gives every launch a fresh, throw-away profile directory.
    headless: true,
  });
  return {
    browser,
    async close() {
      await browser.close();
    },
    async open(options = {}) {
      const context = await browser.newContext({
        viewport: { width: options.width ?? 400, height: options.height ?? 600 },
        colorScheme: options.colorScheme ?? "light",
      });
      const page = await context.newPage();
      await page.addInitScript({ content: recorder });
      const errors: string[] = [];
      page.on("pageerror", (err) => errors.push(String(err)));
      page.on("console", (msg) => {
        if (msg.type() === "error") errors.push(msg.text());
      });
      (page as Page & { errors: string[] }).errors = errors;
      await page.goto(pageUrl);
      await page.waitForFunction(() => typeof window.setMarkdown === "function");
      return page;
    },
  };
}

/**
 * One browser and one editor page for the tests of a file: opened before them (handed
 * to `use`, with the browser for more pages), closed after them; no page error may
 * have been seen meanwhile.
 */
export function pageForTheseTests(use: (page: Page, session: Session) => void): void {
  let session: Session | undefined;
  let page: Page | undefined;
  before(async () => {
    session = await launch();
    page = await session.open();
    use(page, session);
  });
  after(async () => {
    if (page) assert.deepEqual(pageErrors(page), []);
    await session?.close();
  });
}

export function pageErrors(page: Page): string[] {
  return (page as Page & { errors?: string[] }).errors ?? [];
}

/** Lets the page finish the message tasks it has queued (edit reports among them). */
export async function settle(page: Page): Promise<void> {
  await page.evaluate(
    () =>
      new Promise<void>((done) => {
        const channel = new MessageChannel();
        channel.port1.onmessage = () => done();
        channel.port2.postMessage(null);
      }),
  );
}

export async function posted(page: Page, name?: string): Promise<Posted[]> {
  await settle(page);
  const all = await page.evaluate(() => (window as unknown as { __posted: Posted[] }).__posted.slice());
  return name ? all.filter((m) => m.name === name) : all;
}

export async function clearPosted(page: Page): Promise<void> {
  await page.evaluate(() => void ((window as unknown as { __posted: Posted[] }).__posted.length = 0));
}

/** Viewport coordinates of the middle of `needle`'s first character in the editor. */
export async function pointAt(page: Page, needle: string, index = 0): Promise<{ x: number; y: number }> {
  const point = await page.evaluate(
    ({ needle, index }) => {
      const content = document.querySelector(".cm-content");
      if (!content) return null;
      const walker = document.createTreeWalker(content, NodeFilter.SHOW_TEXT);
      for (let node = walker.nextNode(); node; node = walker.nextNode()) {
        const at = (node.textContent ?? "").indexOf(needle);
        if (at < 0) continue;
        const range = document.createRange();
        range.setStart(node, at + index);
        range.setEnd(node, at + index + 1);
        const rect = range.getBoundingClientRect();
        return { x: rect.left + rect.width / 2, y: rect.top + rect.height / 2 };
      }
      return null;
    },
    { needle, index },
  );
  if (!point) throw new Error(`text not shown in the editor: ${needle}`);
  return point;
}

/** Places the cursor at the very end of the note through the keyboard. */
export async function cursorToEnd(page: Page): Promise<void> {
  await page.keyboard.press("Control+End");
}
