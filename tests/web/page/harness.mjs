// What the page's browser tests share: the site on a server of their own on
// 127.0.0.1, Debian's Chromium, headless, and ways to read the page as a
// person sees it: the canvas pixel by pixel, the counts from window.laavasuihku.
// SITE_DIR and PICTURE are the test's arguments (CHROMIUM: the browser, /usr/bin/chromium by default).
import { before, after } from 'node:test';
import assert from 'node:assert/strict';
import { createServer } from 'node:http';
import { readFileSync } from 'node:fs';
import { join, extname } from 'node:path';
import { inflateSync } from 'node:zlib';
import puppeteer from 'puppeteer-core';

export const [site, picturePath] = process.argv.slice(2);
const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };
export const errors = [];
export const env = {};  // base (the site's address) and browser, once started

before(async () => {
  // /nowasm/ is the site with its module missing.
  env.server = createServer((request, response) => {
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
  await new Promise((resolve) => env.server.listen(0, '127.0.0.1', resolve));
  env.base = `http://127.0.0.1:${env.server.address().port}/`;
  env.browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--window-size=1200,1000'],
  });
});

after(async () => {
  await env.browser?.close();
  env.server?.close();
});

// A new page at `path` of the site in a window or device (puppeteer's viewport),
// its console errors kept for the last test.
export async function open(path = '', viewport = { width: 1200, height: 1000, deviceScaleFactor: 1 }) {
  const page = await env.browser.newPage();
  await page.setViewport(viewport);
  if (!path.startsWith('nowasm/')) {  // there the browser reports the missing file itself
    page.on('console', (m) => { if (m.type() === 'error') errors.push(`${path}: ${m.text()}`); });
    page.on('pageerror', (e) => errors.push(`${path}: ${e.message}`));
  }
  await page.goto(env.base + path);
  return page;
}

export const status = (page) => page.evaluate(() => ({ ...window.laavasuihku }));

export async function waitFrames(page, count) {
  const until = (await status(page)).frames + count;
  await page.waitForFunction((n) => window.laavasuihku.frames >= n, { timeout: 60000, polling: 'raf' }, until);
}

// After a change, once every particle launched before it has burned out (51 frames at most).
export const settle = (page) => waitFrames(page, 60);

// The fire colours, by the palette's rule, as 0xRRGGBB.
const palette = Array.from({ length: 256 }, (_, i) => {
  if (i <= 84) return 0xFFFF00 | Math.floor((255 * (84 - i) + 42) / 84);
  if (i <= 169) return 0xFF0000 | (255 - 3 * (i - 84)) << 8;
  if (i <= 254) return (255 - 3 * (i - 169)) << 16;
  return 0;
});

// The default picture's pixels as 0xRRGGBB, rows from the top (a 24-bit BMP, rows stored bottom-up).
export function pictureAt() {
  const b = readFileSync(picturePath);
  const offset = b.readUInt32LE(10), w = b.readInt32LE(18), h = b.readInt32LE(22), bits = b.readUInt16LE(28);
  assert.equal(bits, 24, 'the default picture is a 24-bit BMP');
  const stride = Math.ceil(w * 3 / 4) * 4;
  return (x, y) => {
    const p = offset + (h - 1 - y) * stride + x * 3;
    return b[p + 2] << 16 | b[p + 1] << 8 | b[p];
  };
}

// The canvas's own pixels as 0xRRGGBB, rows from the top.
export async function canvasPixels(page) {
  const bytes = await page.evaluate(() => {
    const c = document.getElementById('canvas');
    return Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data);
  });
  return Array.from({ length: 1024 * 768 }, (_, i) => bytes[4 * i] << 16 | bytes[4 * i + 1] << 8 | bytes[4 * i + 2]);
}

// What the canvas shows: the lit pixels of the sky (rows 0 .. 512), and the
// band's pixels that are the picture's; any sky pixel neither black nor fire.
export async function look(page, picture) {
  const pixels = await canvasPixels(page);
  const fire = new Set(palette);
  const s = { lit: 0, meanX: 0, top: 768, strange: [], picture: 0 };
  const rows = [];
  for (let y = 0; y < 768; ++y)
    for (let x = 0; x < 1024; ++x) {
      const c = pixels[y * 1024 + x];
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

// The canvas's point (x, y) on the page, wherever and however large it is shown.
export async function onCanvas(page, x, y) {
  const box = await (await page.$('#canvas')).boundingBox();
  return [box.x + (x + 0.5) * box.width / 1024, box.y + (y + 0.5) * box.height / 768];
}

// A screenshot as the screen's own pixels: { width, height, at(x, y) } as 0xRRGGBB.
export async function screenPixels(page) {
  const png = Buffer.from(await page.screenshot({ type: 'png', captureBeyondViewport: false }));
  let at = 8, width = 0, height = 0, type = 0;
  const data = [];
  while (at < png.length) {
    const length = png.readUInt32BE(at), kind = png.toString('latin1', at + 4, at + 8);
    const body = png.subarray(at + 8, at + 8 + length);
    if (kind === 'IHDR') {
      width = body.readUInt32BE(0); height = body.readUInt32BE(4); type = body[9];
      assert.ok(body[8] === 8 && (type === 2 || type === 6) && body[12] === 0, 'an 8-bit RGB or RGBA screenshot');
    } else if (kind === 'IDAT') {
      data.push(body);
    }
    at += 12 + length;
  }
  const raw = inflateSync(Buffer.concat(data)), channels = type === 6 ? 4 : 3, stride = width * channels;
  const out = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {  // PNG's row filters undone
    const filter = raw[y * (stride + 1)], row = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; ++i) {
      const left = i >= channels ? out[y * stride + i - channels] : 0, up = y ? out[(y - 1) * stride + i] : 0;
      const corner = y && i >= channels ? out[(y - 1) * stride + i - channels] : 0;
      const p = left + up - corner, pa = Math.abs(p - left), pb = Math.abs(p - up), pc = Math.abs(p - corner);
      const predicted = [0, left, up, (left + up) >> 1, pa <= pb && pa <= pc ? left : pb <= pc ? up : corner][filter];
      out[y * stride + i] = row[i] + predicted;
    }
  }
  return { width, height, at: (x, y) => { const p = (y * width + x) * channels; return out[p] << 16 | out[p + 1] << 8 | out[p + 2]; } };
}
