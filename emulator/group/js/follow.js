// In the emulator's own world beside the page, which the page's scripts cannot reach: reports
// what the user does in the page (clicks on links and buttons, scrolling, the focus into a
// field and the text typed there, each with the page's address) and applies what the other
// windows did, only to the same page. Only trusted events count, and what it applied itself
// is not reported back. Only the top document takes part: a frame's scrolling is not the
// page's.
(function () {
  if (window.__velmoraGroup || window !== window.top) return;
  let quietUntil = 0, expected = -1, pending = false, applying = false;
  const report = function (message) {
    if (typeof window.velmoraFollow !== 'function') return;
    message.address = location.href;
    window.velmoraFollow(JSON.stringify(message));
  };
  // The address without its fragment, its escapes as the address field would show them.
  const bare = function (address) {
    try {
      const url = new URL(address);
      url.hash = '';
      return decodeURI(url.href);
    } catch (e) {
      return null;
    }
  };
  const samePage = function (address) {
    const here = bare(location.href);
    return here !== null && bare(address) === here;
  };
  const scrollable = function () {
    const root = document.scrollingElement || document.documentElement;
    return root ? Math.max(0, root.scrollHeight - innerHeight) : 0;
  };
  const fraction = function () {
    const max = scrollable();
    return max > 0 ? Math.min(1, scrollY / max) : 0;
  };
  addEventListener('scroll', function () {
    if (pending) return;
    pending = true;
    requestAnimationFrame(function () {
      pending = false;
      if (performance.now() < quietUntil || Math.abs(scrollY - expected) <= 1) return;
      expected = -1;
      report({type: 'scroll', fraction: fraction()});
    });
  }, {passive: true});
  const clickable = 'a[href], button, input[type=button], input[type=submit], ' +
                    'input[type=reset], input[type=image], [role=button], [role=link], summary';
  // Fields whose text may go to the other windows: never a password, a file or a hidden one.
  const textTypes = ['text', 'search', 'email', 'url', 'tel', 'number'];
  const typable = function (e) {
    if (e instanceof HTMLInputElement)
      return textTypes.includes(e.type) && !/password/i.test(e.autocomplete);
    return e instanceof HTMLTextAreaElement || (e instanceof HTMLElement && e.isContentEditable);
  };
  const textOf = function (e) {
    return e instanceof HTMLInputElement || e instanceof HTMLTextAreaElement ? e.value
                                                                             : e.innerText;
  };
  const pathOf = function (element) {
    const steps = [];
    for (let e = element; e && e !== document.documentElement; e = e.parentElement) {
      let n = 1;
      for (let s = e.previousElementSibling; s; s = s.previousElementSibling)
        if (s.localName === e.localName) ++n;
      steps.unshift(e.localName + ':nth-of-type(' + n + ')');
    }
    steps.unshift('html');
    return steps.join(' > ');
  };
  // A window a page opens right after a click on anything but a link or a form's button is
  // the page's doing.
  const opener = function (e) {
    const control = e.closest('a[href], area[href], button, input[type=submit], input[type=image]');
    return control && (control.href || (control.form && /^(submit|image)$/.test(control.type)));
  };
  document.addEventListener('click', function (event) {
    if (!event.isTrusted || !(event.target instanceof Element)) return;
    const target = event.target.closest(clickable);
    if (target) report({type: 'click', path: pathOf(target)});
    if (!opener(event.target) && typeof window.velmoraLeaving === 'function')
      window.velmoraLeaving('pressed');
  }, true);
  // A focus given by a script, the page's or this one, and text a script inserted are
  // trusted events too: only what comes right after the user's own key or press counts, and
  // what this script applied is told apart by `applying`.
  let lastInput = -Infinity;
  for (const type of ['keydown', 'pointerdown', 'mousedown', 'touchstart'])
    addEventListener(type, function (event) {
      if (event.isTrusted) lastInput = performance.now();
    }, {capture: true, passive: true});
  const byUser = function (event) {
    return event.isTrusted && !applying && performance.now() - lastInput < 1000;
  };
  document.addEventListener('focusin', function (event) {
    if (byUser(event) && typable(event.target))
      report({type: 'focus', path: pathOf(event.target)});
  }, true);
  document.addEventListener('input', function (event) {
    if (byUser(event) && typable(event.target))
      report({type: 'type', path: pathOf(event.target), text: textOf(event.target)});
  }, true);
  // Whether the page is leaving for another address because the user followed a link or
  // sent a form, or because its script did, even right after the user's click (a script's
  // link click, a form sent by script): the emulator leads no other window where the page
  // went by itself.
  if (window.navigation)
    navigation.addEventListener('navigate', function (event) {
      if (typeof window.velmoraLeaving === 'function' && !event.hashChange &&
          (event.navigationType === 'push' || event.navigationType === 'replace'))
        window.velmoraLeaving(event.userInitiated ? 'user' : 'page');
    });
  // The element at `path` of the page at `address`; none on another page.
  const find = function (path, address) {
    return samePage(address) ? document.querySelector(path) : null;
  };
  const fieldAt = function (path, address) {
    const field = find(path, address);
    return field && typable(field) && !field.disabled && !field.readOnly ? field : null;
  };
  window.__velmoraGroup = {
    scroll: function (to, address) {
      if (!samePage(address)) return;
      expected = Math.round(to * scrollable());
      quietUntil = performance.now() + 200;
      scrollTo(scrollX, expected);
    },
    click: function (path, address) {
      const target = find(path, address);
      if (target) target.click();
    },
    focus: function (path, address) {
      const field = fieldAt(path, address);
      if (!field) return;
      applying = true;
      try {
        field.focus();
      } finally {
        applying = false;
      }
    },
    // As the user's typing would: the text, then input and change.
    type: function (path, address, text) {
      const field = fieldAt(path, address);
      if (!field || textOf(field) === text) return;
      if (field instanceof HTMLInputElement || field instanceof HTMLTextAreaElement)
        field.value = text;
      else
        field.innerText = text;
      applying = true;
      try {
        field.dispatchEvent(new InputEvent('input', {bubbles: true, inputType: 'insertText'}));
        field.dispatchEvent(new Event('change', {bubbles: true}));
      } finally {
        applying = false;
      }
    },
    fraction: fraction
  };
})();
