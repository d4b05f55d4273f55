// The page around the fountain: says what it is doing, shows the canvas at
// the screen's own pixel density, keeps window.laavasuihku up to date, and
// loads the module only where the browser can run it.
'use strict';
(function () {
  const canvas = document.getElementById('canvas');
  const status = document.getElementById('status');
  const state = { frames: 0, particles: 0, bouncing: false, level: '', stopped: false, error: '' };

  // Read-only for scripts and tests: counts without reading pixels.
  Object.defineProperty(window, 'laavasuihku', {
    value: Object.freeze(Object.create(Object.prototype, {
      frames: { get: () => state.frames, enumerable: true },
      particles: { get: () => state.particles, enumerable: true },
      bouncing: { get: () => state.bouncing, enumerable: true },
      level: { get: () => state.level, enumerable: true },
      stopped: { get: () => state.stopped, enumerable: true },
      error: { get: () => state.error, enumerable: true },
    })),
  });

  function say(text, isError) {
    status.textContent = text;
    status.className = isError ? 'error' : '';
  }
  function fail(text) {
    state.error = text;
    say(text, true);
  }

  // One canvas pixel to one screen pixel where it fits; scaled down, crisply, where not.
  function fit() {
    const dpr = window.devicePixelRatio || 1;
    const room = Math.min(window.innerWidth, (window.innerHeight - 80) * 4 / 3);
    const width = Math.min(1024 / dpr, Math.max(room, 160));
    canvas.style.width = width + 'px';
    canvas.style.height = width * 3 / 4 + 'px';
    canvas.classList.toggle('scaled', Math.abs(width * dpr - 1024) > 0.5);
  }
  window.addEventListener('resize', fit);
  fit();

  // The smallest module with a SIMD instruction in it: it validates only where
  // WebAssembly SIMD runs.
  const simd = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0, 10, 10, 1, 8, 0,
                               65, 0, 253, 15, 253, 98, 11]);
  if (typeof WebAssembly !== 'object') {
    fail('This browser cannot run WebAssembly, which the fountain is built as.');
    return;
  }
  if (!WebAssembly.validate(simd)) {
    fail('This browser cannot run WebAssembly SIMD, which the fountain needs: a browser of 2021 or later can.');
    return;
  }

  window.Module = {
    canvas: canvas,
    print: (text) => console.log(text),
    printErr: (text) => { console.error(text); fail(text); },
    onAbort: (what) => fail('The fountain stopped with an error: ' + what),
    onFrame: (frames, particles, bouncing, level) => {
      if (frames === 1)
        say('');
      state.frames = frames;
      state.particles = particles;
      state.bouncing = !!bouncing;
      state.level = level;
    },
    onStopped: () => {
      state.stopped = true;
      say('The fountain has stopped (Escape). Reload the page to start it again.');
    },
    setStatus: (text) => { if (text && !state.frames) say(text); },
  };
  window.addEventListener('error', (e) => fail('The fountain could not start: ' + e.message));
  const script = document.createElement('script');
  script.src = 'laavasuihku.js';
  script.onerror = () => fail('The fountain could not be loaded (laavasuihku.js is missing).');
  document.body.appendChild(script);
  canvas.focus();
})();
