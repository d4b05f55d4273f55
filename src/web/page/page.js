// The page's start: fits the canvas, lays out the controls, and loads the
// fountain's module only where the browser can run it, saying what it is
// doing and, when it cannot go on, why.
import { startFitting } from './fit.js';
import { startControls } from './controls.js';
import { state, showFigures } from './figures.js';

const stage = document.getElementById('stage');
const canvas = document.getElementById('canvas');
const status = document.getElementById('status');

function say(text, isError) {
  status.textContent = text;
  status.className = isError ? 'error' : '';
}
function fail(text) {
  state.error = text;
  say(text, true);
}

// The smallest module with a SIMD instruction in it: it validates only where
// WebAssembly SIMD runs.
const simd = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0, 10, 10, 1, 8, 0,
                             65, 0, 253, 15, 253, 98, 11]);

function unsupported() {
  if (typeof WebAssembly !== 'object')
    return 'This browser cannot run WebAssembly, which the fountain is built as.';
  if (!WebAssembly.validate(simd))
    return 'This browser cannot run WebAssembly SIMD, which the fountain needs: a browser of 2021 or later can.';
  return '';
}

function load() {
  const module = window.Module = {
    canvas,
    print: (text) => console.log(text),
    printErr: (text) => { console.error(text); fail(text); },
    onAbort: (what) => fail('The fountain stopped with an error: ' + what),
    onFrame: (frames, particles, bouncing, fan, pull, level) => {
      if (frames === 1)
        say('');
      Object.assign(state, { frames, particles, bouncing: !!bouncing, fan, pull, level });
      showFigures();
    },
    onStopped: () => {
      state.stopped = true;
      say('The fountain has stopped (Escape). Reload the page to start it again.');
    },
    setStatus: (text) => { if (text && !state.frames) say(text); },
  };
  startControls(stage, canvas, module);
  window.addEventListener('error', (e) => fail('The fountain could not start: ' + e.message));
  const script = document.createElement('script');
  script.src = 'laavasuihku.js';
  script.onerror = () => fail('The fountain could not be loaded (laavasuihku.js is missing).');
  document.body.appendChild(script);
  canvas.focus();
}

startFitting(stage, document.getElementById('view'));
const lacking = unsupported();
if (lacking)
  fail(lacking);
else
  load();
