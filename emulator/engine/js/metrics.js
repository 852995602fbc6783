// Runs in the page's own world, so it sees what the page's scripts see: everything a page
// can learn about the device and the browser it runs in.
(async function () {
  const query = function (q) { return matchMedia(q).matches; };
  const m = {
    innerWidth: innerWidth, innerHeight: innerHeight, devicePixelRatio: devicePixelRatio,
    screenWidth: screen.width, screenHeight: screen.height,
    orientation: screen.orientation ? screen.orientation.type : '',
    orientationQuery: query('(orientation: portrait)') ? 'portrait' :
                      query('(orientation: landscape)') ? 'landscape' : '',
    pointer: query('(pointer: coarse)') ? 'coarse' : query('(pointer: fine)') ? 'fine' :
             query('(pointer: none)') ? 'none' : '',
    hover: query('(hover: hover)') ? 'hover' : query('(hover: none)') ? 'none' : '',
    maxTouchPoints: navigator.maxTouchPoints, touchEvents: 'ontouchstart' in window,
    userAgent: navigator.userAgent, platform: navigator.platform, vendor: navigator.vendor,
    visualViewportScale: window.visualViewport ? visualViewport.scale : 1,
    clientWidth: document.documentElement ? document.documentElement.clientWidth : 0,
    userAgentData: null,
    documentTitle: document.title,
    colorScheme: query('(prefers-color-scheme: dark)') ? 'dark' : 'light',
    reducedMotion: query('(prefers-reduced-motion: reduce)'),
    onLine: navigator.onLine,
    connection: navigator.connection ? {effectiveType: navigator.connection.effectiveType,
                                        rtt: navigator.connection.rtt,
                                        downlink: navigator.connection.downlink} : null,
    safeArea: null,
    geolocation: null,
    // What current engines lay out and phones' browsers support: a page made with current
    // tooling relies on each.
    features: {
      has: CSS.supports('selector(:has(a))'),
      containerQueries: CSS.supports('container-type: inline-size'),
      nesting: CSS.supports('selector(&)'),
      popover: 'popover' in HTMLElement.prototype,
      dynamicViewportUnits: CSS.supports('height: 1dvh'),
      oklch: CSS.supports('color: oklch(50% 0.1 200)'),
      colorMix: CSS.supports('color: color-mix(in srgb, red, blue)'),
      anchorPositioning: CSS.supports('anchor-name: --a')
    }
  };
  // env() is only seen computed: an element of our own, gone before the page can notice.
  if (document.documentElement) {
    const probe = document.createElement('div');
    probe.style.cssText = 'position:fixed;visibility:hidden;padding:env(safe-area-inset-top) ' +
      'env(safe-area-inset-right) env(safe-area-inset-bottom) env(safe-area-inset-left)';
    document.documentElement.appendChild(probe);
    const style = getComputedStyle(probe);
    m.safeArea = {};
    for (const side of ['top', 'right', 'bottom', 'left'])
      m.safeArea[side] = parseFloat(style['padding-' + side]) || 0;
    probe.remove();
  }
  // The coordinates, else why there are none: "denied", "unavailable" or "timeout". The
  // page's own script may have replaced the call, so it has its time and no more.
  m.geolocation = await Promise.race([new Promise(function (done) {
    navigator.geolocation.getCurrentPosition(function (p) {
      done({latitude: p.coords.latitude, longitude: p.coords.longitude,
            accuracy: p.coords.accuracy});
    }, function (e) {
      done(['', 'denied', 'unavailable', 'timeout'][e.code] || 'unavailable');
    }, {timeout: 3000, maximumAge: 0});
  }).catch(function () { return 'unavailable'; }), new Promise(function (done) {
    setTimeout(function () { done('timeout'); }, 3500);
  })]);
  const data = navigator.userAgentData;
  if (data) {
    m.userAgentData = {brands: data.brands, mobile: data.mobile, platform: data.platform};
    const keys = ['architecture', 'model', 'platformVersion', 'uaFullVersion', 'fullVersionList'];
    try {
      const values = await data.getHighEntropyValues(keys);
      for (const k of keys) m.userAgentData[k] = values[k];
    } catch (e) {}
  }
  return m;
})()
