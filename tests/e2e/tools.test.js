// An agent's session with vesk: it starts the program, lists the tools, loads
// a loopback page and reads it every way the page tools allow, follows a popup,
// and leaves, after which vesk ends cleanly.

import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';

import { startPages } from './support/pages.js';
import { firstText, startVesk, waitFor } from './support/vesk.js';

const toolNames = [
  'navigate', 'back', 'forward', 'reload', 'snapshot', 'find', 'click', 'hover', 'fill', 'select', 'press',
  'scroll', 'wait_for', 'evaluate', 'console', 'network', 'screenshot', 'window', 'record_start', 'record_stop',
  'list_flows', 'list_profiles', 'use_profile', 'run_flow', 'repair_flow',
];

let pages;
let vesk;

before(async () => {
  pages = await startPages();
  vesk = await startVesk();
});

after(async () => {
  await pages?.close();
});

function call(name, args = {}) {
  return vesk.client.callTool({ name, arguments: args });
}

test('initialize names the server', () => {
  assert.deepEqual(vesk.client.getServerVersion(), { name: 'Vesk', version: '0.5.0' });
  assert.deepEqual(vesk.client.getServerCapabilities(), { tools: {} });
});

test('tools/list gives the 25 tools in order', async () => {
  const { tools } = await vesk.client.listTools();
  assert.deepEqual(tools.map((tool) => tool.name), toolNames);
  for (const tool of tools) assert.equal(tool.inputSchema.type, 'object');
});

test('navigate loads the page and reports its phases', async () => {
  const result = await call('navigate', { url: pages.url('/') });
  assert.equal(result.isError, false, firstText(result));
  const text = firstText(result);
  assert.match(text, /<page-content>/);
  assert.match(text, /Page: "Vesk test page"/);
  assert.match(text, /button "Send parcel"/);
  const phases = result._meta?.['vesk/phases'];
  assert.ok(phases, 'a navigation carries its phases');
  for (const key of ['load', 'settle', 'snapshot', 'drawing']) assert.equal(typeof phases[key], 'number', key);
  assert.ok(phases.load > 0);
  assert.ok('settled' in phases);
  assert.equal(typeof phases.held, 'object');
  assert.ok(Array.isArray(phases.holders));
});

test('snapshot reads the whole page afresh', async () => {
  const result = await call('snapshot');
  assert.equal(result.isError, false, firstText(result));
  const text = firstText(result);
  assert.match(text, /Page: "Vesk test page"/);
  assert.match(text, /URL: http:\/\/127\.0\.0\.1:\d+\//);
  assert.match(text, /\[e\d+\] button "Send parcel"/);
  assert.match(text, /\[e\d+\] link "Popup page"/);
  assert.match(text, /The quick brown fox orders a parcel\./);
  assert.equal(result._meta, undefined);
});

test('find lists what matches regardless of case', async () => {
  const result = await call('find', { text: 'PARCEL' });
  assert.equal(result.isError, false, firstText(result));
  const text = firstText(result);
  assert.match(text, /button "Send parcel"/);
  assert.match(text, /quick brown fox/);
  const none = await call('find', { text: 'zebra crossing' });
  assert.match(firstText(none), /Nothing on the page has "zebra crossing"/);
});

test('console shows what the page wrote', async () => {
  const result = await call('console');
  assert.equal(result.isError, false, firstText(result));
  const text = firstText(result);
  assert.match(text, /hello from the page/);
  assert.match(text, /the page broke something/);
});

// Reading the requests empties the list, so a wait gathers what every read gave.
async function gatherRequests(args, done, what) {
  let seen = '';
  await waitFor(async () => {
    const result = await call('network', args);
    assert.equal(result.isError, false, firstText(result));
    seen += firstText(result);
    return done(seen);
  }, { what });
  return seen;
}

test('network lists the page\'s requests, and only the failed ones when asked', async () => {
  await call('network');
  await call('navigate', { url: pages.url('/') });
  const all = await gatherRequests({}, (seen) => /\/api\/data/.test(seen) && /\/api\/missing/.test(seen),
    'both requests of the page');
  assert.match(all, /GET "http:\/\/127\.0\.0\.1:\d+\/api\/data" 200/);
  assert.match(all, /GET "http:\/\/127\.0\.0\.1:\d+\/api\/missing" 404/);

  await call('navigate', { url: pages.url('/') });
  const failed = await gatherRequests({ failed: true }, (seen) => /\/api\/missing/.test(seen), 'the failed request');
  assert.doesNotMatch(failed, /\/api\/data/);
});

test('evaluate answers the script\'s value as page content', async () => {
  const result = await call('evaluate', { script: 'return document.title + " / " + (6 * 7)' });
  assert.equal(result.isError, false, firstText(result));
  assert.match(firstText(result), /<page-content>\n\| "Vesk test page \/ 42"\n<\/page-content>/);
  assert.equal(result._meta, undefined);

  const nothing = await call('evaluate', { script: 'void 0' });
  assert.match(firstText(nothing), /\| undefined/);

  const thrown = await call('evaluate', { script: 'throw new Error("no such thing")' });
  assert.equal(thrown.isError, true);
  assert.match(firstText(thrown), /no such thing/);
});

test('screenshot is one PNG image', async () => {
  const result = await call('screenshot');
  assert.equal(result.isError, false);
  assert.equal(result.content.length, 1);
  const [image] = result.content;
  assert.equal(image.type, 'image');
  assert.equal(image.mimeType, 'image/png');
  const bytes = Buffer.from(image.data, 'base64');
  assert.deepEqual([...bytes.subarray(0, 8)], [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
  assert.ok(bytes.length > 100);
});

test('a popup the page opens is listed and read through window', async () => {
  const opened = await call('evaluate', { script: 'window.open("/popup"); return "opened"' });
  assert.equal(opened.isError, false, firstText(opened));
  const note = opened.content.map((item) => item.text).join('\n');
  assert.match(note, /a separate window the page opened/);
  assert.match(note, /\* w1 /);
  assert.match(note, /  main /);

  const popup = await waitFor(async () => {
    const result = await call('window', { window: 'w1' });
    return /Popup window/.test(firstText(result)) ? result : null;
  }, { what: 'the popup to load' });
  assert.match(firstText(popup), /This is the popup\./);
  const listing = popup.content[1]?.text ?? '';
  assert.match(listing, /\* w1 http:\/\/127\.0\.0\.1:\d+\/popup/);

  const main = await call('window', { window: 'main' });
  assert.match(firstText(main), /Page: "Vesk test page"/);
  assert.match(main.content[1]?.text ?? '', /This happened in the main page, not in a window it opened\./);

  const closed = await call('window', { window: 'w1', close: true });
  assert.equal(closed.isError, false, firstText(closed));
  assert.match(firstText(closed), /Page: "Vesk test page"/);
  assert.match(closed.content[1]?.text ?? '', /the separate window it had opened is closed/);

  const gone = await call('window', { window: 'w1' });
  assert.equal(gone.isError, true);
  assert.match(firstText(gone), /No window is called w1/);
});

test('back and forward step through the page\'s history', async () => {
  await call('navigate', { url: pages.url('/popup') });
  const back = await call('back');
  assert.equal(back.isError, false, firstText(back));
  assert.match(firstText(back), /Vesk test page/);
  const forward = await call('forward');
  assert.equal(forward.isError, false, firstText(forward));
  assert.match(firstText(forward), /Popup window/);
  const reload = await call('reload');
  assert.equal(reload.isError, false, firstText(reload));
  assert.match(firstText(reload), /Popup window/);
});

test('fill, select and click act on the page, and wait_for sees what they caused', async () => {
  const page = firstText(await call('navigate', { url: pages.url('/form') }));
  const ref = (pattern) => {
    const found = page.match(pattern);
    assert.ok(found, `${pattern} in\n${page}`);
    return found[1];
  };
  const filled = await call('fill', { ref: ref(/\[(e\d+)\] textbox "Name"/), text: 'Ada' });
  assert.equal(filled.isError, false, firstText(filled));
  const selected = await call('select', { ref: ref(/\[(e\d+)\] combobox "Colour"/), option: 'Blue' });
  assert.equal(selected.isError, false, firstText(selected));
  const clicked = await call('click', { ref: ref(/\[(e\d+)\] button "Greet"/) });
  assert.equal(clicked.isError, false, firstText(clicked));
  const waited = await call('wait_for', { text: 'Hello, Ada in Blue', timeout_seconds: 10 });
  assert.equal(waited.isError, false, firstText(waited));
  assert.equal(firstText(waited), 'Found.');
  const missing = await call('click', { ref: 'e99999' });
  assert.equal(missing.isError, true);
});

test('a tool given a bad argument fails with the reason', async () => {
  const invalid = await call('navigate', { url: '' });
  assert.equal(invalid.isError, true);
  assert.match(firstText(invalid), /\| Invalid URL: /);
});

test('every line is JSON-RPC, and vesk ends with status 0 and leaves no WebKit process when input ends', async () => {
  const { exit, started, leftBehind } = await vesk.stop();
  assert.deepEqual(vesk.transport.badLines, []);
  assert.deepEqual(vesk.transportErrors, []);
  assert.ok(vesk.transport.lines.length > 10);
  for (const line of vesk.transport.lines) assert.equal(JSON.parse(line).jsonrpc, '2.0');
  assert.deepEqual(exit, { code: 0, signal: null }, vesk.transport.stderr.slice(-2000));
  assert.ok(started.length > 0, 'vesk had started its web processes');
  assert.deepEqual(leftBehind, []);
});
