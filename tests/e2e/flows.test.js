// Record, list, replay and repair a sign-in on a loopback page.

import assert from 'node:assert/strict';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { join } from 'node:path';
import { after, before, test } from 'node:test';

import { firstText, startVesk } from './support/vesk.js';

let page = 'sign-in.html';
let server;
let base;
let vesk;

before(async () => {
  server = createServer((request, response) => {
    response.writeHead(200, { 'content-type': 'text/html' });
    response.end(readFileSync(new URL(`./pages/${page}`, import.meta.url)));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  base = `http://127.0.0.1:${server.address().port}`;
  vesk = await startVesk();
});

after(async () => {
  await vesk?.stop();
  server?.close();
});

const call = (name, args = {}) => vesk.client.callTool({ name, arguments: args });
const variables = { PASSWORD: 'hunter2' };

test('a recorded sign-in is saved, listed and replayed', async () => {
  await call('record_start', { name: 'Sign in' });
  const shown = firstText(await call('navigate', { url: `${base}/shop` }));
  const ref = (name) => shown.match(new RegExp(`\\[(e\\d+)\\] ${name}`))[1];
  await call('fill', { ref: ref('textbox "User name"'), text: 'ada' });
  await call('fill', { ref: ref('textbox "Password"'), text: 'hunter2' });
  await call('click', { ref: ref('button "Sign in"') });
  assert.equal(firstText(await call('wait_for', { text: 'Welcome, ada' })), 'Found.');

  const text = firstText(await call('record_stop'));
  assert.match(text, /^Recorded 5 steps\. Saved as "Sign in" in .*\/Vesk\/Flows\/sign-in\.json; replay it with run_flow\.\n/);
  assert.match(text, /"value": "\$\{PASSWORD\}"/);

  assert.match(firstText(await call('list_flows')), /\nSign in \(5 steps\)\n/);
  const run = await call('run_flow', { name: 'Sign in', variables });
  assert.match(firstText(run), /Flow "Sign in": PASSED \(5 of 5 steps passed\)/);
  assert.equal(run.content.length, 1);
});

test('a renamed button fails its step with the page, and a repair mends it', async () => {
  page = 'log-in.html';
  const failed = await call('run_flow', { name: 'Sign in', variables });
  assert.equal(failed.isError, false);
  assert.match(firstText(failed), /FAILED \(3 of 5 steps passed\)\n[^]*\u2717 4\. click button "Sign in": No button/);
  assert.match(failed.content[1].text, /^The page when the step failed:\n[^]*button "Log in"/);
  assert.equal(failed.content[2].mimeType, 'image/png');

  const repaired = await call('repair_flow', { name: 'Sign in', step: 4, role: 'button', element_name: 'Log in' });
  assert.match(firstText(repaired), /button "Sign in" -> button "Log in"\.\nThe original was left as recorded; the repair is the flow "Sign in \(repaired\)"\.\n<\/page-content>\nSaved in /);
  const again = await call('run_flow', { name: 'Sign in (repaired)', variables });
  assert.match(firstText(again), /PASSED \(5 of 5 steps passed\)/);
});

test('a recording whose save fails still answers the flow', async () => {
  const folder = join(vesk.dataHome, 'Vesk', 'Flows');
  mkdirSync(folder, { recursive: true });
  writeFileSync(join(folder, 'notes.json'), 'not a flow');
  await call('record_start', { name: 'Notes' });
  await call('navigate', { url: `${base}/notes` });
  const stopped = await call('record_stop');
  assert.equal(stopped.isError, true);
  assert.match(firstText(stopped), /notes\.json already exists in the flows folder and is not a flow/);
  assert.match(stopped.content[1].text, /"name": "Notes"[^]*"action": "navigate"/);
  assert.equal(readFileSync(join(folder, 'notes.json'), 'utf8'), 'not a flow');
  assert.match(firstText(await call('record_stop')), /Nothing is being recorded\./);
});

test('a recorded press on an element replays', async () => {
  page = 'sign-in.html';
  await call('record_start', { name: 'Press' });
  const shown = firstText(await call('navigate', { url: `${base}/shop` }));
  const user = shown.match(/\[(e\d+)\] textbox "User name"/)[1];
  await call('press', { key: 'Tab', ref: user });
  assert.match(firstText(await call('record_stop')), /"action": "press",\n\s*"target": \{/);
  const run = await call('run_flow', { name: 'Press' });
  assert.match(firstText(run), /Flow "Press": PASSED \(2 of 2 steps passed\)\n\u2713 1\. navigate [^\n]*\n\u2713 2\. press textbox "User name" Tab/);
});
