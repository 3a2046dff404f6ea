// The page talks to whatever hosts it only through WebKit-style script message
// handlers. Qt installs a shim with the same shape before any page script runs, so
// the page looks the handler up on every post instead of caching it: a host that
// wires its channel late still gets every message posted after it is ready.

export type MessageName = "didChange" | "openLink" | "saveNote" | "installUpdate";

interface Handler {
  postMessage(body: unknown): void;
}

declare global {
  interface Window {
    webkit?: { messageHandlers?: Partial<Record<string, Handler>> };
    /** The generation of the last text the host set; its shim sends it with every post. */
    editorGeneration?: number;
  }
}

export function post(name: MessageName, body: unknown): void {
  const handler = window.webkit?.messageHandlers?.[name];
  if (!handler || typeof handler.postMessage !== "function") return;
  try {
    handler.postMessage(body);
  } catch (err) {
    // A broken host must not take the editor down with it.
    console.error(`posting ${name} failed`, err);
  }
}
