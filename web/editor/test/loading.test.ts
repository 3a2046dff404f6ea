import assert from "node:assert/strict";
import { statSync, readdirSync } from "node:fs";
import { join, resolve } from "node:path";
import { test } from "node:test";
import { launch, pageErrors, pageUrl } from "./harness.ts";

test("the page loads from disk on its own: no network, no errors, editor focused", async () => {
  const session = await launch();
  try {
    const context = await session.browser.newContext();
    const requests: string[] = [];
    context.on("request", (r) => requests.push(r.url()));
    const page = await context.newPage();
    const errors: string[] = [];
    page.on("pageerror", (e) => errors.push(String(e)));
    page.on("console", (m) => m.type() === "error" && errors.push(m.text()));
    await page.goto(pageUrl);
    const ready = await page.evaluate(() =>
      ["setMarkdown", "appendMarkdown", "setThemeMode", "showLinkError"].map(
        (name) => typeof (window as unknown as Record<string, unknown>)[name],
      ),
    );
    assert.deepEqual(ready, ["function", "function", "function", "function"]);
    assert.equal(await page.evaluate(() => document.activeElement?.classList.contains("cm-content")), true);
    // Fenced code pulls its language in on demand; that must not reach for the network.
    await page.evaluate(() => window.setMarkdown("```python\nprint('x')\n```\n```ts\nlet a: number\n```"));
    await page.waitForTimeout(100);
    assert.deepEqual(requests.filter((u) => !u.startsWith("file://")), []);
    assert.deepEqual(errors, []);
    assert.deepEqual(pageErrors(page), []);
  } finally {
    await session.close();
  }
});

test("the built page stays under a megabyte of script and style", () => {
  const assets = resolve(import.meta.dirname, "..", "dist", "assets");
  const total = readdirSync(assets).reduce((sum, f) => sum + statSync(join(assets, f)).size, 0);
  assert.ok(total < 1_000_000, `${total} bytes`);
});
