// An agent's session with vesk: it starts the program, lists the tools, loads
// a loopback page and reads it every way the page tools allow, acts on a form,
// follows a popup, and leaves, after which vesk ends cleanly.

import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';

import { startPages } from './support/pages.js';
import { firstText, startVesk, waitFor } from './support/vesk.js';

let pages;
let vesk;

before(async () => {
  pages = await startPages();
  vesk = await startVesk();
});

after(async () => {
  await pages?.close();
});

// The answer of a tool, which must (or must not) be an error.
async function call(name, args = {}, isError = false) {
  const result = await vesk.client.callTool({ name, arguments: args });
  assert.equal(result.isError, isError, `${name}: ${firstText(result)}`);
  return result;
}
const text = async (...args) => firstText(await call(...args));

test('initialize names the server and tools/list gives the 25 tools', async () => {
  assert.deepEqual(vesk.client.getServerVersion(), { name: 'Vesk', version: '0.5.0' });
  const { tools } = await vesk.client.listTools();
  assert.equal(tools.length, 25);
  assert.deepEqual([tools[0].name, tools[24].name], ['navigate', 'repair_flow']);
});

test('navigate loads the page with its phases, and the reading tools read it', async () => {
  const loaded = await call('navigate', { url: pages.url('/') });
  assert.match(firstText(loaded), /<page-content>[^]*Page: "Vesk test page"[^]*button "Send parcel"/);
  const phases = loaded._meta?.['vesk/phases'];
  assert.ok(phases?.load > 0 && 'settled' in phases && Array.isArray(phases.holders), JSON.stringify(phases));

  assert.match(await text('snapshot'), /\[e\d+\] link "Popup page"[^]*The quick brown fox orders a parcel\./);
  assert.match(await text('find', { text: 'PARCEL' }), /button "Send parcel"/);
  assert.match(await text('console'), /hello from the page[^]*the page broke something/);
  assert.match(await text('evaluate', { script: 'return document.title + " / " + (6 * 7)' }),
    /<page-content>\n\| "Vesk test page \/ 42"\n<\/page-content>/);
  assert.match(firstText(await call('evaluate', { script: 'throw new Error("no such thing")' }, true)), /no such thing/);

  const [image, ...rest] = (await call('screenshot')).content;
  assert.deepEqual([image.type, image.mimeType, rest.length], ['image', 'image/png', 0]);
  assert.deepEqual([...Buffer.from(image.data, 'base64').subarray(0, 4)], [0x89, 0x50, 0x4e, 0x47]);
});

test('network lists the page\'s requests, and only the failed ones when asked', async () => {
  // Reading the requests empties the list, so a wait gathers what every read gave.
  const gather = async (args, done) => {
    let seen = '';
    await waitFor(async () => done(seen += await text('network', args)), { what: 'the page\'s requests' });
    return seen;
  };
  await call('network');
  await call('navigate', { url: pages.url('/') });
  const all = await gather({}, (seen) => /\/api\/data/.test(seen) && /\/api\/missing/.test(seen));
  assert.match(all, /GET "http:\/\/127\.0\.0\.1:\d+\/api\/missing" 404/);
  await call('navigate', { url: pages.url('/') });
  assert.doesNotMatch(await gather({ failed: true }, (seen) => /\/api\/missing/.test(seen)), /\/api\/data/);
});

test('a popup the page opens is listed and read through window', async () => {
  const opened = await call('evaluate', { script: 'window.open("/popup"); return "opened"' });
  assert.match(opened.content.map((item) => item.text).join('\n'), /\* w1 /);
  const popup = await waitFor(async () => {
    const result = await vesk.client.callTool({ name: 'window', arguments: { window: 'w1' } });
    return /Popup window/.test(firstText(result)) ? result : null;
  }, { what: 'the popup to load' });
  assert.match(firstText(popup), /This is the popup\./);
  assert.match(await text('window', { window: 'main' }), /Page: "Vesk test page"/);
  await call('window', { window: 'w1', close: true });
  assert.match(firstText(await call('window', { window: 'w1' }, true)), /No window is called w1/);
});

test('back, forward and reload step through the page\'s history', async () => {
  await call('navigate', { url: pages.url('/popup') });
  assert.match(await text('back'), /Vesk test page/);
  assert.match(await text('forward'), /Popup window/);
  assert.match(await text('reload'), /Popup window/);
});

test('fill, select and click act on the page, and wait_for sees what they caused', async () => {
  const page = await text('navigate', { url: pages.url('/form') });
  const ref = (pattern) => page.match(pattern)?.[1] ?? assert.fail(`${pattern} in\n${page}`);
  await call('fill', { ref: ref(/\[(e\d+)\] textbox "Name"/), text: 'Ada' });
  await call('select', { ref: ref(/\[(e\d+)\] combobox "Colour"/), option: 'Blue' });
  await call('click', { ref: ref(/\[(e\d+)\] button "Greet"/) });
  assert.equal(await text('wait_for', { text: 'Hello, Ada in Blue', timeout_seconds: 10 }), 'Found.');
  await call('click', { ref: 'e99999' }, true);
  assert.match(firstText(await call('navigate', { url: '' }, true)), /\| Invalid URL: /);
});

test('every line is JSON-RPC, and vesk ends with status 0 and leaves no WebKit process when input ends', async () => {
  const { exit, started, leftBehind } = await vesk.stop();
  assert.deepEqual(vesk.transport.badLines, []);
  assert.deepEqual(vesk.transportErrors, []);
  for (const line of vesk.transport.lines) assert.equal(JSON.parse(line).jsonrpc, '2.0');
  assert.deepEqual(exit, { code: 0, signal: null }, vesk.transport.stderr.slice(-2000));
  assert.ok(started.length > 0, 'vesk had started its web processes');
  assert.deepEqual(leftBehind, []);
});
