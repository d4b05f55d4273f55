// The page on every screen and by touch alone, in Debian's Chromium with its
// device emulation: windows from small to 4K, phones and tablets in both
// orientations at 1 to 3 device pixels per CSS pixel; fingers through the
// DevTools Protocol's touch events, several at once.
// Usage: node screens_test.mjs SITE_DIR PICTURE
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { pathToFileURL } from 'node:url';
import { join } from 'node:path';
import { env, site, errors, open, status, waitFrames, settle, look, onCanvas, canvasPixels, screenPixels } from './harness.mjs';

const touch = { isMobile: true, hasTouch: true };
const screens = [
  { name: 'laptop window', width: 1280, height: 720, deviceScaleFactor: 1 },
  { name: 'small window', width: 800, height: 600, deviceScaleFactor: 1 },
  { name: 'retina laptop window', width: 1440, height: 820, deviceScaleFactor: 2 },
  { name: '4K screen', width: 3840, height: 2160, deviceScaleFactor: 1 },
  { name: 'smallest phone', width: 320, height: 480, deviceScaleFactor: 1, ...touch },
  { name: 'phone', width: 390, height: 844, deviceScaleFactor: 3, ...touch },
  { name: 'Android phone', width: 412, height: 915, deviceScaleFactor: 2.625, ...touch },
  { name: 'tablet', width: 820, height: 1180, deviceScaleFactor: 2, ...touch },
];

// Where the canvas and the controls are, and whether anything scrolls.
const layout = (page) => page.evaluate(() => {
  const box = (e) => { const r = e.getBoundingClientRect(); return { x: r.x, y: r.y, width: r.width, height: r.height }; };
  const root = document.scrollingElement;
  return {
    canvas: box(document.getElementById('canvas')),
    controls: [...document.querySelectorAll('#panel button:not([hidden])')].map((b) => ({ key: b.dataset.key, ...box(b) })),
    window: { width: innerWidth, height: innerHeight, dpr: devicePixelRatio },
    scrolled: root.scrollWidth > innerWidth || root.scrollHeight > innerHeight || scrollX !== 0 || scrollY !== 0,
    rendering: getComputedStyle(document.getElementById('canvas')).imageRendering,
  };
});

const inside = (b, w) => b.x >= -0.5 && b.y >= -0.5 && b.x + b.width <= w.width + 0.5 && b.y + b.height <= w.height + 0.5;
const overlap = (a, b) => a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;

// The canvas whole, 4:3, large, crisp; the controls finger-sized, in the window, off the canvas.
async function expectFitted(page, what) {
  await waitFrames(page, 3);  // a refit is made on the frame after the change
  const s = await layout(page), c = s.canvas, w = s.window;
  const where = `${what}: ${JSON.stringify(s.canvas)} in ${JSON.stringify(w)}`;
  assert.ok(inside(c, w), `the canvas is wholly inside the window, ${where}`);
  assert.ok(Math.abs(c.width * 3 - c.height * 4) < 1, `the canvas is 4:3, ${where}`);
  const largest = Math.min(w.width, w.height * 4 / 3);
  assert.ok(c.width >= 0.7 * largest, `the canvas is at least 70 % of the largest 4:3 the window holds (${largest}), ${where}`);
  assert.equal(s.scrolled, false, `nothing scrolls, ${where}`);
  const scale = c.width * w.dpr / 1024;
  if (scale > 1.001)
    assert.equal(s.rendering, 'pixelated', `enlarged ${scale.toFixed(3)}×, by nearest neighbour, ${where}`);
  if (scale < 0.999)
    assert.notEqual(s.rendering, 'pixelated', `shrunk ${scale.toFixed(3)}×, smoothly, ${where}`);
  assert.deepEqual(s.controls.filter((b) => b.key).map((b) => b.key).sort(), ['Escape', 'a', 'b', 'e', 'q', 'r', 's', 'w']);
  for (const b of s.controls) {
    assert.ok(b.width >= 44 && b.height >= 44, `control ${b.key} is finger-sized, ${JSON.stringify(b)}, ${what}`);
    assert.ok(inside(b, w), `control ${b.key} is in the window, ${JSON.stringify(b)}, ${what}`);
    assert.ok(!overlap(b, c), `control ${b.key} lies off the canvas, ${JSON.stringify(b)}, ${where}`);
  }
  console.log(`${what}: canvas ${c.width.toFixed(1)} × ${c.height.toFixed(1)} at (${c.x.toFixed(1)}, ${c.y.toFixed(1)}), ` +
              `${scale.toFixed(3)} device pixels per canvas pixel, ${s.rendering}; ` +
              `controls ${s.controls[0].x >= c.x + c.width ? 'beside' : 'below'} it`);
}

test('on every screen the canvas is whole, 4:3, large and crisp, and refits on a resize, a rotation and a new density', async () => {
  for (const screen of screens) {
    const { name, ...viewport } = screen;
    const page = await open('', viewport);
    await waitFrames(page, 1);
    await expectFitted(page, `${name} ${viewport.width} × ${viewport.height} at ${viewport.deviceScaleFactor}×`);
    // Turned, or a window made the other shape.
    await page.setViewport({ ...viewport, width: viewport.height, height: viewport.width, isLandscape: viewport.width < viewport.height });
    await expectFitted(page, `${name} turned, ${viewport.height} × ${viewport.width}`);
    // Moved to a screen of another density.
    const dpr = viewport.deviceScaleFactor === 1 ? 2 : 1;
    await page.setViewport({ ...viewport, deviceScaleFactor: dpr });
    await expectFitted(page, `${name} at ${dpr}×`);
    await page.close();
  }
});

// A frame that stays (Escape), read from the canvas and from the screen.
test('enlarged by whole device pixels, every canvas pixel is a sharp square on the screen', async () => {
  for (const viewport of [{ width: 1440, height: 820, deviceScaleFactor: 2 },
                          { width: 390, height: 844, deviceScaleFactor: 3, ...touch }]) {
    const page = await open('', viewport);
    await settle(page);
    await page.keyboard.down('Escape');
    await page.waitForFunction(() => window.laavasuihku.stopped, { polling: 'raf' });
    await page.keyboard.up('Escape');
    const canvas = await canvasPixels(page), screen = await screenPixels(page);
    const box = (await layout(page)).canvas, dpr = viewport.deviceScaleFactor;
    const k = Math.round(box.width * dpr / 1024);
    assert.ok(Math.abs(box.width * dpr / 1024 - k) < 0.001, `a whole number of device pixels per canvas pixel: ${box.width * dpr / 1024}`);
    const x0 = Math.round(box.x * dpr), y0 = Math.round(box.y * dpr);
    let compared = 0, differing = 0, lit = 0;
    for (let y = 0; y < 768; y += 1 + (y % 5 === 0)) {
      for (let x = 0; x < 1024; ++x) {
        const c = canvas[y * 1024 + x];
        lit += y < 513 && c !== 0;
        for (let dy = 0; dy < k; ++dy)
          for (let dx = 0; dx < k; ++dx, ++compared)
            differing += screen.at(x0 + x * k + dx, y0 + y * k + dy) !== c;
      }
    }
    assert.ok(lit > 300, `the stopped frame shows the fountain: ${lit} lit pixels`);
    assert.equal(differing, 0, `${differing} of ${compared} device pixels differ from their canvas pixel at ${k}×`);
    await page.close();
  }
});

// Fingers on the controls and the canvas, through the DevTools Protocol's touch events.
async function centre(page, selector) {
  const b = await (await page.$(selector)).boundingBox();
  return [b.x + b.width / 2, b.y + b.height / 2];
}
const control = (key) => `button[data-key="${key}"]`;

async function holdControl(page, key, until, ...args) {
  const finger = await page.touchscreen.touchStart(...await centre(page, control(key)));
  await page.waitForFunction(until, { timeout: 60000, polling: 'raf' }, ...args);
  await finger.end();
  await waitFrames(page, 2);
}

test('by touch alone: every control acts as its key, bounce is a tap, several fingers at once, stop stops', async () => {
  const page = await open('', { width: 390, height: 844, deviceScaleFactor: 3, ...touch });
  await waitFrames(page, 5);
  let s = await status(page);
  assert.deepEqual([s.fan, s.pull, s.particles, s.bouncing], [45, 15, 1000, false], 'the start, as the page shows it');
  assert.equal(await page.$eval('#fan', (e) => e.textContent), '45°');

  await holdControl(page, 'q', () => window.laavasuihku.fan >= 100);
  await holdControl(page, 'w', () => window.laavasuihku.fan <= 10);
  await holdControl(page, 'e', () => window.laavasuihku.pull >= 50);
  await holdControl(page, 'r', () => window.laavasuihku.pull <= 5);
  await holdControl(page, 'a', () => window.laavasuihku.particles >= 30000);
  await holdControl(page, 's', () => window.laavasuihku.particles <= 10000);
  s = await status(page);
  assert.ok(s.fan <= 10 && s.fan % 5 === 0 && s.pull <= 5 && s.particles <= 10000, JSON.stringify(s));
  assert.equal(await page.$eval('#pull', (e) => e.textContent), `1/${s.pull}`);
  assert.equal(await page.$eval('#particles', (e) => e.textContent), s.particles.toLocaleString('en'));

  // A tap shorter than a frame still counts.
  const before = s.particles;
  await page.touchscreen.tap(...await centre(page, control('a')));
  await waitFrames(page, 3);
  const added = (await status(page)).particles - before;
  assert.ok(added === 1000 || added === 2000, `a quick tap on More adds a batch: ${added}`);

  // Bounce flips once however long the finger rests, and back on the next tap.
  for (const on of [true, false]) {
    const finger = await page.touchscreen.touchStart(...await centre(page, control('b')));
    await waitFrames(page, 15);
    await finger.end();
    await waitFrames(page, 2);
    assert.equal((await status(page)).bouncing, on, `a tap on Bounce turns bouncing ${on ? 'on' : 'off'}`);
    assert.equal(await page.$eval(control('b'), (e) => e.getAttribute('aria-pressed')), String(on));
  }

  // A finger holding More, then another on the canvas moving the emitter: both act.
  const holding = await page.touchscreen.touchStart(...await centre(page, control('a')));
  const steering = await page.touchscreen.touchStart(...await onCanvas(page, 200, 300));
  await steering.move(...await onCanvas(page, 250, 330));
  const from = (await status(page)).particles;
  await settle(page);
  const moved = await look(page);
  assert.ok((await status(page)).particles >= from + 30000, 'the held control kept adding particles');
  assert.ok(Math.abs(moved.meanX - 250) < 60, `the emitter followed the finger on the canvas, not the control's: mean x ${moved.meanX}`);
  await holding.end();
  // The finger on the canvas goes on steering alone once the other lifts.
  await steering.move(...await onCanvas(page, 700, 300));
  await settle(page);
  assert.ok(Math.abs((await look(page)).meanX - 700) < 60, 'and steers on alone');
  await steering.end();

  await page.touchscreen.tap(...await centre(page, control('Escape')));
  await page.waitForFunction(() => window.laavasuihku.stopped, { timeout: 10000, polling: 'raf' });
  await page.close();
});

test('with a mouse the controls work too', async () => {
  const page = await open('', { width: 1280, height: 720, deviceScaleFactor: 1 });
  await waitFrames(page, 5);
  await page.mouse.move(...await centre(page, control('q')));
  await page.mouse.down();
  await page.waitForFunction(() => window.laavasuihku.fan >= 80, { timeout: 60000, polling: 'raf' });
  await page.mouse.up();
  await waitFrames(page, 2);
  const fan = (await status(page)).fan;
  await waitFrames(page, 10);
  assert.equal((await status(page)).fan, fan, 'let go, the fan stays');
  await page.close();
});

// Frames go on; nothing changes that the control held would change.
async function expectLetGo(page, what, field) {
  await waitFrames(page, 3);
  const was = (await status(page))[field];
  await waitFrames(page, 10);
  assert.equal((await status(page))[field], was, `${what}: let go`);
}

test('a finger sliding off a control, or a page losing focus or hidden, lets go of what it held', async () => {
  const page = await open('', { width: 390, height: 844, deviceScaleFactor: 3, ...touch });
  await waitFrames(page, 5);
  const finger = await page.touchscreen.touchStart(...await centre(page, control('q')));
  await page.waitForFunction(() => window.laavasuihku.fan >= 60, { polling: 'raf' });
  await finger.move(...await onCanvas(page, 500, 100));  // off the control, held on
  await expectLetGo(page, 'a finger slid off Wider', 'fan');
  await finger.end();

  const other = await env.browser.newPage();  // a tab to switch to
  await page.bringToFront();
  const held = await page.touchscreen.touchStart(...await centre(page, control('a')));
  await page.waitForFunction(() => window.laavasuihku.particles >= 5000, { polling: 'raf' });
  await other.bringToFront();  // the fountain's tab goes to the background
  await page.waitForFunction(() => document.hidden);
  await page.bringToFront();
  await expectLetGo(page, 'More held as the page went to the background', 'particles');
  await held.end();

  await page.keyboard.down('e');
  await page.waitForFunction(() => window.laavasuihku.pull >= 20, { polling: 'raf' });
  await other.bringToFront();
  await page.waitForFunction(() => document.hidden);
  await page.bringToFront();
  await expectLetGo(page, 'the key e held as the page went to the background', 'pull');
  await page.keyboard.up('e');
  await other.close();
  await page.close();
});

test('no gesture on the canvas or the controls scrolls, zooms, selects or opens a menu', async () => {
  const page = await open('', { width: 390, height: 844, deviceScaleFactor: 3, ...touch });
  await waitFrames(page, 5);
  const cdp = await page.createCDPSession();
  await page.evaluate(() => {
    window.menus = [];
    window.addEventListener('contextmenu', (e) => window.menus.push(e.defaultPrevented));
  });
  for (const where of ['#canvas', control('a')]) {
    const [x, y] = await centre(page, where);
    await cdp.send('Input.synthesizePinchGesture', { x, y, scaleFactor: 3, gestureSourceType: 'touch' });
    await cdp.send('Input.synthesizeScrollGesture', { x, y, yDistance: -300, gestureSourceType: 'touch' });
    await cdp.send('Input.synthesizeScrollGesture', { x, y, yDistance: 300, gestureSourceType: 'touch' });  // pull to refresh
    await cdp.send('Input.synthesizeTapGesture', { x, y, tapCount: 2, gestureSourceType: 'touch' });
    await cdp.send('Input.synthesizeTapGesture', { x, y, duration: 1500, gestureSourceType: 'touch' });  // a long press
    const after = await page.evaluate(() => ({
      zoom: visualViewport.scale, scrolled: scrollX + scrollY + visualViewport.offsetTop + visualViewport.offsetLeft,
      selected: getSelection().toString(), menus: window.menus, userSelect: getComputedStyle(document.getElementById('stage')).userSelect,
      reloaded: !window.menus,
    }));
    assert.deepEqual(after, { zoom: 1, scrolled: 0, selected: '', menus: after.menus.map(() => true), userSelect: 'none', reloaded: false },
                     `after the gestures on ${where}`);
  }
  assert.ok((await status(page)).frames > 0);
  await page.close();
});

test('fullscreen holds the stage, fits the canvas the same way, and leaves again', async () => {
  const page = await open('', { width: 1280, height: 720, deviceScaleFactor: 1 });
  await waitFrames(page, 5);
  assert.equal(await page.$eval('#fullscreen', (e) => e.hidden), false, 'this browser has fullscreen');
  await page.click('#fullscreen');
  await page.waitForFunction(() => document.fullscreenElement?.id === 'stage');
  await expectFitted(page, 'fullscreen');
  await page.click('#fullscreen');
  await page.waitForFunction(() => !document.fullscreenElement);
  await expectFitted(page, 'left fullscreen');

  const without = await env.browser.newPage();
  await without.evaluateOnNewDocument(() => {
    for (const name of ['fullscreenEnabled', 'webkitFullscreenEnabled'])
      Object.defineProperty(Document.prototype, name, { get: () => false });
  });
  await without.goto(env.base);
  await without.waitForFunction(() => window.laavasuihku.frames > 0);
  assert.equal(await without.$eval('#fullscreen', (e) => e.hidden), true, 'hidden where the browser has no fullscreen');
  await without.close();
  await page.close();
});

test('opened from its file, the page says it must be served, and how', async () => {
  const page = await env.browser.newPage();  // its console errors are the browser's own, on the modules it will not load
  await page.goto(pathToFileURL(join(site, 'index.html')).href);
  const said = await page.$eval('#status', (e) => e.textContent);
  assert.match(said, /must be served/);
  assert.match(said, /bash tools\/web\.sh --serve/);
  await page.close();
});

test('nothing reached the console as an error', () => {
  assert.deepEqual(errors, []);
});
