// The page in Debian's Chromium, headless, used as a person would: keys held,
// the left button dragged and a finger moved on the canvas; the canvas read
// back pixel by pixel, the counts from window.laavasuihku.
// Usage: node page_test.mjs SITE_DIR PICTURE    (CHROMIUM: the browser, /usr/bin/chromium by default)
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { env, errors, open, status, waitFrames, settle, pictureAt, look, onCanvas } from './harness.mjs';

async function hold(page, key, until, ...args) {
  await page.keyboard.down(key);
  await page.waitForFunction(until, { timeout: 60000, polling: 'raf' }, ...args);
  await page.keyboard.up(key);
  await waitFrames(page, 2);
}

// Steps shown a second, and the browser's own refreshes a second (requestAnimationFrame) in the same two seconds.
async function pace(page) {
  return page.evaluate(() => new Promise((resolve) => {
    let refreshes = 0;
    const count = () => { ++refreshes; requestAnimationFrame(count); };
    requestAnimationFrame(count);
    const frames = window.laavasuihku.frames, t0 = performance.now();
    setTimeout(() => {
      const seconds = (performance.now() - t0) / 1000;
      resolve({ steps: (window.laavasuihku.frames - frames) / seconds, refreshes: refreshes / seconds });
    }, 2000);
  }));
}

test('the fountain rises over the picture in its fire colours, on a page titled Laavasuihku!', async () => {
  const started = Date.now();
  const page = await open();
  await page.waitForFunction(() => window.laavasuihku.frames >= 1, { timeout: 20000 });
  console.log(`first frame ${Date.now() - started} ms after the page was asked for`);
  assert.equal(await page.title(), 'Laavasuihku!');
  await settle(page);
  const s = await look(page, pictureAt());
  assert.deepEqual(s.strange, [], 'the sky shows only black and fire colours');
  assert.ok(s.lit > 300, `lit pixels in the sky: ${s.lit}`);
  assert.ok(Math.abs(s.meanX - 588) < 60, `the fountain stands above the emitter: mean x ${s.meanX}`);
  assert.ok(s.top < 400, `and rises well above it: top ${s.top}`);
  assert.ok(s.picture > 1024 * 255 * 0.9, `the band shows the picture: ${s.picture} of its pixels`);
  const st = await status(page);
  assert.equal(st.particles, 1000);
  assert.match(st.level, /wasm/);
  await page.close();
});

test('one step for each refresh, at 1000 particles and more', async () => {
  const page = await open();
  await waitFrames(page, 30);
  for (const count of [1000, 100000, 999000]) {
    if (count > 1000)
      await hold(page, 'a', (n) => window.laavasuihku.particles >= n, count);
    await waitFrames(page, 10);
    const p = await pace(page);
    console.log(`${count} particles: ${p.steps.toFixed(1)} steps a second, ${p.refreshes.toFixed(1)} refreshes`);
    if (count === 1000)
      assert.ok(p.steps > 0.95 * p.refreshes && p.steps < 1.02 * p.refreshes, `a step for each refresh: ${JSON.stringify(p)}`);
  }
  await page.close();
});

test('a adds particles and s drops them, a thousand a frame, within 1000 .. 999,000', async () => {
  const page = await open();
  await waitFrames(page, 5);
  await hold(page, 'a', () => window.laavasuihku.particles >= 50000);
  const many = (await status(page)).particles;
  assert.ok(many >= 50000 && many % 1000 === 0, `${many}`);
  await hold(page, 'a', () => window.laavasuihku.particles >= 999000);
  await waitFrames(page, 5);
  assert.equal((await status(page)).particles, 999000, 'no more than 999,000');
  await hold(page, 's', () => window.laavasuihku.particles <= 1000);
  await waitFrames(page, 5);
  assert.equal((await status(page)).particles, 1000, 'no fewer than 1000');
  await page.close();
});

test('the left button dragged on the canvas moves the emitter, and so does a finger', async () => {
  const page = await open();
  await settle(page);
  await page.mouse.move(...await onCanvas(page, 200, 300));
  await page.mouse.down();
  await page.mouse.move(...await onCanvas(page, 250, 330), { steps: 4 });
  await settle(page);
  const dragged = await look(page);
  await page.mouse.up();
  assert.ok(Math.abs(dragged.meanX - 250) < 60, `mean x after the drag: ${dragged.meanX}`);

  await page.mouse.move(...await onCanvas(page, 800, 200));
  await page.mouse.down({ button: 'right' });
  await page.mouse.move(...await onCanvas(page, 820, 220));
  await page.mouse.up({ button: 'right' });
  await settle(page);
  assert.ok(Math.abs((await look(page)).meanX - 250) < 60, 'the right button moves nothing');

  await page.touchscreen.touchStart(...await onCanvas(page, 700, 300));
  await page.touchscreen.touchMove(...await onCanvas(page, 760, 320));
  await settle(page);
  const touched = await look(page);
  await page.touchscreen.touchEnd();
  assert.ok(Math.abs(touched.meanX - 760) < 60, `mean x after the touch: ${touched.meanX}`);
  await page.close();
});

test('b flips bouncing off the edges', async () => {
  const page = await open();
  await waitFrames(page, 5);
  await page.mouse.move(...await onCanvas(page, 30, 5));
  await page.mouse.down();
  await waitFrames(page, 3);
  await page.mouse.up();
  await settle(page);
  assert.ok((await look(page)).lit < 500, 'from the top-left corner a plain fountain leaves the screen');
  // b flips bouncing on every frame that reads it held: tapped until it is on.
  const tapUntil = async (on) => {
    for (let tap = 0; tap < 5 && (await status(page)).bouncing !== on; ++tap) {
      const frames = (await status(page)).frames;
      await page.keyboard.down('b');
      await page.waitForFunction((f) => window.laavasuihku.frames > f, { polling: 'raf' }, frames);
      await page.keyboard.up('b');
      await waitFrames(page, 2);
    }
    assert.equal((await status(page)).bouncing, on);
  };
  await tapUntil(true);
  await settle(page);
  assert.ok((await look(page)).lit > 3000, 'bouncing particles come back down');
  await tapUntil(false);
  await settle(page);
  assert.ok((await look(page)).lit < 500, 'and without bouncing they leave');
  await page.close();
});

test('Escape stops the frames, the last stays, and the page says so', async () => {
  const page = await open();
  await settle(page);
  await page.keyboard.down('Escape');  // held, as a person does, until a frame reads it
  await page.waitForFunction(() => window.laavasuihku.stopped, { timeout: 10000, polling: 'raf' });
  await page.keyboard.up('Escape');
  const stopped = (await status(page)).frames;
  await new Promise((resolve) => setTimeout(resolve, 500));
  assert.equal((await status(page)).frames, stopped, 'no frame after Escape');
  assert.ok((await look(page)).lit > 300, 'the last frame stays');
  assert.match(await page.$eval('#status', (e) => e.textContent), /stopped/);
  const writable = await page.evaluate(() => { try { window.laavasuihku.frames = 5; } catch { /* strict */ } return window.laavasuihku.frames; });
  assert.equal(writable, stopped, 'window.laavasuihku is read-only');
  await page.close();
});

test('a page that cannot run the module says why, not a blank canvas', async () => {
  const page = await open('nowasm/');
  await page.waitForFunction(() => window.laavasuihku.error !== '', { timeout: 20000 });
  assert.notEqual(await page.$eval('#status', (e) => e.textContent), '');
  await page.close();

  const old = await env.browser.newPage();
  await old.evaluateOnNewDocument(() => { WebAssembly.validate = () => false; });
  await old.goto(env.base);
  await old.waitForFunction(() => window.laavasuihku.error !== '', { timeout: 10000 });
  assert.match(await old.$eval('#status', (e) => e.textContent), /SIMD/);
  await old.close();
});

test('nothing reached the console as an error', () => {
  assert.deepEqual(errors, []);
});
