// The web page in headless Chromium (SwiftShader's WebGL 2, no GPU), served
// by scripts/serve-web as a user would serve it. Run by scripts/test-web,
// which passes the site, the native build (for its reference frames) and a
// scratch folder in the environment:
//   TARNVALE_WEB_SITE, TARNVALE_NATIVE_BUILD, TARNVALE_WEB_SCRATCH
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import { cpSync, mkdirSync, rmSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { promisify } from 'node:util';
import { chromium } from 'playwright-core';
import { chromiumOptions, root, serve } from './site.mjs';

const run = promisify(execFile);
const site = process.env.TARNVALE_WEB_SITE ?? path.join(root, 'build-web/site');
const nativeBuild = process.env.TARNVALE_NATIVE_BUILD ?? path.join(root, 'build');
const scratch = process.env.TARNVALE_WEB_SCRATCH ?? path.join(root, 'build-web/test-scratch');

// The frame the native and the web build must agree on: seed 424242, the
// balls where the camera puts them (the GPU check's probes).
const seed = 424242;
const probes = ['328,221', '420,223', '512,223', '604,223', '696,223', '374,304', '466,304', '558,304', '650,304',
  '420,384', '512,384', '604,384', '466,464', '558,464', '512,545', '512,659'];
// Left out of the comparison: the device line (REF natively, HAL in the
// page) and the frame-rate text (blank in the native 6th frame, written
// once a second of the clock in the page).
const ignored = ['0,740:512,768', '936,0:1024,48'];

// How long the page may take to draw its first frame here (SwiftShader on
// two shared cores); the figure itself is measured apart.
const startLimitMs = 60000;

async function launch() {
  mkdirSync(scratch, { recursive: true });
  const profile = path.join(scratch, 'chromium-profile');
  rmSync(profile, { recursive: true, force: true });
  // A fresh profile folder every run (playwright passes it as
  // --user-data-dir); the browser is a context of it.
  return chromium.launchPersistentContext(profile, { ...chromiumOptions, viewport: { width: 1200, height: 1000 } });
}

// Opens the page and collects what its console and the page itself report.
async function open(browser, url) {
  const page = await browser.newPage();
  const errors = [];
  page.on('console', (message) => { if (message.type() === 'error') errors.push(message.text()); });
  page.on('pageerror', (error) => errors.push(String(error)));
  page.on('requestfailed', (request) => errors.push(`request failed: ${request.url()}`));
  const started = Date.now();
  await page.goto(url);
  return { page, errors, started };
}

const status = (page) => page.evaluate(() => ({ ...window.tarnvale, messages: [...window.tarnvale.messages] }));

async function waitForState(page, states, timeout = startLimitMs) {
  await page.waitForFunction((wanted) => wanted.includes(window.tarnvale?.state), states, { timeout, polling: 50 });
  return status(page);
}

async function waitForFrames(page, count, timeout = startLimitMs) {
  await page.waitForFunction((n) => window.tarnvale?.frames >= n, count, { timeout, polling: 50 });
}

async function canvasShot(page, file) {
  await page.locator('#canvas').screenshot({ path: file });
  return file;
}

// tarnvale-capture's frame of the same seed, headless.
async function nativeFrame(file, ...extra) {
  await run(path.join(nativeBuild, 'tools/tarnvale-capture'), ['--seed', String(seed), '--out', file, ...extra],
    { cwd: root, env: { ...process.env, SDL_VIDEODRIVER: 'offscreen', TARNVALE_MESSAGEBOX: 'stderr' } });
  return file;
}

// tarnvale-framecompare's verdict and figures.
async function compare(reference, candidate, diff) {
  const args = [reference, candidate, '--diff', diff];
  for (const rect of ignored) args.push('--ignore', rect);
  for (const probe of probes) args.push('--probe', probe);
  try {
    const { stdout } = await run(path.join(nativeBuild, 'tools/tarnvale-framecompare'), args);
    return { passed: true, figures: stdout.trim() };
  } catch (error) {
    return { passed: false, figures: `${error.stdout ?? ''}${error.stderr ?? ''}`.trim() };
  }
}

describe('the page', () => {
  let browser;
  let server;
  before(async () => {
    browser = await launch();
    server = await serve(site);
  });
  after(async () => {
    await browser?.close();
    server?.stop();
  });

  test('draws the frame of the native build for the same seed, with no console error', async () => {
    const { page, errors, started } = await open(browser, `${server.url}?seed=${seed}`);
    const running = await waitForState(page, ['running', 'failed', 'ended']);
    assert.equal(running.state, 'running', `the page did not start: ${running.messages.join('\n')}`);
    console.log(`first frame ${Date.now() - started} ms after navigation`);
    assert.match(running.device, /^HAL, /, 'the browser\'s WebGL is the hardware device');
    await waitForFrames(page, 6);
    assert.equal(await page.evaluate(() => document.activeElement?.id), 'canvas', 'the canvas has the keyboard focus');
    const reference = await nativeFrame(path.join(scratch, 'native-rack.png'), '--frames', '6');
    const shot = await canvasShot(page, path.join(scratch, 'web-rack.png'));
    const verdict = await compare(reference, shot, path.join(scratch, 'rack-diff.png'));
    assert.ok(verdict.passed, `the page's frame differs from the native one: ${verdict.figures}`);
    console.log(`frame comparison: ${verdict.figures}`);
    assert.deepEqual(errors, [], 'console errors in a normal run');
    await page.close();
  });

  test('a left drag turns the rack as the same drag does natively', async () => {
    const { page } = await open(browser, `${server.url}?seed=${seed}`);
    assert.equal((await waitForState(page, ['running', 'failed', 'ended'])).state, 'running');
    const box = await page.locator('#canvas').boundingBox();
    await page.mouse.move(box.x + 512, box.y + 384);
    await page.mouse.down();
    await page.mouse.move(box.x + 602, box.y + 384, { steps: 10 });
    await page.mouse.up();
    // One message is handled a frame: the drag is in once a few frames more
    // than its messages have run.
    const { frames } = await status(page);
    await waitForFrames(page, frames + 30);
    const reference = await nativeFrame(path.join(scratch, 'native-drag.png'), '--frames', '10',
      '--drag', '512,384:602,384');
    const shot = await canvasShot(page, path.join(scratch, 'web-drag.png'));
    const verdict = await compare(reference, shot, path.join(scratch, 'drag-diff.png'));
    assert.ok(verdict.passed, `the dragged frame differs from the native one: ${verdict.figures}`);
    await page.close();
  });

  test('shows "FPS: n" within 2 seconds, and Esc ends the demo', async () => {
    const { page } = await open(browser, server.url);
    assert.equal((await waitForState(page, ['running', 'failed', 'ended'])).state, 'running');
    await page.waitForFunction(() => /^FPS: [0-9]+$/.test(window.tarnvale.fpsText), null, { timeout: 2000, polling: 50 });
    await page.keyboard.press('Escape');
    const ended = await waitForState(page, ['ended', 'failed'], 10000);
    assert.equal(ended.state, 'ended');
    assert.match(await page.locator('#status').innerText(), /has ended.*[Rr]eload/);
    await page.close();
  });
});

describe('a site with a file missing', () => {
  let browser;
  before(async () => { browser = await launch(); });
  after(async () => { await browser?.close(); });

  // A copy of the site without one of its files, served on its own.
  async function siteWithout(file) {
    const copy = path.join(scratch, `site-without-${path.basename(file)}`);
    rmSync(copy, { recursive: true, force: true });
    cpSync(site, copy, { recursive: true });
    rmSync(path.join(copy, file));
    return serve(copy);
  }

  test('a missing shader ends the start with the program\'s message on the page', async () => {
    const server = await siteWithout('superellipsoid.vsh');
    try {
      const { page } = await open(browser, server.url);
      const end = await waitForState(page, ['failed', 'ended', 'running']);
      assert.equal(end.state, 'failed');
      const text = await page.locator('#messages').innerText();
      assert.match(text, /superellipsoid\.vsh: error: cannot open file/);
      assert.ok(end.messages.some((line) => line.includes('superellipsoid.vsh')), end.messages.join('\n'));
      await page.close();
    } finally {
      server.stop();
    }
  });

  test('a missing ball image is named on the page, and the demo runs on without it', async () => {
    const server = await siteWithout('res/3-ball.png');
    try {
      const { page } = await open(browser, server.url);
      const state = await waitForState(page, ['running', 'failed', 'ended']);
      assert.equal(state.state, 'running', state.messages.join('\n'));
      assert.match(await page.locator('#messages').innerText(), /res\/3-ball\.png: cannot open file/);
      await page.close();
    } finally {
      server.stop();
    }
  });
});
