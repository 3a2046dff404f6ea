// A short, non-modal notice at the bottom of the page. The host builds these messages
// from text it did not write (a link the user clicked), so the message is only ever
// set as text: markup in it is shown, never parsed.

const shownFor = 3200;
let hideTimer: ReturnType<typeof setTimeout> | undefined;

function element(): HTMLElement {
  let el = document.getElementById("fl-toast");
  if (!el) {
    el = document.createElement("div");
    el.id = "fl-toast";
    el.setAttribute("role", "status");
    el.setAttribute("aria-live", "polite");
    document.body.appendChild(el);
  }
  return el;
}

export function showMessage(message: unknown): void {
  if (message === undefined || message === null) return;
  const el = element();
  el.textContent = String(message);
  el.classList.add("fl-visible");
  clearTimeout(hideTimer);
  hideTimer = setTimeout(() => el.classList.remove("fl-visible"), shownFor);
}
