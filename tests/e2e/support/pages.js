// The pages the tests load, served on 127.0.0.1 at a port of the system's choice.

import { createServer } from 'node:http';

const pages = {
  '/': `<!doctype html>
<html><head><title>Vesk test page</title></head>
<body>
<h1>Order form</h1>
<p>The quick brown fox orders a parcel.</p>
<button id="send">Send parcel</button>
<a href="/popup">Popup page</a>
<script>
  console.log('hello from the page');
  console.error('the page broke something');
  fetch('/api/data').then((response) => response.text());
  fetch('/api/missing');
</script>
</body></html>`,
  '/form': `<!doctype html>
<html><head><title>Greeting form</title></head>
<body>
<label>Name <input id="name"></label>
<label>Colour <select id="colour"><option>Red</option><option>Blue</option></select></label>
<button id="greet">Greet</button>
<p id="out"></p>
<script>
  document.getElementById('greet').addEventListener('click', () => {
    setTimeout(() => {
      const name = document.getElementById('name').value;
      const colour = document.getElementById('colour').value;
      document.getElementById('out').textContent = 'Hello, ' + name + ' in ' + colour;
    }, 300);
  });
</script>
</body></html>`,
  '/print': '<!doctype html><title>Printing</title><p>Sent to the printer</p><script>window.print()</script>',
  '/popup': `<!doctype html>
<html><head><title>Popup window</title></head>
<body><p>This is the popup.</p></body></html>`,
};

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
    const page = pages[path];
    if (!page) {
      response.writeHead(404, { 'content-type': 'text/plain' });
      response.end('not here');
      return;
    }
    response.writeHead(200, { 'content-type': 'text/html; charset=utf-8' });
    response.end(page);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
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
