// In the emulator's own world, for a device with keys only: the pointer does not reach the
// page, which is navigated with the keyboard as on such a phone.
(function () {
  const swallow = function (event) {
    if (!event.isTrusted) return;
    event.preventDefault();
    event.stopImmediatePropagation();
  };
  for (const type of ['pointerdown', 'pointerup', 'pointermove', 'mousedown', 'mouseup',
                      'mousemove', 'click', 'dblclick', 'contextmenu', 'wheel'])
    addEventListener(type, swallow, {capture: true, passive: false});
})();
