// Fitting the canvas: shown whole, 4:3, as large as the room the controls and
// the status line leave, with the controls below it or beside it, whichever
// leaves it larger; refitted whenever that room or the screen's density changes.
const width = 1024, height = 768;
// A whole number of device pixels per canvas pixel keeps every square square
// and sharp; it is taken while it fills at least this much of the room.
const wholeEnough = 0.8;

// Device pixels per canvas pixel in a room of roomWidth × roomHeight CSS pixels.
export function scaleFor(roomWidth, roomHeight, dpr) {
  const fits = Math.min(roomWidth / width, roomHeight / height) * dpr;
  const whole = Math.floor(fits);
  return whole >= 1 && whole >= wholeEnough * fits ? whole : fits;
}

// On a device pixel that the layout can place exactly (it counts in 1/64 CSS
// pixels), so that the canvas's squares fall on the screen's pixels, not
// between them: at 3 device pixels per CSS pixel only every third can be.
function snap(css, dpr) {
  for (let device = Math.floor(css * dpr), tries = 0; device >= 0 && tries < 64; --device, ++tries) {
    const units = device / dpr * 64;
    if (Math.abs(units - Math.round(units)) < 1e-6)
      return Math.round(units) / 64;
  }
  return Math.floor(css * dpr) / dpr;
}

function fit(stage, view) {
  const dpr = window.devicePixelRatio || 1;
  let best = null;
  for (const layout of ['beside', 'below']) {
    stage.dataset.layout = layout;
    const room = view.getBoundingClientRect();
    const scale = scaleFor(room.width, room.height, dpr);
    if (!best || scale > best.scale)
      best = { layout, scale };
  }
  stage.dataset.layout = best.layout;
  const room = view.getBoundingClientRect();
  const shownWidth = width * best.scale / dpr, shownHeight = height * best.scale / dpr;
  // On the stage, which Emscripten's SDL leaves alone, for the canvas to take.
  // A scale, not a size: the layout counts sizes in 1/64 CSS pixels, where
  // 1024 / 3 would come out a fraction of a device pixel off and nearest
  // neighbour would then double a column.
  const style = stage.style;
  style.setProperty('--canvas-scale', String(best.scale / dpr));
  style.setProperty('--canvas-x', `${snap((room.width - shownWidth) / 2, dpr)}px`);
  style.setProperty('--canvas-y', `${snap((room.height - shownHeight) / 2, dpr)}px`);
  // Enlarged by nearest neighbour; shrunk smoothly, so that no square vanishes between samples.
  stage.dataset.scaling = best.scale >= 1 ? 'enlarged' : 'shrunk';
}

// Fits now and on every change of the room (a resize, a rotation, fullscreen,
// a status line that wraps) or of the density (a move to another screen).
// A fit tries each layout, so changes the room it observes: it is made on the
// next frame, not inside the observer's call, which would then loop.
export function startFitting(stage, view) {
  let due = false;
  const refit = () => {
    if (due)
      return;
    due = true;
    requestAnimationFrame(() => { due = false; fit(stage, view); });
  };
  new ResizeObserver(refit).observe(view);
  const watchDensity = () => {
    const query = matchMedia(`(resolution: ${window.devicePixelRatio || 1}dppx)`);
    query.addEventListener('change', () => { refit(); watchDensity(); }, { once: true });
  };
  watchDensity();
  window.addEventListener('resize', refit);
  fit(stage, view);
}
