// What the page's tests and its benchmark (bench/web-page) share: the site
// served by scripts/serve-web, as a user serves it, and headless Chromium
// drawing WebGL 2 with SwiftShader (no GPU), with the flags that keep it off
// the network.
import { spawn } from 'node:child_process';
import net from 'node:net';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');

export const chromiumOptions = {
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
    '--disable-quic', '--no-first-run', '--disable-background-networking', '--disable-component-update',
    '--disable-sync'],
};

async function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// scripts/serve-web on a site folder, on a free port; fails when it does not
// answer within 10 s. Returns the URL and a way to stop it.
export async function serve(folder) {
  const port = await freePort();
  const child = spawn(path.join(root, 'scripts/serve-web'), [folder, String(port)], { stdio: ['ignore', 'pipe', 'pipe'] });
  let output = '';
  child.stdout.on('data', (chunk) => { output += chunk; });
  child.stderr.on('data', (chunk) => { output += chunk; });
  const url = `http://127.0.0.1:${port}/`;
  const deadline = Date.now() + 10000;
  for (;;) {
    if (child.exitCode !== null) throw new Error(`serve-web ended: ${output}`);
    try {
      const response = await fetch(url);
      if (response.ok) break;
    } catch {
      // not listening yet
    }
    if (Date.now() > deadline) {
      child.kill();
      throw new Error(`serve-web did not answer on ${url}: ${output}`);
    }
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  return { url, stop: () => child.kill() };
}
