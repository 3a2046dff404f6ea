// Builds the page into a self-contained folder: index.html with one script and one
// stylesheet under assets/, all referenced by relative paths so the page works from
// a file:// URL.
//
//   node scripts/build.mjs [--outdir DIR] [--if-stale]
//
// --if-stale skips the build when DIR/index.html is newer than every source.
import { build } from "esbuild";
import { copyFileSync, existsSync, mkdirSync, readdirSync, rmSync, statSync } from "node:fs";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

const root = resolve(dirname(fileURLToPath(import.meta.url)), "..");
const args = process.argv.slice(2);
const flag = (name) => args.includes(name);
const option = (name) => {
  const i = args.indexOf(name);
  return i >= 0 ? args[i + 1] : undefined;
};
const outdir = resolve(option("--outdir") ?? join(root, "dist"));

function newestSource() {
  let newest = 0;
  const visit = (path) => {
    const st = statSync(path);
    if (st.isDirectory()) for (const name of readdirSync(path)) visit(join(path, name));
    else newest = Math.max(newest, st.mtimeMs);
  };
  for (const p of ["src", "package.json", "package-lock.json", "scripts/build.mjs"]) {
    if (existsSync(join(root, p))) visit(join(root, p));
  }
  return newest;
}

const index = join(outdir, "index.html");
if (flag("--if-stale") && existsSync(index) && statSync(index).mtimeMs >= newestSource()) {
  process.exit(0);
}

if (!existsSync(join(root, "node_modules", "@codemirror", "view"))) {
  console.error("editor page: node_modules is missing; run scripts/install-deps.sh (npm ci in web/editor)");
  process.exit(1);
}

// Only what this build owns is replaced; the folder itself may be shared.
rmSync(join(outdir, "assets"), { recursive: true, force: true });
rmSync(index, { force: true });
mkdirSync(join(outdir, "assets"), { recursive: true });

// The editor's script. The Markdown language's HTML support stands in for the real
// one (src/lazyHtml.ts), whose grammars come with the others in the second script.
const common = {
  absWorkingDir: root,
  bundle: true,
  // A classic script: module scripts from file:// URLs are refused by Chromium.
  format: "iife",
  minify: !process.env.NOMINIFY,
  sourcemap: false,
  legalComments: "none",
  // Qt 6.4's WebEngine is Chromium 102.
  target: ["chrome102"],
  metafile: true,
  logLevel: "warning",
};
const lazyHtml = {
  name: "lazy-html",
  setup(b) {
    b.onResolve({ filter: /^@codemirror\/lang-html$/ }, () => ({ path: join(root, "src", "lazyHtml.ts") }));
  },
};
const result = await build({
  ...common,
  entryPoints: { editor: "src/main.ts" },
  outdir: join(outdir, "assets"),
  plugins: [lazyHtml],
});

// The grammars (src/grammars.ts), loaded after the first paint. The packages they
// share with the editor are the editor's own copies (src/shared.ts), so that facets,
// node props and highlight tags are one and the same on both sides.
const shared = ["@codemirror/state", "@codemirror/view", "@codemirror/language", "@lezer/common", "@lezer/highlight"];
const fromEditor = {
  name: "from-editor",
  setup(b) {
    const filter = new RegExp(`^(${shared.map((p) => p.replace(/[/@]/g, "\\$&")).join("|")})$`);
    b.onResolve({ filter }, (args) => ({ path: args.path, namespace: "from-editor" }));
    b.onLoad({ filter: /.*/, namespace: "from-editor" }, (args) => ({
      contents: `module.exports = globalThis.flintlyShared[${JSON.stringify(args.path)}];`,
      loader: "js",
    }));
  },
};
const grammars = await build({
  ...common,
  entryPoints: { languages: "src/grammars.ts" },
  outdir: join(outdir, "assets"),
  plugins: [fromEditor],
});
result.metafile.outputs = { ...result.metafile.outputs, ...grammars.metafile.outputs };

// index.html is written last: its timestamp is what marks the build as complete.
copyFileSync(join(root, "src", "index.html"), index);

const outputs = Object.entries(result.metafile.outputs).map(([file, info]) => [file, info.bytes]);
const total = outputs.reduce((sum, [, bytes]) => sum + bytes, 0);
console.log(`editor page: ${outdir} (${(total / 1024).toFixed(0)} KiB of script and style)`);
