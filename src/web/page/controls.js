// The on-screen controls, one for each key, and fingers on the canvas.
// A control held is its key held, through the program's own controls step
// (the module's laava_press and laava_release); the bounce control is a tap,
// flipping bouncing once however long the finger rests. Everything held is
// let go when the finger slides off, the page loses focus or is hidden.

// SDL's key symbols: the letters are their own codes.
const sdlKey = (name) => (name === 'Escape' ? 27 : name.charCodeAt(0));

// The module's exports once it runs; until then a press does nothing.
const call = (module, name, ...args) => { if (typeof module[name] === 'function') module[name](...args); };

function holdable(button, module) {
  const key = sdlKey(button.dataset.key);
  const pointers = new Set();
  const letGo = (pointerId) => {
    if (pointers.delete(pointerId) && pointers.size === 0) {
      button.classList.remove('held');
      call(module, '_laava_release', key);
    }
  };
  button.addEventListener('pointerdown', (e) => {
    e.preventDefault();
    // Touch captures the pointer to where it went down: released, a finger
    // sliding off the control is seen to leave it.
    if (button.hasPointerCapture(e.pointerId))
      button.releasePointerCapture(e.pointerId);
    if (key === sdlKey('b')) {
      call(module, '_laava_tap', key);
      return;
    }
    pointers.add(e.pointerId);
    button.classList.add('held');
    call(module, '_laava_press', key);
  });
  for (const type of ['pointerup', 'pointercancel', 'pointerleave'])
    button.addEventListener(type, (e) => letGo(e.pointerId));
  return () => { for (const id of [...pointers]) letGo(id); };
}

// Emscripten's SDL takes the first of all the screen's touches as the mouse,
// even a finger holding a control: the emitter follows the finger that went
// down on the canvas alone, handed to SDL as the left button.
function steering(canvas) {
  let finger = null;
  const mouse = (type, touch) => canvas.dispatchEvent(new MouseEvent(type, {
    bubbles: true, cancelable: true, button: 0, buttons: type === 'mouseup' ? 0 : 1,
    clientX: touch.clientX, clientY: touch.clientY,
  }));
  const onTouch = (e) => {
    if (e.target !== canvas)
      return;
    e.stopPropagation();
    e.preventDefault();
    for (const touch of e.changedTouches) {
      if (e.type === 'touchstart' && finger === null) {
        finger = touch.identifier;
        mouse('mousedown', touch);
      } else if (touch.identifier === finger) {
        mouse(e.type === 'touchmove' ? 'mousemove' : 'mouseup', touch);
        if (e.type !== 'touchmove')
          finger = null;
      }
    }
  };
  for (const type of ['touchstart', 'touchmove', 'touchend', 'touchcancel'])
    window.addEventListener(type, onTouch, { capture: true, passive: false });
  return () => {
    if (finger !== null)
      canvas.dispatchEvent(new MouseEvent('mouseup', { bubbles: true, button: 0 }));
    finger = null;
  };
}

function fullscreenControl(button, stage) {
  const enter = stage.requestFullscreen || stage.webkitRequestFullscreen;
  const exit = document.exitFullscreen || document.webkitExitFullscreen;
  if (!(document.fullscreenEnabled || document.webkitFullscreenEnabled) || !enter)
    return;  // hidden where the browser has no fullscreen
  const current = () => document.fullscreenElement || document.webkitFullscreenElement;
  const label = () => {
    button.textContent = current() ? 'Leave full screen' : 'Full screen';
    button.setAttribute('aria-label', button.textContent);
  };
  button.hidden = false;
  button.addEventListener('click', () => {
    // A browser that refuses leaves the page as it was: nothing to report.
    const asked = current() ? exit.call(document) : enter.call(stage, { navigationUI: 'hide' });
    if (asked && asked.catch)
      asked.catch(() => {});
  });
  document.addEventListener('fullscreenchange', label);
  document.addEventListener('webkitfullscreenchange', label);
}

export function startControls(stage, canvas, module) {
  const letGoes = [...stage.querySelectorAll('button[data-key]')].map((button) => holdable(button, module));
  letGoes.push(steering(canvas));
  const letGoOfAll = () => {
    for (const letGo of letGoes)
      letGo();
    call(module, '_laava_release_all');
  };
  window.addEventListener('blur', letGoOfAll);
  window.addEventListener('pagehide', letGoOfAll);
  document.addEventListener('visibilitychange', () => { if (document.hidden) letGoOfAll(); });

  // No long-press menu, pinch (Safari's own gesture events) or double-tap zoom takes the fountain away.
  stage.addEventListener('contextmenu', (e) => e.preventDefault());
  for (const type of ['gesturestart', 'gesturechange', 'dblclick'])
    stage.addEventListener(type, (e) => e.preventDefault());
  fullscreenControl(document.getElementById('fullscreen'), stage);
}
