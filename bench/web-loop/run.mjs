// Runs the web loop probe's builds (bench/web-loop/probe.c) in headless
// Chromium with SwiftShader, alternately (A B C A B C ...), each for a few
// seconds, and prints frames per second, the median and 95th percentile of
// the frame's own drawing time and of the time between frames.
//   node bench/web-loop/run.mjs PROBE_DIR [ROUNDS] [SECONDS]
// (playwright-core from tests/web/node_modules; the probe folder served on
// 127.0.0.1 by python3.)
import { spawn } from 'node:child_process';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const require = createRequire(path.join(root, 'tests/web/package.json'));
const { chromium } = require('playwright-core');

const [dir, rounds = '3', seconds = '5'] = process.argv.slice(2);
const port = 8200 + Math.floor(Math.random() * 500);
const server = spawn('python3', ['-m', 'http.server', '--bind', '127.0.0.1', '--directory', dir, String(port)],
  { stdio: 'ignore' });
await new Promise((resolve) => setTimeout(resolve, 1000));
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
    '--disable-quic', '--no-first-run', '--disable-background-networking', '--disable-component-update',
    '--disable-sync'],
});
const median = (v, q = 0.5) => { const s = [...v].sort((a, b) => a - b); return s[Math.min(s.length - 1, Math.floor(q * s.length))]; };
const results = {};
for (let round = 0; round < Number(rounds); ++round) {
  for (const variant of ['raf', 'task', 'mainloop']) {
    const page = await browser.newPage({ viewport: { width: 1100, height: 800 } });
    await page.goto(`http://127.0.0.1:${port}/index.html?variant=${variant}`);
    await page.waitForFunction(() => window.probe && window.probe.frames > 10, null, { timeout: 60000 });
    const start = await page.evaluate(() => ({ frames: window.probe.frames, n: window.probe.drawMs.length }));
    await new Promise((resolve) => setTimeout(resolve, Number(seconds) * 1000));
    const probe = await page.evaluate((n) => ({ frames: window.probe.frames, drawMs: window.probe.drawMs.slice(n),
      stamps: window.probe.stamps.slice(n) }), start.n);
    const gaps = probe.stamps.slice(1).map((t, i) => t - probe.stamps[i]);
    (results[variant] ??= []).push({ fps: (probe.frames - start.frames) / Number(seconds),
      draw: median(probe.drawMs), draw95: median(probe.drawMs, 0.95), gap: median(gaps), gap95: median(gaps, 0.95) });
    await page.close();
  }
}
await browser.close();
server.kill();
for (const [variant, runs] of Object.entries(results)) {
  const m = (key) => median(runs.map((r) => r[key])).toFixed(2);
  console.log(`${variant.padEnd(9)} fps ${m('fps')}  draw ms median ${m('draw')} p95 ${m('draw95')}  ` +
    `between frames median ${m('gap')} p95 ${m('gap95')}`);
}
