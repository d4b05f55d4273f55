// The page in Debian's Chromium, headless, used as a person would: keys held,
// the left button dragged and a finger moved on the canvas; the canvas read
// back pixel by pixel, the counts from window.laavasuihku.
// Usage: node page_test.mjs SITE_DIR PICTURE    (CHROMIUM: the browser, /usr/bin/chromium by default)
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { createServer } from 'node:http';
import { readFileSync } from 'node:fs';
import { join, extname } from 'node:path';
import puppeteer from 'puppeteer-core';

const [site, picturePath] = process.argv.slice(2);
const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
let server, base, browser;
const errors = [];

before(async () => {
  // /nowasm/ is the site with its module missing.
  server = createServer((request, response) => {
    let path = new URL(request.url, 'http://x').pathname.replace(/^\/nowasm\//, '/');
    if (path.endsWith('/'))
      path += 'index.html';
    const missing = request.url.startsWith('/nowasm/') && path.endsWith('.wasm');
    try {
      if (missing)
        throw new Error('left out');
      const body = readFileSync(join(site, path));
      response.writeHead(200, { 'Content-Type': types[extname(path)] || 'application/octet-stream' });
      response.end(body);
    } catch {
      response.writeHead(404);
      response.end();
    }
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  base = `http://127.0.0.1:${server.address().port}/`;
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--window-size=1200,1000'],
  });
});

after(async () => {
  await browser?.close();
  server?.close();
});

// The fire colours, by the palette's rule, as 0xRRGGBB.
const palette = Array.from({ length: 256 }, (_, i) => {
  if (i <= 84) return 0xFFFF00 | Math.floor((255 * (84 - i) + 42) / 84);
  if (i <= 169) return 0xFF0000 | (255 - 3 * (i - 84)) << 8;
  if (i <= 254) return (255 - 3 * (i - 169)) << 16;
  return 0;
});

// The default picture's pixels as 0xRRGGBB, rows from the top (a 24-bit BMP, rows stored bottom-up).
function pictureAt() {
  const b = readFileSync(picturePath);
  const offset = b.readUInt32LE(10), w = b.readInt32LE(18), h = b.readInt32LE(22), bits = b.readUInt16LE(28);
  assert.equal(bits, 24, 'the default picture is a 24-bit BMP');
  const stride = Math.ceil(w * 3 / 4) * 4;
  return (x, y) => {
    const p = offset + (h - 1 - y) * stride + x * 3;
    return b[p + 2] << 16 | b[p + 1] << 8 | b[p];
  };
}

async function open(path = '') {
  const page = await browser.newPage();
  await page.setViewport({ width: 1200, height: 1000, deviceScaleFactor: 1 });
  if (!path.startsWith('nowasm/')) {  // there the browser reports the missing file itself
    page.on('console', (m) => { if (m.type() === 'error') errors.push(`${path}: ${m.text()}`); });
    page.on('pageerror', (e) => errors.push(`${path}: ${e.message}`));
  }
  await page.goto(base + path);
  return page;
}

const status = (page) => page.evaluate(() => ({ ...window.laavasuihku }));

async function waitFrames(page, count) {
  const until = (await status(page)).frames + count;
  await page.waitForFunction((n) => window.laavasuihku.frames >= n, { timeout: 60000, polling: 'raf' }, until);
}

// After a change, once every particle launched before it has burned out (51 frames at most).
const settle = (page) => waitFrames(page, 60);

// What the canvas shows: the lit pixels of the sky (rows 0 .. 512), and the
// band's pixels that are the picture's; any sky pixel neither black nor fire.
async function look(page, picture) {
  const pixels = await page.evaluate(() => {
    const c = document.getElementById('canvas');
    return Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data);
  });
  const fire = new Set(palette);
  const s = { lit: 0, meanX: 0, top: 768, strange: [], picture: 0, canvasSize: [1024, 768] };
  const rows = [];
  for (let y = 0; y < 768; ++y)
    for (let x = 0; x < 1024; ++x) {
      const i = (y * 1024 + x) * 4;
      const c = pixels[i] << 16 | pixels[i + 1] << 8 | pixels[i + 2];
      if (y < 513) {
        if (c !== 0 && fire.has(c)) { ++s.lit; s.meanX += x; rows.push(y); }
        else if (c !== 0 && s.strange.length < 5) s.strange.push(`${x},${y}: ${c.toString(16)}`);
      } else if (picture && c === picture(x, y - 513)) {
        ++s.picture;
      }
    }
  if (s.lit) {
    s.meanX /= s.lit;
    s.top = rows.sort((a, b) => a - b)[Math.floor(rows.length / 50)];
  }
  return s;
}

async function hold(page, key, until, ...args) {
  await page.keyboard.down(key);
  await page.waitForFunction(until, { timeout: 60000, polling: 'raf' }, ...args);
  await page.keyboard.up(key);
  await waitFrames(page, 2);
}

// The canvas's point (x, y) on the page, wherever and however large it is shown.
async function onCanvas(page, x, y) {
  const box = await (await page.$('#canvas')).boundingBox();
  return [box.x + (x + 0.5) * box.width / 1024, box.y + (y + 0.5) * box.height / 768];
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

  const old = await browser.newPage();
  await old.evaluateOnNewDocument(() => { WebAssembly.validate = () => false; });
  await old.goto(base);
  await old.waitForFunction(() => window.laavasuihku.error !== '', { timeout: 10000 });
  assert.match(await old.$eval('#status', (e) => e.textContent), /SIMD/);
  await old.close();
});

test('nothing reached the console as an error', () => {
  assert.deepEqual(errors, []);
});
