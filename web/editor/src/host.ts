// The page talks to whatever hosts it only through WebKit-style script message
// handlers. Qt installs a shim with the same shape before any page script runs, so
// the page looks the handler up on every post instead of caching it: a host that
// wires its channel late still gets every message posted after it is ready.

export type MessageName = "didChange" | "openLink" | "saveNote" | "installUpdate";

interface Handler {
  /** A host may return a promise that settles once the message has been delivered. */
  postMessage(body: unknown): unknown;
}

declare global {
  interface Window {
    webkit?: { messageHandlers?: Partial<Record<string, Handler>> };
    /** The generation of the last text the host set; its shim sends it with every post. */
    editorGeneration?: number;
    /** The number of the page's last text report; the shim sends it with the report. */
    editorReport?: number;
  }
}

/**
 * Posts a message. Returns a promise that settles when the host has taken delivery, if
 * the host tells (Flintly's shim does, as does WebKit for handlers with a reply), or
 * null when it does not or nothing could be posted.
 */
export function post(name: MessageName, body: unknown): PromiseLike<unknown> | null {
  const handler = window.webkit?.messageHandlers?.[name];
  if (!handler || typeof handler.postMessage !== "function") return null;
  try {
    const delivered = handler.postMessage(body);
    return delivered !== null && typeof delivered === "object" && typeof (delivered as PromiseLike<unknown>).then === "function"
      ? (delivered as PromiseLike<unknown>)
      : null;
  } catch (err) {
    // A broken host must not take the editor down with it.
    console.error(`posting ${name} failed`, err);
    return null;
  }
}
