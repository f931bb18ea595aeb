// How many tokens the agent reads for a page: every fixture page of the tests,
// loaded through vesk's navigate (the compact snapshot) and read with
// snapshot (the full one), counted as characters / 4 of each answer. Prints
// one line a page and the totals, so that two builds can be compared line by
// line. Run it under a display after scripts/install-e2e:
//   VESK_BINARY=build/src/Vesk/vesk scripts/test-session node benchmarks/snapshot-tokens.mjs

import { readdirSync, readFileSync } from 'node:fs';
import { createServer } from 'node:http';

import { firstText, startVesk } from '../tests/e2e/support/vesk.js';

const folders = ['BrowserCore/PageAgent/pages', 'BrowserCore/Session/pages', 'BrowserUI/pages', 'e2e/pages'];
const tokens = (text) => Math.round([...text].length / 4);

// Serves one folder at the root of a server of its own, as its tests do:
// "/name" is name.html, "{{SELF}}" and "{{OTHER}}" its own address under
// 127.0.0.1 and under localhost.
async function serveFolder(folder) {
  const dir = new URL(`../tests/${folder}/`, import.meta.url);
  let port = 0;
  const server = createServer((request, response) => {
    const name = new URL(request.url, 'http://127.0.0.1').pathname.slice(1) || 'index';
    let page = null;
    try {
      page = readFileSync(new URL(`${name}.html`, dir), 'utf8');
    } catch {
      // not a page of the folder
    }
    if (page === null || name.includes('/')) {
      response.writeHead(404, { 'content-type': 'text/plain' });
      response.end('not here');
      return;
    }
    page = page.replaceAll('{{SELF}}', `http://127.0.0.1:${port}/`).replaceAll('{{OTHER}}', `http://localhost:${port}/`);
    response.writeHead(200, { 'content-type': 'text/html; charset=utf-8' });
    response.end(page);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  server.unref();
  port = server.address().port;
  const pages = readdirSync(dir).filter((f) => f.endsWith('.html')).map((f) => f.slice(0, -5)).sort();
  return { server, port, pages };
}

const vesk = await startVesk({ timings: { settleTimeout: 2 } });
const call = async (name, args = {}) =>
  firstText(await vesk.client.callTool({ name, arguments: args }, undefined, { timeout: 120000 }));
let compactTotal = 0;
let fullTotal = 0;
for (const folder of folders) {
  const { server, port, pages } = await serveFolder(folder);
  for (const page of pages) {
    const compact = tokens(await call('navigate', { url: `http://127.0.0.1:${port}/${page}` }));
    const full = tokens(await call('snapshot'));
    compactTotal += compact;
    fullTotal += full;
    console.log(`${folder}/${page}\t${compact}\t${full}`);
  }
  server.closeAllConnections();
  server.close();
}
console.log(`total\t${compactTotal}\t${fullTotal}`);
await vesk.stop();
