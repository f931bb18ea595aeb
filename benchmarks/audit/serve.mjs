// Serves the audited pages on 127.0.0.1 and writes their list (JSON, one
// {group, name, url} each) to the file named by its argument, then serves
// until it is stopped:
// - every fixture page of the tests, each folder at the root of a server of
//   its own as its tests serve it ("/name" is name.html, "{{SELF}}" and
//   "{{OTHER}}" its own address under 127.0.0.1 and under localhost);
// - the library pages of pages/, with the packages of node_modules/ and the
//   bundles of bundles/ beside them, on one more server.
// With a second argument, only pages whose group/name contains it.

import { readdirSync, readFileSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, normalize } from 'node:path';

const here = new URL('./', import.meta.url);
const fixtureFolders = ['BrowserCore/PageAgent/pages', 'BrowserCore/Session/pages', 'BrowserUI/pages', 'e2e/pages'];
const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.mjs': 'text/javascript', '.css': 'text/css',
  '.json': 'application/json', '.svg': 'image/svg+xml', '.png': 'image/png', '.woff2': 'font/woff2',
  '.woff': 'font/woff', '.ttf': 'font/ttf', '.eot': 'application/vnd.ms-fontobject', '.map': 'application/json',
};

function listen(handler) {
  const server = createServer(handler);
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server.address().port)));
}

function notHere(response) {
  response.writeHead(404, { 'content-type': 'text/plain' });
  response.end('not here');
}

async function serveFolder(folder) {
  const dir = new URL(`../../tests/${folder}/`, import.meta.url);
  let port = 0;
  port = await listen((request, response) => {
    const name = new URL(request.url, 'http://127.0.0.1').pathname.slice(1) || 'index';
    let page = null;
    try {
      if (!name.includes('/')) page = readFileSync(new URL(`${name}.html`, dir), 'utf8');
    } catch {
      // not a page of the folder
    }
    if (page === null) return notHere(response);
    page = page.replaceAll('{{SELF}}', `http://127.0.0.1:${port}/`).replaceAll('{{OTHER}}', `http://localhost:${port}/`);
    response.writeHead(200, { 'content-type': 'text/html; charset=utf-8' });
    response.end(page);
  });
  const pages = readdirSync(dir).filter((f) => f.endsWith('.html')).map((f) => f.slice(0, -5)).sort();
  return pages.map((name) => ({ group: folder, name, url: `http://127.0.0.1:${port}/${name}` }));
}

// Files under pages/, node_modules/ and bundles/ of this folder, nothing else.
async function serveLibraries() {
  const port = await listen((request, response) => {
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname)).replace(/^\/+/, '');
    if (!/^(pages|node_modules|bundles)\//.test(path) || path.includes('..')) return notHere(response);
    try {
      const body = readFileSync(new URL(path, here));
      response.writeHead(200, { 'content-type': types[extname(path)] || 'application/octet-stream' });
      response.end(body);
    } catch {
      notHere(response);
    }
  });
  const pages = readdirSync(new URL('pages/', here)).filter((f) => f.endsWith('.html')).map((f) => f.slice(0, -5)).sort();
  return pages.map((name) => ({ group: 'library', name, url: `http://127.0.0.1:${port}/pages/${name}.html` }));
}

const [listFile, only] = process.argv.slice(2);
let pages = [];
for (const folder of fixtureFolders) pages.push(...(await serveFolder(folder)));
pages.push(...(await serveLibraries()));
if (only) pages = pages.filter((p) => `${p.group}/${p.name}`.includes(only));
writeFileSync(listFile, JSON.stringify(pages, null, 1));
process.stderr.write(`serving ${pages.length} pages\n`);
