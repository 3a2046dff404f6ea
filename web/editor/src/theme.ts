// Light and dark looks. The host either asks the page to follow the system
// ('auto') or pins one scheme ('manual', 'light' | 'dark'). The result is a
// data-theme attribute on <html> that the stylesheet keys its colours on.

export type Scheme = "light" | "dark";
export type ThemeMode = "auto" | "manual";

const query = typeof matchMedia === "function" ? matchMedia("(prefers-color-scheme: dark)") : null;

let mode: ThemeMode = "auto";
let pinned: Scheme = "light";
// Some embedded engines never learn the desktop's scheme; a host that knows it may
// pass it along with 'auto', and the page uses it instead of the media query.
let systemHint: Scheme | null = null;

function systemScheme(): Scheme {
  if (systemHint) return systemHint;
  return query?.matches ? "dark" : "light";
}

function apply(): void {
  const scheme = mode === "manual" ? pinned : systemScheme();
  const root = document.documentElement;
  root.dataset.theme = scheme;
  root.dataset.themeMode = mode;
}

function isScheme(value: unknown): value is Scheme {
  return value === "light" || value === "dark";
}

/**
 * `setThemeMode('auto')` follows the system; `setThemeMode('manual', 'light' | 'dark')`
 * pins a scheme. Anything else leaves the current look alone and returns false, so a
 * host that evaluates the call can tell a typo from success.
 */
export function setThemeMode(newMode: unknown, scheme?: unknown): boolean {
  if (newMode === "auto") {
    mode = "auto";
    systemHint = isScheme(scheme) ? scheme : null;
  } else if (newMode === "manual" && isScheme(scheme)) {
    mode = "manual";
    pinned = scheme;
  } else {
    return false;
  }
  apply();
  return true;
}

export function initTheme(): void {
  query?.addEventListener("change", () => {
    if (mode === "auto") apply();
  });
  apply();
}
