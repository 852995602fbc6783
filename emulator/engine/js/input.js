// In the emulator's own world beside the page: tells the emulator when the user, and not a
// script, pressed or typed in the page (so the page gets the keyboard, and a navigation that
// follows counts as the user's).
(function () {
  if (window.__velmoraInput) return;
  window.__velmoraInput = true;
  const report = function (event) {
    if (event.isTrusted) velmoraInput(event.type);
  };
  addEventListener('pointerdown', report, true);
  addEventListener('keydown', report, true);
})();
