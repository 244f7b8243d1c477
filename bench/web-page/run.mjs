// The web page's figures, side by side with the native build's reference
// device: in each round, in turn,
//   page     the site (build-web/site) in headless Chromium with SwiftShader's
//            WebGL 2, in a fresh browser context (empty HTTP cache): the time
//            from navigation to the first frame, then the frame rate over
//            SECONDS after a warm-up, then a reload in the same context (the
//            site cached) and its time to the first frame again;
//   offscreen  tarnvale-capture --real-clock --frames FRAMES (SDL's offscreen
//            driver, REF on llvmpipe);
//   window   the same in a window on a private Xvfb server.
// and prints each round, the medians and the page / native ratios of the
// frame rate, then the site's size: what the page loads, uncompressed and
// gzipped, and what the browser fetched (Resource Timing). The last line is
// the whole result as one JSON object.
//
//   node bench/web-page/run.mjs [--rounds 5] [--seconds 10] [--frames 400]
//        [--site build-web/site] [--native build] [--no-window]
//        [--screenshot FILE.png]
//
// The first frame is the return of the program's first Present: the page's
// frame callback (web/main.cpp's afterFrame, window.tarnvale.frames = 1),
// timed on the page's own clock from its time origin, the start of the
// navigation; natively, start-up is from the spawn to the first present. The frame rate is 1000 / the median time between successive
// frame callbacks (and, for the page, the mean rate frames / seconds
// besides); natively 1000 / tarnvale-capture's median frame time. The page
// yields to the browser once a frame and draws at most one frame per
// animation frame (60 a second in headless Chromium); the native runs have
// no such limit (swap interval 0).
//
// --screenshot keeps a picture of the page (its main element) as it runs in
// the first measured round, at the end of the warm-up.
//
// Needs make web, make build (tarnvale-capture), playwright-core in
// tests/web/node_modules (scripts/test-web installs it), Debian's chromium
// and xvfb.
import { execFile, spawn } from 'node:child_process';
import { readFileSync, readdirSync, statSync } from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';
import zlib from 'node:zlib';

const here = path.dirname(fileURLToPath(import.meta.url));
const { chromiumOptions, root, serve } = await import(path.join(here, '../../tests/web/site.mjs'));
const require = createRequire(path.join(root, 'tests/web/package.json'));
const { chromium } = require('playwright-core');
const runFile = promisify(execFile);

// ---- Options -------------------------------------------------------------------------
const options = { rounds: 5, seconds: 10, frames: 400, warmup: 2, site: 'build-web/site', native: 'build', window: true,
  screenshot: null };
{
  const argv = process.argv.slice(2);
  for (let i = 0; i < argv.length; ++i) {
    const name = argv[i];
    const value = () => {
      if (i + 1 >= argv.length) usage(`${name} needs a value`);
      return argv[++i];
    };
    if (name === '--rounds') options.rounds = Number(value());
    else if (name === '--seconds') options.seconds = Number(value());
    else if (name === '--frames') options.frames = Number(value());
    else if (name === '--warmup') options.warmup = Number(value());
    else if (name === '--site') options.site = value();
    else if (name === '--native') options.native = value();
    else if (name === '--no-window') options.window = false;
    else if (name === '--screenshot') options.screenshot = path.resolve(value());
    else usage(`unknown option ${name}`);
  }
  if (!(options.rounds >= 3)) usage('--rounds must be at least 3');
  if (!(options.seconds >= 2)) usage('--seconds must be at least 2');
  if (!(options.frames >= 50)) usage('--frames must be at least 50');
  options.site = path.resolve(root, options.site);
  options.native = path.resolve(root, options.native);
}

function usage(problem) {
  console.error(`bench/web-page/run.mjs: ${problem}\n` +
    'usage: node bench/web-page/run.mjs [--rounds N] [--seconds S] [--warmup S] [--frames N] ' +
    '[--site DIR] [--native BUILD] [--no-window] [--screenshot FILE.png]');
  process.exit(2);
}

const capture = path.join(options.native, 'tools/tarnvale-capture');
for (const [file, how] of [[path.join(options.site, 'index.html'), 'make web'], [capture, 'make build']]) {
  try {
    statSync(file);
  } catch {
    console.error(`bench/web-page/run.mjs: ${file} is missing (${how} makes it)`);
    process.exit(1);
  }
}

// ---- Helpers -------------------------------------------------------------------------
const median = (values) => {
  const sorted = values.filter((v) => v !== null && v !== undefined && Number.isFinite(v)).sort((a, b) => a - b);
  if (sorted.length === 0) return null;
  const mid = sorted.length >> 1;
  return sorted.length % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
};
const fmt = (value, digits = 1) => (value === null || value === undefined ? '-' : value.toFixed(digits));
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// A private X server for the windowed native runs; its display number comes
// back through -displayfd.
async function startXvfb() {
  const child = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
    { stdio: ['ignore', 'ignore', 'ignore', 'pipe'] });
  let number = '';
  child.stdio[3].on('data', (chunk) => { number += chunk; });
  for (const deadline = Date.now() + 20000; !number.endsWith('\n');) {
    if (child.exitCode !== null || Date.now() > deadline) {
      child.kill();
      throw new Error('Xvfb did not start (apt-get install xvfb)');
    }
    await sleep(50);
  }
  return { display: `:${number.trim()}`, stop: () => child.kill() };
}

// ---- The page ------------------------------------------------------------------------
// Wraps the page's frame callback as page.js sets window.Module, to time
// every frame on the page's clock.
function frameClock() {
  const stamps = [];
  window.tarnvaleBench = { stamps, mainMs: null };
  let module;
  Object.defineProperty(window, 'Module', {
    configurable: true,
    get: () => module,
    set: (value) => {
      module = value;
      if (value && typeof value.tarnvaleFrame === 'function' && !value.tarnvaleFrame.timed) {
        const frame = value.tarnvaleFrame;
        value.tarnvaleFrame = function (...args) {
          stamps.push(performance.now());
          return frame.apply(this, args);
        };
        value.tarnvaleFrame.timed = true;
        // emscripten calls it just before main.
        const initialized = value.onRuntimeInitialized;
        value.onRuntimeInitialized = function (...args) {
          window.tarnvaleBench.mainMs = performance.now();
          return initialized?.apply(this, args);
        };
      }
    },
  });
}

async function load(page, url) {
  await page.goto(url);
  await page.waitForFunction(() => ['running', 'failed', 'ended'].includes(window.tarnvale?.state) &&
    window.tarnvaleBench.stamps.length > 0 || ['failed', 'ended'].includes(window.tarnvale?.state), null,
  { timeout: 120000, polling: 20 });
  return page.evaluate(() => {
    const [navigation] = performance.getEntriesByType('navigation');
    const wasm = performance.getEntriesByType('resource').find((entry) => entry.name.endsWith('/tarnvale.wasm'));
    const resources = [navigation, ...performance.getEntriesByType('resource')];
    return {
      state: window.tarnvale.state,
      messages: window.tarnvale.messages,
      firstFrameMs: window.tarnvaleBench.stamps[0] ?? null,
      mainMs: window.tarnvaleBench.mainMs,
      domContentLoadedMs: navigation?.domContentLoadedEventEnd ?? null,
      wasmLoadedMs: wasm?.responseEnd ?? null,
      transferBytes: resources.reduce((sum, entry) => sum + (entry.transferSize ?? 0), 0),
      bodyBytes: resources.reduce((sum, entry) => sum + (entry.decodedBodySize ?? 0), 0),
      requests: resources.length,
    };
  });
}

async function runPage(browser, url, screenshot) {
  const context = await browser.newContext({ viewport: { width: 1100, height: 900 } });
  try {
    await context.addInitScript(frameClock);
    const page = await context.newPage();
    const cold = await load(page, url);
    if (cold.state !== 'running') throw new Error(`the page did not start: ${cold.messages.join('\n')}`);
    await sleep(options.warmup * 1000);
    if (screenshot) await page.locator('main').screenshot({ path: screenshot });
    const from = await page.evaluate(() => window.tarnvaleBench.stamps.length);
    await sleep(options.seconds * 1000);
    const stamps = await page.evaluate((n) => window.tarnvaleBench.stamps.slice(n), from);
    const gaps = stamps.slice(1).map((t, i) => t - stamps[i]);
    const fpsText = await page.evaluate(() => window.tarnvale.fpsText);
    // The same page again, its files in the browser's cache.
    const warm = await load(page, url);
    return {
      firstFrameMs: cold.firstFrameMs,
      domContentLoadedMs: cold.domContentLoadedMs,
      wasmLoadedMs: cold.wasmLoadedMs,
      mainMs: cold.mainMs,
      cachedMainMs: warm.mainMs,
      cachedFirstFrameMs: warm.state === 'running' ? warm.firstFrameMs : null,
      fps: 1000 / median(gaps),
      meanFps: stamps.length > 1 ? (stamps.length - 1) * 1000 / (stamps[stamps.length - 1] - stamps[0]) : null,
      frameMs: median(gaps),
      fpsText,
      transferBytes: cold.transferBytes,
      bodyBytes: cold.bodyBytes,
      requests: cold.requests,
    };
  } finally {
    await context.close();
  }
}

// ---- The native build ----------------------------------------------------------------
async function runNative(extraArgs, extraEnv) {
  // Start-up from just before the spawn to the first present, both on
  // CLOCK_MONOTONIC (as bench/run takes it).
  const spawned = process.hrtime.bigint();
  const { stdout } = await runFile(capture, ['--real-clock', '--frames', String(options.frames), ...extraArgs], {
    cwd: root, timeout: 300000,
    env: { ...process.env, TARNVALE_MESSAGEBOX: 'stderr', ...extraEnv },
  });
  const line = stdout.split('\n').filter((l) => l.startsWith('{')).pop();
  const result = JSON.parse(line);
  const first = result.first_present_clock_ns;
  const startupMs = first ? Number(BigInt(first) - spawned) / 1e6 : result.startup_ms;
  return { fps: 1000 / result.frame_ms.median, frameMs: result.frame_ms.median, startupMs,
    device: result.device };
}

// ---- The site's size -----------------------------------------------------------------
// What the page loads: the page itself, the program and the data files.json
// names (everything in the site folder; each file once).
function siteSize() {
  const files = [];
  const walk = (dir) => {
    for (const entry of readdirSync(dir, { withFileTypes: true })) {
      const full = path.join(dir, entry.name);
      if (entry.isDirectory()) walk(full);
      else files.push(full);
    }
  };
  walk(options.site);
  const groups = { wasm: [0, 0], js: [0, 0], page: [0, 0], data: [0, 0] };
  for (const file of files) {
    const bytes = readFileSync(file);
    const gzipped = zlib.gzipSync(bytes, { level: 9 }).length;
    const name = path.relative(options.site, file);
    const group = name === 'tarnvale.wasm' ? 'wasm' : name === 'tarnvale.js' ? 'js'
      : ['index.html', 'page.js', 'page.css', 'favicon.png', 'files.json'].includes(name) ? 'page' : 'data';
    groups[group][0] += bytes.length;
    groups[group][1] += gzipped;
  }
  const total = Object.values(groups).reduce((sum, [raw, gz]) => [sum[0] + raw, sum[1] + gz], [0, 0]);
  return { ...groups, total, files: files.length };
}

// ---- The run -------------------------------------------------------------------------
const server = await serve(options.site);
const xvfb = options.window ? await startXvfb() : null;
const browser = await chromium.launch(chromiumOptions);
const rounds = [];
try {
  console.log(`${os.cpus().length} cores, load ${os.loadavg().map((l) => l.toFixed(2)).join(' ')}; ` +
    `${options.rounds} rounds (a warm-up round first): page ${options.seconds} s after ${options.warmup} s, ` +
    `native ${options.frames} frames`);
  console.log('round  page: first frame ms (cached)  fps (mean)  | offscreen fps | window fps | ratio page/offscreen, page/window');
  for (let round = 0; round <= options.rounds; ++round) {
    const page = await runPage(browser, server.url, round === 1 ? options.screenshot : null);
    const offscreen = await runNative([], { SDL_VIDEODRIVER: 'offscreen' });
    const window = xvfb ? await runNative(['--window'], { DISPLAY: xvfb.display, SDL_VIDEODRIVER: 'x11' }) : null;
    const result = { page, offscreen, window,
      ratio: { offscreen: page.fps / offscreen.fps, window: window ? page.fps / window.fps : null } };
    console.log(`${round === 0 ? 'warm' : String(round).padStart(4)}   ${fmt(page.firstFrameMs, 0).padStart(6)} ` +
      `(${fmt(page.cachedFirstFrameMs, 0)})  ${fmt(page.fps)} (${fmt(page.meanFps)})  | ${fmt(offscreen.fps)} | ` +
      `${fmt(window?.fps)} | ${fmt(result.ratio.offscreen, 3)}, ${fmt(result.ratio.window, 3)}`);
    if (round > 0) rounds.push(result);
  }
} finally {
  await browser.close();
  server.stop();
  xvfb?.stop();
}

const pick = (side, key) => median(rounds.map((r) => r[side]?.[key]));
const summary = {
  page: Object.fromEntries(['firstFrameMs', 'cachedFirstFrameMs', 'domContentLoadedMs', 'wasmLoadedMs', 'mainMs', 'cachedMainMs', 'fps',
    'meanFps', 'frameMs', 'transferBytes', 'bodyBytes', 'requests'].map((k) => [k, pick('page', k)])),
  offscreen: { fps: pick('offscreen', 'fps'), frameMs: pick('offscreen', 'frameMs'),
    startupMs: pick('offscreen', 'startupMs'), device: rounds[0].offscreen.device },
  window: xvfb ? { fps: pick('window', 'fps'), frameMs: pick('window', 'frameMs'),
    startupMs: pick('window', 'startupMs'), device: rounds[0].window.device } : null,
  // The median of the per-round ratios: each taken under one load.
  ratio: { offscreen: median(rounds.map((r) => r.ratio.offscreen)),
    window: xvfb ? median(rounds.map((r) => r.ratio.window)) : null },
  site: siteSize(),
};
const mb = (bytes) => (bytes / 1e6).toFixed(2);
console.log('medians:');
console.log(`  page: first frame ${fmt(summary.page.firstFrameMs, 0)} ms after navigation ` +
  `(page ready ${fmt(summary.page.domContentLoadedMs, 0)} ms, tarnvale.wasm loaded ${fmt(summary.page.wasmLoadedMs, 0)} ms, ` +
  `main called ${fmt(summary.page.mainMs, 0)} ms); cached: ${fmt(summary.page.cachedFirstFrameMs, 0)} ms ` +
  `(main called ${fmt(summary.page.cachedMainMs, 0)} ms); ${fmt(summary.page.fps)} fps ` +
  `(${fmt(summary.page.frameMs)} ms a frame; mean ${fmt(summary.page.meanFps)} fps)`);
console.log(`  native offscreen (${summary.offscreen.device}): ${fmt(summary.offscreen.fps)} fps ` +
  `(${fmt(summary.offscreen.frameMs, 2)} ms), start-up ${fmt(summary.offscreen.startupMs, 0)} ms`);
if (summary.window) {
  console.log(`  native window (${summary.window.device}): ${fmt(summary.window.fps)} fps ` +
    `(${fmt(summary.window.frameMs, 2)} ms), start-up ${fmt(summary.window.startupMs, 0)} ms`);
}
console.log(`  frame rate page / native: ${fmt(summary.ratio.offscreen, 3)} offscreen, ${fmt(summary.ratio.window, 3)} window`);
const s = summary.site;
console.log(`site (${s.files} files), MB uncompressed / gzip -9: tarnvale.wasm ${mb(s.wasm[0])} / ${mb(s.wasm[1])}, ` +
  `tarnvale.js ${mb(s.js[0])} / ${mb(s.js[1])}, data ${mb(s.data[0])} / ${mb(s.data[1])}, ` +
  `page ${mb(s.page[0])} / ${mb(s.page[1])}; in all ${mb(s.total[0])} / ${mb(s.total[1])}`);
console.log(`fetched by the page (Resource Timing, ${fmt(summary.page.requests, 0)} requests): ` +
  `${mb(summary.page.bodyBytes)} MB of content, ${mb(summary.page.transferBytes)} MB with headers`);
console.log(JSON.stringify({ options, rounds, summary }));
