import assert from "node:assert/strict";
import { beforeEach, describe, test } from "node:test";
import type { Page } from "playwright-core";
import { clearPosted, pageForTheseTests, pointAt, posted } from "./harness.ts";

let page: Page;
pageForTheseTests((p) => (page = p));

const note = [
  "Inline [the site](https://example.com/a?b=c) here.",
  "Auto <mailto:me@example.com> and bare https://bare.example.org/x ok.",
  "Reference [docs][ref] and [Shortcut] too.",
  "Image ![pic](https://img.example/p.png) stays.",
  "Angle [spaced](<file name.md>) link.",
  "Plain words with no link.",
  "",
  "[ref]: https://docs.example/",
  "[shortcut]:   <https://short.example/>",
].join("\n");

async function opened(): Promise<unknown[]> {
  return (await posted(page, "openLink")).map((m) => m.body);
}

async function ctrlClick(needle: string, index = 1): Promise<void> {
  const { x, y } = await pointAt(page, needle, index);
  await page.keyboard.down("Control");
  await page.mouse.click(x, y);
  await page.keyboard.up("Control");
}

describe("links", () => {
  beforeEach(async () => {
    await page.evaluate((t) => window.setMarkdown(t), note);
    await page.focus(".cm-content");
    await page.keyboard.press("Control+End");
    await clearPosted(page);
  });

  test("Ctrl+click posts the link's target as written", async () => {
    await ctrlClick("the site");
    await ctrlClick("me@example");
    await ctrlClick("bare.example");
    await ctrlClick("docs");
    await ctrlClick("Shortcut");
    await ctrlClick("spaced");
    assert.deepEqual(await opened(), [
      "https://example.com/a?b=c",
      "mailto:me@example.com",
      "https://bare.example.org/x",
      "https://docs.example/",
      "https://short.example/",
      "file name.md",
    ]);
    assert.deepEqual(await posted(page, "didChange"), [], "following a link is not an edit");
  });

  test("Ctrl+click on an image or plain text posts nothing", async () => {
    await ctrlClick("pic");
    await ctrlClick("Plain words");
    assert.deepEqual(await opened(), []);
  });

  test("a plain click opens a link only when not already editing it", async () => {
    const { x, y } = await pointAt(page, "the site", 2);
    await page.mouse.click(x, y);
    assert.deepEqual(await opened(), ["https://example.com/a?b=c"]);
    // The cursor is now inside the link: a second click is for editing it.
    await page.mouse.click(x + 6, y);
    assert.equal((await opened()).length, 1);
    await page.keyboard.type("X");
    assert.match(await page.evaluate(() => window.getMarkdown()), /\[[^\]]*X[^\]]*\]\(https:\/\/example\.com/);
  });

  test("dragging across a link selects text without opening it", async () => {
    const from = await pointAt(page, "the site", 1);
    const to = await pointAt(page, "here.", 2);
    await page.mouse.move(from.x, from.y);
    await page.mouse.down();
    await page.mouse.move(to.x, to.y, { steps: 5 });
    await page.mouse.up();
    assert.deepEqual(await opened(), []);
  });
});

describe("task boxes", () => {
  test("clicking a box ticks and unticks it as an edit the host hears about", async () => {
    await page.evaluate(() => window.setMarkdown("- [ ] milk\n- [x] eggs\n* [X] bread"));
    await clearPosted(page);
    const boxes = page.locator(".cm-fl-task");
    assert.equal(await boxes.count(), 3);
    await boxes.nth(0).click();
    assert.equal(await page.evaluate(() => window.getMarkdown()), "- [x] milk\n- [x] eggs\n* [X] bread");
    await page.locator(".cm-fl-task").nth(2).click();
    await page.locator(".cm-fl-task").nth(1).click();
    const bodies = (await posted(page, "didChange")).map((m) => m.body);
    assert.deepEqual(bodies, [
      "- [x] milk\n- [x] eggs\n* [X] bread",
      "- [x] milk\n- [x] eggs\n* [ ] bread",
      "- [x] milk\n- [ ] eggs\n* [ ] bread",
    ]);
    assert.equal(await page.locator(".cm-fl-task-done").count(), 1);
    await page.keyboard.press("Control+z");
    assert.equal(await page.evaluate(() => window.getMarkdown()), "- [x] milk\n- [x] eggs\n* [ ] bread");
  });
});

describe("theme", () => {
  // Media changes reach the page asynchronously; give them a moment.
  const theme = async () => {
    await page.waitForTimeout(50);
    return page.evaluate(() => document.documentElement.dataset.theme);
  };
  const textColour = () => page.evaluate(() => getComputedStyle(document.querySelector(".cm-content")!).color);

  test("auto follows the system scheme, manual pins one", async () => {
    await page.emulateMedia({ colorScheme: "dark" });
    assert.equal(await page.evaluate(() => window.setThemeMode("auto")), true);
    assert.equal(await theme(), "dark");
    const dark = await textColour();
    await page.emulateMedia({ colorScheme: "light" });
    assert.equal(await theme(), "light", "auto tracks a live change");
    assert.notEqual(await textColour(), dark);

    await page.evaluate(() => window.setThemeMode("manual", "dark"));
    await page.emulateMedia({ colorScheme: "light" });
    assert.equal(await theme(), "dark");
    await page.evaluate(() => window.setThemeMode("manual", "light"));
    await page.emulateMedia({ colorScheme: "dark" });
    assert.equal(await theme(), "light", "a pinned scheme ignores the system");
    await page.evaluate(() => window.setThemeMode("auto"));
    assert.equal(await theme(), "dark", "back to auto picks the system scheme up again");
  });

  test("a host may tell the page the system scheme in auto mode", async () => {
    await page.emulateMedia({ colorScheme: "light" });
    await page.evaluate(() => window.setThemeMode("auto", "dark"));
    assert.equal(await theme(), "dark");
    await page.evaluate(() => window.setThemeMode("auto"));
    assert.equal(await theme(), "light");
  });

  test("nonsense leaves the look alone", async () => {
    await page.evaluate(() => window.setThemeMode("manual", "dark"));
    const results = await page.evaluate(() => {
      const set = window.setThemeMode as (...a: unknown[]) => boolean;
      return [set("manual"), set("manual", "sepia"), set("dark"), set(undefined)];
    });
    assert.deepEqual(results, [false, false, false, false]);
    assert.equal(await theme(), "dark");
  });

  test("the page paints no background of its own", async () => {
    for (const scheme of ["light", "dark"]) {
      await page.evaluate((s) => window.setThemeMode("manual", s), scheme);
      const backgrounds = await page.evaluate(() =>
        ["html", "body", ".cm-editor", ".cm-scroller", ".cm-content"].map(
          (sel) => getComputedStyle(document.querySelector(sel)!).backgroundColor,
        ),
      );
      assert.deepEqual(new Set(backgrounds), new Set(["rgba(0, 0, 0, 0)"]), scheme);
    }
  });
});

describe("link error messages", () => {
  test("show as text, never as markup, and fade away", async () => {
    await page.evaluate(() => {
      (window as unknown as { hacked: boolean }).hacked = false;
      // Written the way the host calls it: a bare global function.
      new Function("showLinkError('유효하지 않은 URL: <img src=x onerror=\"window.hacked=true\"><b>x</b>');")();
    });
    const toast = page.locator("#fl-toast");
    assert.equal(await toast.textContent(), '유효하지 않은 URL: <img src=x onerror="window.hacked=true"><b>x</b>');
    assert.equal(await toast.locator("*").count(), 0);
    assert.equal(await toast.evaluate((el) => el.classList.contains("fl-visible")), true);
    await page.waitForTimeout(300);
    assert.equal(await page.evaluate(() => (window as unknown as { hacked: boolean }).hacked), false);
    await page.waitForFunction(() => !document.getElementById("fl-toast")!.classList.contains("fl-visible"), null, {
      timeout: 5000,
    });
  });

  test("a new message restarts the timer instead of stacking", async () => {
    await page.evaluate(() => window.showLinkError("지원하지 않는 링크 형식입니다"));
    await page.waitForTimeout(2000);
    await page.evaluate(() => window.showLinkError("링크를 열 수 없습니다"));
    await page.waitForTimeout(2000);
    assert.equal(await page.locator("#fl-toast").count(), 1);
    assert.equal(await page.locator("#fl-toast.fl-visible").textContent(), "링크를 열 수 없습니다");
  });
});

describe("large notes", () => {
  // Past 64 KB the note is parsed in sections and only the visible part is styled; a
  // fence opened at the top must still reach the bottom, and styles must follow the
  // view there.
  const big = [
    ...Array.from({ length: 1500 }, (_, i) => `Paragraph ${i} with **bold** words and a [link](https://x.y/${i}).`),
    "```js\nfunction last() {\n  return 1;\n}\n```",
    "## Final heading",
  ].join("\n\n");

  const lastLine = () =>
    page.evaluate(() => {
      const lines = document.querySelectorAll(".cm-content .cm-line");
      return lines[lines.length - 1].className;
    });
  // Ctrl+End scrolls by estimated heights; keep scrolling until the end is drawn.
  const endStyled = (cls: string) =>
    page.waitForFunction(
      (cls) => {
        const scroller = document.querySelector(".cm-scroller")!;
        scroller.scrollTop = scroller.scrollHeight;
        const lines = document.querySelectorAll(".cm-content .cm-line");
        return lines[lines.length - 1].className.includes(cls);
      },
      cls,
      { polling: 50, timeout: 10_000 },
    );

  test("a fence opened at the top swallows the end, and styles follow the view", async () => {
    await page.evaluate((t) => window.setMarkdown(t), big);
    await page.focus(".cm-content");
    await page.keyboard.press("Control+End");
    await endStyled("cm-fl-h2");
    // The code's language is loaded on first use, then the block is parsed again.
    await page.waitForFunction(() => [...document.querySelectorAll(".cm-content span")].some((s) => s.textContent === "return"));
    const keyword = await page.evaluate(() => {
      const probe = document.createElement("span");
      probe.style.color = "var(--fl-code-keyword)";
      document.querySelector(".cm-content")!.append(probe);
      const want = getComputedStyle(probe).color;
      probe.remove();
      const word = [...document.querySelectorAll(".cm-content span")].find((s) => s.textContent === "return");
      return { want, got: word ? getComputedStyle(word).color : null };
    });
    assert.equal(keyword.got, keyword.want, "code far down is highlighted in its language");

    await page.keyboard.press("Control+Home");
    await page.keyboard.type("~~~");
    await page.keyboard.press("Enter");
    await endStyled("cm-fl-code");
    assert.doesNotMatch(await lastLine(), /cm-fl-h/);

    // The fence and the line break may be one undo step or two.
    for (let i = 0; i < 3 && (await page.evaluate(() => window.getMarkdown())) !== big; i++) {
      await page.keyboard.press("Control+z");
    }
    assert.equal(await page.evaluate(() => window.getMarkdown()), big);
    await endStyled("cm-fl-h2");
    assert.doesNotMatch(await lastLine(), /cm-fl-code/);
  });
});
