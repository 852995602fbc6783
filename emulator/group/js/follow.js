// In the emulator's own world beside the page, which the page's scripts cannot reach: reports
// the user's clicks on links and buttons and the page's scrolling, and applies what the other
// windows did. What it applied itself is not reported back. Only the top document takes part:
// a frame's scrolling is not the page's.
(function () {
  if (window.__velmoraGroup || window !== window.top) return;
  let quietUntil = 0, expected = -1, pending = false;
  const report = function (binding, value) {
    if (typeof binding === 'function') binding(JSON.stringify(value));
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
      report(window.velmoraScrolled, fraction());
    });
  }, {passive: true});
  const clickable = 'a[href], button, input[type=button], input[type=submit], ' +
                    'input[type=reset], input[type=image], [role=button], [role=link], summary';
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
  document.addEventListener('click', function (event) {
    if (!event.isTrusted || !(event.target instanceof Element)) return;
    const target = event.target.closest(clickable);
    if (target) report(window.velmoraClicked, pathOf(target));
  }, true);
  window.__velmoraGroup = {
    scroll: function (to) {
      expected = Math.round(to * scrollable());
      quietUntil = performance.now() + 200;
      scrollTo(scrollX, expected);
    },
    click: function (path) {
      const target = document.querySelector(path);
      if (target) target.click();
    },
    fraction: fraction
  };
})();
