// The pages the tests load, served on 127.0.0.1 at a port of the system's choice.

import { readFileSync } from 'node:fs';
import { createServer } from 'node:http';

// The pages of pages/, by path: "/" serves index.html, "/form" form.html.
const pagesDir = new URL('../pages/', import.meta.url);
function pageAt(path) {
  try {
    return readFileSync(new URL(`${path === '/' ? 'index' : path.slice(1)}.html`, pagesDir), 'utf8');
  } catch {
    return null;
  }
}

// Starts the server. `held` requests ("/slow") are answered only when the
// server closes, so that a load can outlast any time limit.
export async function startPages() {
  const held = [];
  const server = createServer((request, response) => {
    const path = new URL(request.url, 'http://127.0.0.1').pathname;
    if (path === '/slow') {
      held.push(response);
      return;
    }
    if (path === '/api/data') {
      response.writeHead(200, { 'content-type': 'application/json' });
      response.end('{"items":3}');
      return;
    }
    const page = /^\/\w*$/.test(path) ? pageAt(path) : null;
    if (!page) {
      response.writeHead(404, { 'content-type': 'text/plain' });
      response.end('not here');
      return;
    }
    response.writeHead(200, { 'content-type': 'text/html; charset=utf-8' });
    response.end(page);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  // A test that fails before it closes the server (vesk died at start) must
  // not keep the run waiting on it.
  server.unref();
  const { port } = server.address();
  return {
    url: (path) => `http://127.0.0.1:${port}${path}`,
    async close() {
      for (const response of held) response.destroy();
      server.closeAllConnections();
      await new Promise((resolve) => server.close(resolve));
    },
  };
}
