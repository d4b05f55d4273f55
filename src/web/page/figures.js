// What the fountain is doing: window.laavasuihku for scripts and tests
// (read-only, counts without reading pixels), and beside the controls the
// figures they change.
export const state = {
  frames: 0, particles: 0, bouncing: false, fan: 0, pull: 0, level: '', stopped: false, error: '',
};

Object.defineProperty(window, 'laavasuihku', {
  value: Object.freeze(Object.create(Object.prototype,
    Object.fromEntries(Object.keys(state).map((key) => [key, { get: () => state[key], enumerable: true }])))),
});

const shown = {};
const bounce = document.querySelector('button[data-key="b"]');
// Writes a figure only when it changes: the frames come at the screen's rate.
function show(id, text) {
  if (shown[id] !== text)
    document.getElementById(id).textContent = shown[id] = text;
}

export function showFigures() {
  show('fan', `${state.fan}°`);
  show('pull', `1/${state.pull}`);
  show('particles', state.particles.toLocaleString('en'));
  show('bouncing', state.bouncing ? 'on' : 'off');
  if (bounce.getAttribute('aria-pressed') !== String(state.bouncing))
    bounce.setAttribute('aria-pressed', String(state.bouncing));
}
