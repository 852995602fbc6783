// In the emulator's own world beside the page: tells the emulator when the user, and not a
// script, pressed or typed in the page (a navigation that follows counts as the user's), and
// what the page's title is whenever it changes.
(function () {
  if (window.__velmoraInput) return;
  window.__velmoraInput = true;
  const report = function (event) {
    if (event.isTrusted) velmoraInput(event.type);
  };
  addEventListener('pointerdown', report, true);
  addEventListener('keydown', report, true);
  if (window !== window.top) return;
  let title = null;
  const tell = function () {
    if (document.title !== title) velmoraTitle(title = document.title);
  };
  new MutationObserver(tell).observe(document, {subtree: true, childList: true,
                                                characterData: true});
  addEventListener('DOMContentLoaded', tell);
})();
